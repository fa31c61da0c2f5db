// Fuzz target: the Eudora conversion of one stored message (MIME parse in
// memory, first leaf's text or the whole body when the structure cannot be
// used, header rewriting, Shift_JIS conversion).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/Ui.h"
#include "framework/posix/Machine.h"
#include "writers/EudoraWriter.h"

namespace {

struct Scratch {
    Scratch()
    {
        PosixMachine machine;
        platform::LocalTime clock;
        clock.year = 2003;
        machine.clock = clock;
        SetPosixMachine(machine);
        SetMessageBoxHandler([](const CString&, UINT) {
            std::abort();   // a message held in memory can always be read
            return kIdOk;
        });
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
    ConvertMessageToEudora(message.data(), size, out);
    const std::size_t terminator = std::strlen(kEudoraTerminator);
    if (static_cast<std::size_t>(out.GetLength()) < terminator ||
        std::memcmp(out.GetString() + out.GetLength() - terminator, kEudoraTerminator, terminator) != 0)
        std::abort();   // every message ends with the terminator
    return 0;
}
