// Placeholder until the address book export exists: nothing to write.
#include "writers/Writers.h"

int ExportAddressBook()
{
    return 1;
}
