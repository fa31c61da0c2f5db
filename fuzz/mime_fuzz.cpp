// Fuzz target: the MIME reader. The whole parse of one message, the first
// leaf and its lines, from a file, from memory as one window and from memory
// in windows; all must give the same tree and lines. Then the delimiter
// search and line-end scan by themselves: a pattern cut from the input,
// searched from a cursor the input picks until it runs out, must be found
// where a plain search of the bytes finds it, through every source alike
// (matches and CR LF pairs across window edges included). The file lies on a
// machine whose drive C is a temporary host folder made once per process.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
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

std::string ReadAllLines(CMimePart* part, int capacity)
{
    std::vector<char> buf(static_cast<size_t>(capacity));
    std::string all;
    long total = 0;
    for (int n = part->ReadFirstLine(buf.data(), capacity); n >= 0; n = part->ReadLine(buf.data(), capacity)) {
        if (n >= capacity)
            std::abort();
        total += n;
        if (total > part->m_nEnd - part->m_nStart)
            std::abort();   // lines never hold more than the part
        all.append(buf.data(), static_cast<size_t>(n));
        all += '|';
    }
    return all;
}

void Dump(const CMimePart* p, std::string& out)
{
    for (; p; p = p->GetNextSibling()) {
        out += p->m_strType.Str() + "/" + p->m_strSubtype.Str() + " " + std::to_string(p->m_nStart) + "-" +
               std::to_string(p->m_nEnd) + "(";
        Dump(p->GetFirstChild(), out);
        out += ")";
    }
}

// The tree, then the first leaf's lines or "failed".
std::string Parse(CMimeMessage& message, int result)
{
    std::string out;
    Dump(message.GetRoot(), out);
    if (!result)
        return out + "failed";
    CMimePart* leaf = message.FirstLeaf();
    if (!leaf || !leaf->Open())
        std::abort();
    out += ReadAllLines(leaf, 4096);
    out += ReadAllLines(leaf, 3);
    return out;
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

    CMimeMessage fromFile;
    const std::string file = Parse(fromFile, fromFile.Parse("C:\\m.eml"));
    // The memory block is a copy of its own, so that reading past its end shows.
    const std::vector<char> bytes(data, data + size);
    for (bool windowed : {false, true}) {
        CMimeMessage fromMemory;
        const CMimeSource source = CMimeSource::Memory(bytes.data(), bytes.size(), windowed);
        if (Parse(fromMemory, fromMemory.ParseSource(source)) != file)
            std::abort();
    }

    if (size >= 4) {
        CMimePart whole(nullptr, CMimeSource::Memory(bytes.data(), bytes.size()), 0, -1);
        CMimePart inFile(nullptr, CString("C:\\m.eml"), 0, -1);
        CMimePart windowed(nullptr, CMimeSource::Memory(bytes.data(), bytes.size(), true), 0, -1);
        CMimePart* const parts[] = {&whole, &inFile, &windowed};
        for (CMimePart* p : parts) {
            if (!p->Open())
                std::abort();
        }
        const int n = static_cast<int>(size);
        const int at = (data[0] | data[1] << 8) % n;
        const int m = std::min(1 + data[2] % 24, n - at);
        const CString pattern(reinterpret_cast<const char*>(data) + at, m);
        // The part may end before or (reading absent bytes) after the input.
        const int end = data[3] < 0xF0 ? n - data[3] % 8 : n + 3;
        const int cursor = (data[1] | data[3] << 8) % (n + 1);
        for (CMimePart* p : parts) {
            p->m_nEnd = end;
            p->m_nCursor = cursor;
        }
        const std::string_view text(bytes.data(), bytes.size());
        const std::string_view wanted(reinterpret_cast<const char*>(data) + at, static_cast<size_t>(m));
        for (int rounds = 0; rounds < 10000; ++rounds) {
            const int lineEnd = whole.FindLineEnd();
            // The first match whose last byte lies at or after the cursor, all
            // of it inside the part and the input.
            size_t first = text.find(wanted, static_cast<size_t>(std::max(whole.m_nCursor - m + 1, 0)));
            if (first != std::string_view::npos && static_cast<int>(first) + m > std::min(end, n))
                first = std::string_view::npos;
            const int found = whole.FindPattern(pattern);
            if (found != (first == std::string_view::npos ? -1 : static_cast<int>(first)))
                std::abort();
            for (CMimePart* p : {&inFile, &windowed}) {
                if (p->FindLineEnd() != lineEnd || p->FindPattern(pattern) != found || p->m_nCursor != whole.m_nCursor)
                    std::abort();
            }
            if (found < 0)
                break;
        }
    }
    return 0;
}
