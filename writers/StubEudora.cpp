// Placeholder until this writer exists: it ends as a system error.
#include "store/Job.h"
#include "writers/Writers.h"

int ConvertToEudora()
{
    GetJob().m_nErrorCode = kErrorSystem;
    return 0;
}
