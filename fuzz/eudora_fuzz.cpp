// Fuzz target: the Eudora conversion of one stored message (temporary file,
// MIME parse, first leaf's text, header rewriting, Shift_JIS conversion). The
// temporary file lives in a scratch folder made once per process.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/MailConvApp.h"
#include "framework/Ui.h"
#include "framework/posix/Machine.h"
#include "writers/EudoraWriter.h"

namespace {

struct Scratch {
    CMailConvApp app;   // the job the writer reaches through GetJob()
    std::string hostTemp;

    Scratch()
    {
        char dir[] = "/tmp/eudora_fuzz.XXXXXX";
        if (!mkdtemp(dir))
            std::abort();
        PosixMachine machine;
        machine.drives['C'] = dir;
        machine.temp = "C:\\";
        platform::LocalTime clock;
        clock.year = 2003;
        machine.clock = clock;
        SetPosixMachine(machine);
        SetMessageBoxHandler([](const CString&, UINT) { return kIdOk; });
        hostTemp = std::string(dir) + "/" + kEudoraTempFileName;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Scratch scratch;
    if (size > (1u << 20))
        return 0;
    std::vector<char> message(data, data + size);
    message.push_back('\0');
    CString out;
    if (!ConvertMessageToEudora(message.data(), size, CString("C:\\") + kEudoraTempFileName, out))
        std::abort();   // the scratch folder is always writable
    const std::size_t terminator = std::strlen(kEudoraTerminator);
    if (static_cast<std::size_t>(out.GetLength()) < terminator ||
        std::memcmp(out.GetString() + out.GetLength() - terminator, kEudoraTerminator, terminator) != 0)
        std::abort();   // every message ends with the terminator
    struct stat st;
    if (stat(scratch.hostTemp.c_str(), &st) == 0)
        std::abort();   // the temporary file is gone after each message
    if (GetJob().m_pMimeMessage)
        std::abort();
    return 0;
}
