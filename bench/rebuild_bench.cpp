// Rebuild scan throughput on a large storage file of generated Japanese mail,
// beside `grep -c '^Subject: '` on the same file.
//
//   VELMORA_BENCH_MB    size of the storage file in MB (default 512)
//   VELMORA_BENCH_DIR   folder for the file (default: the temporary folder);
//                       a file of the right size from an earlier run is reused
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/File.h"
#include "framework/posix/Machine.h"
#include "store/StorageScan.h"

namespace fs = std::filesystem;

namespace {

// Small deterministic generator (xorshift).
struct Rng {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    std::uint64_t Next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
};

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Line(Rng& rng, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += kBase64[rng.Below(64)];
    return s;
}

// An ISO-2022-JP text line: kanji in ESC $ B ... ESC ( B, with ASCII around it.
std::string JisLine(Rng& rng)
{
    std::string s = "\x1b$B";
    int n = 10 + rng.Below(25);
    for (int i = 0; i < n; ++i) {
        s += static_cast<char>(0x30 + rng.Below(0x20));
        s += static_cast<char>(0x21 + rng.Below(0x5E));
    }
    s += "\x1b(B";
    if (rng.Below(3) == 0)
        s += " http://www.example.co.jp/";
    return s;
}

std::string Message(Rng& rng, int n)
{
    char buf[256];
    std::string m;
    std::snprintf(buf, sizeof buf,
                  "Return-Path: <user%d@example.co.jp>\r\n"
                  "Received: from mx%d.example.ne.jp (mx%d.example.ne.jp [192.0.2.%d])\r\n"
                  "\tby mail.orvane.ne.jp with ESMTP id %08X\r\n\tfor <taro@orvane.ne.jp>; Mon, 6 Jan 2003 09:%02d:03 +0900\r\n",
                  n % 977, n % 9, n % 9, n % 250, static_cast<unsigned>(rng.Next()), n % 60);
    m += buf;
    std::snprintf(buf, sizeof buf, "From: =?ISO-2022-JP?B?GyRCOjRGI0JAGyhC?= <user%d@example.co.jp>\r\n", n % 977);
    m += buf;
    m += "To: taro@orvane.ne.jp\r\n";
    if (rng.Below(4) == 0)
        m += "Cc: hanako@example.jp, jiro@example.jp\r\n";
    m += "Subject: =?ISO-2022-JP?B?GyRCOGI/ZCROJDQwRkZiGyhC?=\r\n =?ISO-2022-JP?B?GyRCJUEhPCVgGyhC?=\r\n";
    std::snprintf(buf, sizeof buf, "Date: Mon, 6 Jan 2003 09:%02d:%02d +0900\r\nMessage-ID: <%u.%d@example.co.jp>\r\n",
                  n % 60, (n / 60) % 60, static_cast<unsigned>(rng.Next()), n);
    m += buf;
    m += "MIME-Version: 1.0\r\nX-Mailer: Velmora Mail 2.1\r\n";
    bool attachment = rng.Below(5) == 0;
    if (attachment) {
        m += "Content-Type: multipart/mixed; boundary=\"----=_NextPart_000\"\r\n\r\n"
             "------=_NextPart_000\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
             "Content-Transfer-Encoding: 7bit\r\n\r\n";
    } else {
        m += "Content-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
    }
    int lines = 10 + rng.Below(60);
    for (int i = 0; i < lines; ++i) {
        m += rng.Below(8) == 0 ? std::string() : JisLine(rng);
        m += "\r\n";
    }
    if (attachment) {
        m += "\r\n------=_NextPart_000\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
             "Content-Transfer-Encoding: base64\r\n\r\n";
        int blines = 100 + rng.Below(900);
        for (int i = 0; i < blines; ++i)
            m += Base64Line(rng, 76) + "\r\n";
        m += "\r\n------=_NextPart_000--\r\n";
    }
    m += ".\r\n\r\n";
    return m;
}

std::uint64_t TargetBytes()
{
    const char* mb = std::getenv("VELMORA_BENCH_MB");
    std::uint64_t n = mb ? std::strtoull(mb, nullptr, 10) : 512;
    return (n ? n : 512) << 20;
}

// The storage file, made once.
const std::string& StorageFile()
{
    static std::string path = [] {
        const char* dir = std::getenv("VELMORA_BENCH_DIR");
        fs::path folder = dir ? fs::path(dir) : fs::temp_directory_path();
        std::uint64_t target = TargetBytes();
        fs::path file = folder / ("velmora-rebuild-bench-" + std::to_string(target >> 20) + "MB.mbx");
        std::error_code ec;
        if (!fs::exists(file, ec) || fs::file_size(file, ec) < target) {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            Rng rng;
            std::uint64_t written = 0;
            std::string chunk;
            for (int n = 0; written < target; ++n) {
                chunk += Message(rng, n);
                if (chunk.size() > (4 << 20)) {
                    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                    written += chunk.size();
                    chunk.clear();
                }
            }
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
        return file.string();
    }();
    return path;
}

// (<chrono> does not build with a Shift_JIS execution character set.)
double Seconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_RebuildScan(benchmark::State& state)
{
    const std::string& host = StorageFile();
    PosixMachine machine;
    machine.drives.emplace('C', fs::path(host).parent_path().string());
    SetPosixMachine(machine);
    CString path = CString("C:\\") + CString(fs::path(host).filename().string());
    std::uint64_t bytes = 0;
    std::size_t records = 0;
    long rssBefore = PeakRssKb();
    for (auto _ : state) {
        CFile file;
        if (!file.Open(path, CFile::modeRead | CFile::typeBinary)) {
            state.SkipWithError("cannot open the storage file");
            return;
        }
        CFileStorageSource source(file);
        CMailIndexList list;
        if (!ScanMessageStorage(source, 0, 0, list).complete) {
            state.SkipWithError("the storage file could not be read to its end");
            return;
        }
        bytes += source.Length();
        records = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["records"] = static_cast<double>(records);
    state.counters["file_MB"] = static_cast<double>(fs::file_size(host) >> 20);
    // Growth of the peak resident size over the whole run: the read buffer
    // plus the records themselves; it does not hold the file.
    state.counters["peak_rss_growth_MB"] = static_cast<double>(PeakRssKb() - rssBefore) / 1024.0;
}

void BM_GrepSubject(benchmark::State& state)
{
    const std::string& host = StorageFile();
    std::string command = "grep -c '^Subject: ' '" + host + "'";
    std::uint64_t bytes = 0;
    long count = 0;
    for (auto _ : state) {
        double start = Seconds();
        FILE* p = popen(command.c_str(), "r");
        if (!p || std::fscanf(p, "%ld", &count) != 1) {
            if (p)
                pclose(p);
            state.SkipWithError("grep failed");
            return;
        }
        pclose(p);
        state.SetIterationTime(Seconds() - start);
        bytes += fs::file_size(host);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["subject_lines"] = static_cast<double>(count);
}

}  // namespace

BENCHMARK(BM_RebuildScan)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_GrepSubject)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

BENCHMARK_MAIN();
