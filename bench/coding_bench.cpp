// Throughput of the coding layer beside standard tools on the same input:
//   ISO-2022-JP -> Shift_JIS   vs  iconv -f ISO-2022-JP -t CP932
//   Base64 decoding            vs  base64 -d
//   MIME parse + first leaf    (a message with a 50 MB base64 attachment)
// A timing program, not a test: it prints MB/s (1 MB = 10^6 bytes), best of
// three runs. Usage: coding_bench [MB of JIS text, default 128] [jis|base64|mime]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

#include "coding/Base64.h"
#include "coding/Jis.h"
#include "coding/MimePart.h"
#include "framework/posix/Machine.h"

namespace {

// <chrono> does not build with the Shift_JIS execution character set.
double Now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

template <class F>
double Best(F&& f, int runs = 3)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        f();
        best = std::min(best, Now() - t0);
    }
    return best;
}

double RunCommand(const std::string& command)
{
    return Best([&] {
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "command failed: %s\n", command.c_str());
            std::exit(1);
        }
    });
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

std::string ReadFile(const std::string& path)
{
    std::string data;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return data;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    data.resize(size > 0 ? static_cast<size_t>(size) : 0);
    if (!data.empty() && std::fread(data.data(), 1, data.size(), f) != data.size())
        data.clear();
    std::fclose(f);
    return data;
}

// Mail text in ISO-2022-JP: the Rashomon text when Go's test data is
// installed, else lines of kanji runs between ASCII words.
std::string JisSample()
{
    std::string s = ReadFile("/usr/share/gocode/src/golang.org/x/text/encoding/testdata/rashomon-iso-2022-jp.txt");
    if (!s.empty())
        return s;
    std::mt19937 rng(1);
    for (int line = 0; line < 2000; ++line) {
        s += "Subject line " + std::to_string(line) + ": ";
        for (int run = 0; run < 4; ++run) {
            s += "\x1b$B";
            for (int k = 0; k < 12; ++k) {
                s += static_cast<char>(0x30 + rng() % 0x20);
                s += static_cast<char>(0x21 + rng() % 0x5E);
            }
            s += "\x1b(B words ";
        }
        s += "\r\n";
    }
    return s;
}

