// The writer of each format.
#include "writers/Writers.h"

WriteResult ConvertMail(const MailConversion& conversion, CProgressSink& progress)
{
    switch (conversion.format) {
    case kFormatMbox: return ConvertToMbox(conversion, progress);
    case kFormatEml: return ConvertToEml(conversion, progress);
    case kFormatEudora: return ConvertToEudora(conversion, progress);
    case kFormatNetscape: return ConvertToNetscape(conversion, progress);
    default: return WriteResult{kErrorSystem};
    }
}
