// Placeholder until the wizard exists: the wizard counts as finished at once
// (no format chosen). The wizard's code replaces this file.
#include "app/win32/AppUi.h"

int RunWizardSheet()
{
    return kIdWizFinish;
}
