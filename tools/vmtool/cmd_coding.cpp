// vmtool commands for the coding layer: ISO-2022-JP conversion, header-value
// decoding and the MIME part tree of one message file.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/HostPath.h"
#include "coding/Base64.h"
#include "coding/Jis.h"
#include "coding/MimePart.h"
#include "tools/vmtool/Command.h"

namespace {

std::string ReadAll(FILE* in)
{
    std::string data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        data.append(buf, n);
    return data;
}

int RunJis2Sjis(const std::vector<std::string>& args);
int RunDecodeHeader(const std::vector<std::string>& args);
int RunMime(const std::vector<std::string>& args);

const VmCommand kJis2Sjis{
    "jis2sjis", "vmtool jis2sjis < IN > OUT",
    "Converts ISO-2022-JP bytes read from stdin to Shift_JIS on stdout (one conversion\n"
    "      from the initial state; other bytes pass unchanged).",
    &RunJis2Sjis};

const VmCommand kDecodeHeader{
    "decode-header", "vmtool decode-header < IN > OUT",
    "Decodes each stdin line (line end removed) as a header value to Shift_JIS: encoded\n"
    "      words (B or Q, any charset with a converter; others stay as they stand), and\n"
    "      the text around them as raw UTF-8 when the line is valid UTF-8, else as raw\n"
    "      ISO-2022-JP or Shift_JIS; writes each result and \"\\n\".",
    &RunDecodeHeader};

const VmCommand kMime{
    "mime", "vmtool mime FILE",
    "Parses the message in FILE (a host path) into its MIME parts and prints one line\n"
    "      per part depth-first: DEPTH TYPE SUBTYPE ENCODING START END (\"-\" when absent),\n"
    "      then \"leaf START END\" for the first leaf and that leaf's raw lines.\n"
    "      Exit status 1 when the parse fails.",
    &RunMime};

int RunJis2Sjis(const std::vector<std::string>& args)
{
    if (!args.empty())
        return VmUsageError(kJis2Sjis, "jis2sjis takes no arguments");
    // Block by block through one converter: its state (mode, an escape or a
    // kanji pair cut at a block's end) carries over from one block to the
    // next, so the result is that of one conversion of the whole input.
    constexpr size_t kBlock = 1u << 20;
    std::vector<char> in(kBlock);
    std::vector<char> out(kBlock + 3);   // a pair completed by a block's first byte gives 2 bytes
    CJisConverter converter;
    size_t n;
    while ((n = std::fread(in.data(), 1, kBlock, stdin)) > 0) {
        int length = static_cast<int>(n) + 2;
        converter.Convert(in.data(), static_cast<int>(n), out.data(), length);
        if (std::fwrite(out.data(), 1, static_cast<size_t>(length), stdout) != static_cast<size_t>(length))
            return 1;
    }
    return !std::ferror(stdin) && std::fflush(stdout) == 0 ? 0 : 1;
}

int RunDecodeHeader(const std::vector<std::string>& args)
{
    if (!args.empty())
        return VmUsageError(kDecodeHeader, "decode-header takes no arguments");
    const std::string in = ReadAll(stdin);
    size_t pos = 0;
    while (pos < in.size()) {
        size_t nl = in.find('\n', pos);
        size_t stop = nl == std::string::npos ? in.size() : nl;
        size_t end = stop;
        if (end > pos && in[end - 1] == '\r')
            --end;
        CString result;
        DecodeHeaderValue(CString(std::string_view(in).substr(pos, end - pos)), result);
        std::fwrite(result.GetString(), 1, static_cast<size_t>(result.GetLength()), stdout);
        std::fputc('\n', stdout);
        pos = stop + 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

std::string Or(const CString& s)
{
    return s.IsEmpty() ? "-" : s.Str();
}

void PrintTree(const CMimePart* part, int depth)
{
    for (; part; part = part->GetNextSibling()) {
        std::printf("%d %s %s %s %d %d\n", depth, Or(part->m_strType).c_str(), Or(part->m_strSubtype).c_str(),
                    Or(part->m_strEncoding).c_str(), part->m_nStart, part->m_nEnd);
        PrintTree(part->GetFirstChild(), depth + 1);
    }
}

int RunMime(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return VmUsageError(kMime, "mime takes exactly one FILE");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(args[0], ec))
        return VmUsageError(kMime, "not a readable file: " + args[0]);
    UseHostRootMachine();
    const CString path = WindowsPathForHost(args[0]);

    CMimeMessage message;
    const int parsed = message.Parse(path);
    PrintTree(message.GetRoot(), 0);
    if (!parsed) {
        std::fprintf(stderr, "vmtool: the MIME parse of %s failed\n", args[0].c_str());
        return 1;
    }
    CMimePart* leaf = message.FirstLeaf();
    std::printf("leaf %d %d\n", leaf->m_nStart, leaf->m_nEnd);
    if (!leaf->Open()) {
        std::fprintf(stderr, "vmtool: cannot open the leaf part\n");
        return 1;
    }
    std::vector<char> buf(4096);
    for (int n = leaf->ReadFirstLine(buf.data(), 4096); n >= 0; n = leaf->ReadLine(buf.data(), 4096))
        std::fwrite(buf.data(), 1, static_cast<size_t>(n), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace
