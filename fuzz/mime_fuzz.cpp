// Fuzz target: the whole MIME parse of one message file, the first leaf and
// its lines. The input is written to a file on a machine whose drive C is a
// temporary host folder made once per process.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "coding/MimePart.h"
#include "framework/posix/Machine.h"

namespace {

std::string SetUp()
{
    char dir[] = "/tmp/mime_fuzz.XXXXXX";
    if (!mkdtemp(dir))
        std::abort();
    PosixMachine machine;
    machine.drives['C'] = dir;
    SetPosixMachine(machine);
    return std::string(dir) + "/m.eml";
}

void ReadAllLines(CMimePart* part, int capacity)
{
    std::vector<char> buf(static_cast<size_t>(capacity));
    long total = 0;
    for (int n = part->ReadFirstLine(buf.data(), capacity); n >= 0; n = part->ReadLine(buf.data(), capacity)) {
        if (n >= capacity)
            std::abort();
        total += n;
        if (total > part->m_nEnd - part->m_nStart)
            std::abort();   // lines never hold more than the part
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string hostFile = SetUp();
    if (size > (1u << 20))
        return 0;
    FILE* f = std::fopen(hostFile.c_str(), "wb");
    if (!f)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);

    CMimeMessage message;
    if (!message.Parse("C:\\m.eml"))
        return 0;
    CMimePart* leaf = message.FirstLeaf();
    if (!leaf || !leaf->Open())
        std::abort();
    ReadAllLines(leaf, 4096);
    ReadAllLines(leaf, 3);
    return 0;
}