std::string Base64Encode(const std::string& bytes, int wrap)
{
    static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(bytes.size() * 4 / 3 + bytes.size() / 20 + 8);
    int col = 0;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += a[(v >> 18) & 63];
        out += a[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? a[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? a[v & 63] : '=';
        col += 4;
        if (wrap && col >= wrap) {
            out += "\r\n";
            col = 0;
        }
    }
    return out;
}

// Reads path in 1 MB chunks (a multiple of 4), runs convert(chunk, n, out)
// on each and writes its output to /dev/null; answers the bytes written.
template <class Convert, class Start>
int Stream(const std::string& path, Convert&& convert, Start&& start)
{
    constexpr int kChunk = 1 << 20;
    static std::vector<char> in(kChunk), out(kChunk + 1);
    FILE* f = std::fopen(path.c_str(), "rb");
    FILE* sink = std::fopen("/dev/null", "wb");
    if (!f || !sink)
        std::exit(1);
    start();
    int total = 0;
    size_t n;
    while ((n = std::fread(in.data(), 1, kChunk, f)) > 0) {
        const int m = convert(in.data(), static_cast<int>(n), out.data());
        std::fwrite(out.data(), 1, static_cast<size_t>(m), sink);
        total += m;
    }
    std::fclose(f);
    std::fclose(sink);
    return total;
}

void Row(const char* what, double bytes, double ours, const char* tool, double theirs)
{
    std::printf("%-34s %9.1f MB/s", what, bytes / ours / 1e6);
    if (tool)
        std::printf("   %-34s %9.1f MB/s   ratio %.2fx", tool, bytes / theirs / 1e6, theirs / ours);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const long mb = argc > 1 ? std::atol(argv[1]) : 128;
    const std::string only = argc > 2 ? argv[2] : "";   // "jis", "base64" or "mime"
    if (mb < 100)
        std::fprintf(stderr, "note: below 100 MB of JIS text\n");
    char dirTemplate[] = "/tmp/coding_bench.XXXXXX";
    if (!mkdtemp(dirTemplate))
        return 1;
    const std::string dir = dirTemplate;

    // ---- ISO-2022-JP -> Shift_JIS
    if (only.empty() || only == "jis") {
        const std::string sample = JisSample();
        std::string jis;
        jis.reserve(static_cast<size_t>(mb) * 1000000 + sample.size());
        while (jis.size() < static_cast<size_t>(mb) * 1000000)
            jis += sample;
        const std::string file = dir + "/jis.txt";
        WriteFile(file, jis);
        std::vector<char> out(jis.size() + 1);
        int length = 0;
        const double ours = Best([&] {
            // Stream the file through one converter to /dev/null, as iconv does.
            CJisConverter converter;
            length = Stream(file, [&converter](const char* in, int n, char* o) {
                int m = n;
                converter.Convert(in, n, o, m);
                return m;
            }, [] {});
        });
        const double theirs = RunCommand("iconv -f ISO-2022-JP -t CP932 " + file + " > /dev/null");
        std::printf("JIS input %.1f MB, output %.1f MB\n", jis.size() / 1e6, length / 1e6);
        Row("CJisConverter (file + convert)", static_cast<double>(jis.size()), ours,
            "iconv -f ISO-2022-JP -t CP932", theirs);
        const double inMemory = Best([&] {
            int n = static_cast<int>(jis.size());
            CJisConverter().Convert(jis.data(), n, out.data(), n);
        });
        Row("CJisConverter (in memory)", static_cast<double>(jis.size()), inMemory, nullptr, 0);
        std::remove(file.c_str());
    }

    // ---- Base64
    if (only.empty() || only == "base64") {
        std::mt19937 rng(2);
        std::string raw(48000000, '\0');
        for (char& c : raw)
            c = static_cast<char>(rng());
        const std::string text = Base64Encode(raw, 0);
        const std::string file = dir + "/b64.txt";
        WriteFile(file, text);
        std::vector<BYTE> out(text.size() / 4 * 3 + 1);
        int bad = 0;
        const double ours = Best([&] {
            Stream(file, [&](const char* in, int n, char* o) {
                CBase64 b;
                b.GetDecodeBufferSize(n);
                int m = 0;
                bad |= b.Decode(n, m, in, reinterpret_cast<BYTE*>(o));
                return m;
            }, [] {});
        });
        {
            CBase64 b;
            b.GetDecodeBufferSize(static_cast<int>(text.size()));
            int length = 0;
            bad |= b.Decode(static_cast<int>(text.size()), length, text.data(), out.data());
        }
        if (bad || std::string(reinterpret_cast<char*>(out.data()), raw.size()) != raw) {
            std::fprintf(stderr, "Base64 round trip failed\n");
            return 1;
        }
        const double theirs = RunCommand("base64 -d " + file + " > /dev/null");
        std::printf("Base64 input %.1f MB (one line)\n", text.size() / 1e6);
        Row("CBase64::Decode (file + decode)", static_cast<double>(text.size()), ours, "base64 -d", theirs);
        const double inMemory = Best([&] {
            CBase64 b;
            b.GetDecodeBufferSize(static_cast<int>(text.size()));
            int length = 0;
            b.Decode(static_cast<int>(text.size()), length, text.data(), out.data());
        });
        Row("CBase64::Decode (in memory)", static_cast<double>(text.size()), inMemory, nullptr, 0);
        std::remove(file.c_str());
    }

    // ---- MIME: parse and read the first leaf
    if (only.empty() || only == "mime") {
        PosixMachine machine;
        machine.drives['C'] = dir;
        SetPosixMachine(machine);
        std::mt19937 rng(3);
        std::string raw(37500000, '\0');
        for (char& c : raw)
            c = static_cast<char>(rng());
        const std::string attachment = Base64Encode(raw, 76);   // 50 MB with line ends
        std::string text;
        for (int i = 0; i < 200; ++i)
            text += "\x1b$B$3$s$K$A$O\x1b(B line " + std::to_string(i) + "\r\n";
        const std::string head = "From: a@example.jp\r\nMIME-Version: 1.0\r\n"
                                 "Content-Type: multipart/mixed; boundary=\"----=_NextPart_000_0001\"\r\n\r\n";
        const std::string textPart = "------=_NextPart_000_0001\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n"
                                     "Content-Transfer-Encoding: 7bit\r\n\r\n" + text;
        const std::string attPart = "\r\n------=_NextPart_000_0001\r\nContent-Type: application/octet-stream; "
                                    "name=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + attachment;
        const std::string closing = "\r\n------=_NextPart_000_0001--\r\n";
        struct Shape {
            const char* what;
            std::string message;
        } shapes[] = {
            {"MIME parse + text leaf", head + textPart + attPart + closing},
            {"MIME parse + 50 MB leaf read", head + attPart.substr(2) + "\r\n" + textPart + closing},
        };
        for (const Shape& s : shapes) {
            WriteFile(dir + "/m.eml", s.message);
            long long lineBytes = 0;
            const double t = Best([&] {
                CMimeMessage m;
                if (!m.Parse("C:\\m.eml"))
                    std::exit(1);
                CMimePart* leaf = m.FirstLeaf();
                if (!leaf->Open())
                    std::exit(1);
                char buf[4096];
                lineBytes = 0;
                for (int n = leaf->ReadFirstLine(buf, 4096); n >= 0; n = leaf->ReadLine(buf, 4096))
                    lineBytes += n;
            });
            std::printf("%s: message %.1f MB, leaf lines %.1f MB\n", s.what, s.message.size() / 1e6, lineBytes / 1e6);
            Row(s.what, static_cast<double>(s.message.size()), t, nullptr, 0);
        }
        std::remove((dir + "/m.eml").c_str());
    }
    rmdir(dir.c_str());
    return 0;
}
