// The wizard as InitInstance runs it: empty caption, no parent, first page 0,
// wizard mode, modal.
#include "ui/WizardDialog.h"

int RunWizardSheet()
{
    CWizardDialog wizard("", nullptr, 0);
    wizard.SetWizardMode();
    return static_cast<int>(wizard.DoModal());
}
