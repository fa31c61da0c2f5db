// The four formats on one synthetic store of realistic mail, beside the
// speed of `cat` copying the storage file to the same disk and of Python's
// email package writing one file per message; cat, mbox, Netscape and Eudora
// in turn, round after round, for ratios measured in the same minutes
// (BM_Rounds, see bench/BenchRounds.h); the peak memory of a whole `vmtool
// convert` run per format; and eml numbering of many messages with one
// subject.
//
// The store is made once per run in a temporary folder: one tray of about
// VELMORA_BENCH_MB megabytes (default 512), written the way `vmtool
// make-store` writes a store (CR LF lines, a "." line and an empty line after
// each message, an index with decoded subjects): plain ISO-2022-JP text of
// varied length, multipart/alternative, attachments from 50 KB to 8 MB, body
// lines beginning with "From ", subjects that repeat (about 22 KB a message).
// On a disk file system, file creation after many deletions (each iteration
// clears the output) dominates the eml figures; VELMORA_BENCH_DIR=/dev/shm
// shows the program's own cost. VELMORA_BENCH_KEEP=1 keeps the store (its
// folder is printed) for timing other programs on it, e.g. velmora-convert.
//
// A second tray holds one message of VELMORA_BENCH_BIG_MB megabytes (default
// 300; 0 leaves the tray out) among 200 small ones: ISO-2022-JP text, which
// every format carries whole, or with VELMORA_BENCH_BIG_KIND=attachment a
// short text part and a base64 attachment of that size. The peak memory of
// a conversion must stay within the largest message + 16 MB in every format.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "writers/Progress.h"
#include "writers/Writers.h"
#include "bench/BenchRounds.h"
#include "framework/posix/Machine.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"

namespace fs = std::filesystem;

namespace {

const char kTray[] = "受信トレイ";
const char kSameTray[] = "同じ件名";
const char kBigTray[] = "大きなメール";

std::string JisLine(int n)
{
    return "\x1b$BK\\J8$G$9\x1b(B line " + std::to_string(n) + " of the message text, with some more words.\r\n";
}

// One message; its decoded subject goes to subject.
std::string MakeMessage(unsigned n, std::string& subject)
{
    static const char* const kSubjects[] = {"定例会議のお知らせ", "Re: お見積書の送付について", "",
                                            "ベルモア通信 １月号", "Weekly report"};
    subject = kSubjects[n % 5];
    if (n % 7 != 0)
        subject += " " + std::to_string(n / 5);
    std::string m = "Return-Path: <s" + std::to_string(n) + "@example.jp>\r\n"
                    "Received: from mx.example.jp (mx.example.jp [192.0.2.25])\r\n\tby mail.example.jp with ESMTP id " +
                    std::to_string(n) + ";\r\n\tMon, 6 Jan 2003 09:15:22 +0900\r\n"
                    "From: =?ISO-2022-JP?B?GyRCOjRGIxsoQg==?= <s" + std::to_string(n) + "@example.jp>\r\n"
                    "To: user@example.jp\r\nSubject: =?ISO-2022-JP?B?GyRCRGpOYzJxNUQbKEI=?=\r\n " +
                    std::to_string(n) + "\r\nDate: Mon, 6 Jan 2003 09:05:03 +0900\r\nMessage-ID: <" +
                    std::to_string(n) + "@example.jp>\r\nMIME-Version: 1.0\r\n";
    const unsigned kind = n % 10;
    if (kind < 7) {
        m += "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n";
        const unsigned lines = 30 + (n * 37) % 250;
        for (unsigned i = 0; i < lines; ++i)
            m += (i % 40 == 5) ? "From the desk of the editor\r\n" : JisLine(static_cast<int>(i));
    } else if (kind < 9) {
        m += "Content-Type: multipart/alternative; boundary=\"a\"\r\n\r\n--a\r\n"
             "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n";
        for (int i = 0; i < 80; ++i)
            m += JisLine(i);
        m += "--a\r\nContent-Type: text/html; charset=iso-2022-jp\r\n\r\n";
        for (int i = 0; i < 80; ++i)
            m += "<p>" + JisLine(i);
        m += "--a--\r\n";
    } else {
        m += "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n--m\r\n"
             "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n" + JisLine(0) +
             "--m\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
             "Content-Transfer-Encoding: base64\r\n\r\n";
        const unsigned lines = n == 9 ? 110000 : 200 + (n * 131) % 3000;   // one of ~8 MB
        for (unsigned i = 0; i < lines; ++i)
            m += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5ejAx\r\n";
        m += "--m--\r\n";
    }
    return m + ".\r\n";
}

// One message of about size bytes: ISO-2022-JP text lines (some beginning
// with "From "), or a short text part and a base64 attachment.
std::string MakeBigMessage(std::uint64_t size, bool attachment)
{
    std::string m = "From: big@example.jp\r\nTo: user@example.jp\r\nSubject: big\r\n"
                    "Date: Mon, 6 Jan 2003 09:05:03 +0900\r\nMIME-Version: 1.0\r\n";
    m.reserve(size + 4096);
    if (attachment) {
        m += "Content-Type: multipart/mixed; boundary=\"big\"\r\n\r\n--big\r\n"
             "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n" + JisLine(0) +
             "--big\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\n"
             "Content-Transfer-Encoding: base64\r\n\r\n";
        while (m.size() < size)
            m += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5ejAx\r\n";
        m += "--big--\r\n";
    } else {
        m += "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n";
        for (int i = 0; m.size() < size; ++i)
            m += (i % 40 == 5) ? "From the desk of the editor\r\n" : JisLine(i);
    }
    return m + ".\r\n";
}

struct BenchStore {
    MailConversion job;   // the store, the output folder and the trays
    std::string root;
    std::uint64_t bytes = 0;
    std::size_t messages = 0;
    std::size_t largest = 0;
    std::uint64_t bigBytes = 0;     // the tray with one big message
    std::size_t bigLargest = 0;

    BenchStore()
    {
        // VELMORA_BENCH_DIR: where the store and the output go (default /tmp).
        const char* base = std::getenv("VELMORA_BENCH_DIR");
        std::string pattern = std::string(base ? base : "/tmp") + "/writers_bench.XXXXXX";
        std::vector<char> dir(pattern.begin(), pattern.end());
        dir.push_back('\0');
        if (!mkdtemp(dir.data()))
            std::abort();
        root = dir.data();
        fs::create_directories(root + "/c/out");
        PosixMachine machine;
        machine.drives['C'] = root + "/c";
        SetPosixMachine(machine);
        job.storeDir = "C:\\Store";
        job.outputDir = "C:\\out";

        const char* env = std::getenv("VELMORA_BENCH_MB");
        const std::uint64_t target = (env ? std::strtoull(env, nullptr, 10) : 512) << 20;
        Write(kTray, target, false);
        Write(kSameTray, 0, true);
        const char* big = std::getenv("VELMORA_BENCH_BIG_MB");
        const char* kind = std::getenv("VELMORA_BENCH_BIG_KIND");
        const std::uint64_t bigSize = (big ? std::strtoull(big, nullptr, 10) : 300) << 20;
        if (bigSize > 0)
            WriteBig(bigSize, kind && std::string(kind) == "attachment");
    }
    ~BenchStore()
    {
        if (std::getenv("VELMORA_BENCH_KEEP"))
            std::fprintf(stderr, "store kept in %s/c/Store\n", root.c_str());
        else
            fs::remove_all(root);
    }

    // A tray: realistic mail up to target bytes, or 10,000 short messages
    // with one subject.
    void Write(const char* tray, std::uint64_t target, bool same)
    {
        const CString folder = GetTrayFolderPath(CString("C:\\Store"), tray);
        fs::create_directories(HostPathFor(folder));
        std::ofstream storage(HostPathFor(folder + kStorageFileName), std::ios::binary);
        auto list = std::make_unique<CMailIndexList>();
        std::uint64_t at = 0;
        for (unsigned n = 0; same ? n < 10000 : at < target; ++n) {
            std::string subject;
            const std::string m = same ? "Subject: \r\n\r\nx\r\n.\r\n" : MakeMessage(n, subject);
            auto record = std::make_unique<CMailIndexData>();
            record->m_nNumber = n;
            record->m_strSubject = Utf8ToSjis(subject);
            record->m_dwStart = static_cast<DWORD>(at);
            record->m_dwEnd = static_cast<DWORD>(at + m.size());
            storage << m << "\r\n";
            at += m.size() + 2;
            list->push_back(std::move(record));
            if (!same) {
                largest = std::max(largest, m.size());
                ++messages;
            }
        }
        storage.close();
        if (!same)
            bytes = at;
        TrayIndex index;
        index.records = std::move(*list);
        if (!CMailIndexLoader::WriteIndexFile(folder + kIndexFileName, index))
            std::abort();
    }

    // 200 small messages with the big one among them.
    void WriteBig(std::uint64_t size, bool attachment)
    {
        const CString folder = GetTrayFolderPath(CString("C:\\Store"), kBigTray);
        fs::create_directories(HostPathFor(folder));
        std::ofstream storage(HostPathFor(folder + kStorageFileName), std::ios::binary);
        auto list = std::make_unique<CMailIndexList>();
        std::uint64_t at = 0;
        for (unsigned n = 0; n <= 200; ++n) {
            std::string subject = "big";
            // Small ones only (n = 9 would be the 8 MB one).
            const std::string m = n == 100 ? MakeBigMessage(size, attachment) : MakeMessage(n + 10, subject);
            auto record = std::make_unique<CMailIndexData>();
            record->m_nNumber = n;
            record->m_strSubject = Utf8ToSjis(subject);
            record->m_dwStart = static_cast<DWORD>(at);
            record->m_dwEnd = static_cast<DWORD>(at + m.size());
            storage << m << "\r\n";
            at += m.size() + 2;
            list->push_back(std::move(record));
            bigLargest = std::max(bigLargest, m.size());
        }
        storage.close();
        bigBytes = at;
        TrayIndex index;
        index.records = std::move(*list);
        if (!CMailIndexLoader::WriteIndexFile(folder + kIndexFileName, index))
            std::abort();
    }

    bool HasBig() const { return bigBytes > 0; }
    const char* TrayName(int tray) const { return tray == 0 ? kTray : kBigTray; }
    std::uint64_t TrayBytes(int tray) const { return tray == 0 ? bytes : bigBytes; }
    std::size_t TrayLargest(int tray) const { return tray == 0 ? largest : bigLargest; }
    std::string Storage(int tray = 0) const
    {
        return HostPathFor(GetTrayFolderPath(CString("C:\\Store"), TrayName(tray)) + kStorageFileName);
    }
    void ClearOutput()
    {
        fs::remove_all(root + "/c/out");
        fs::create_directories(root + "/c/out");
    }
};

BenchStore& Store()
{
    static BenchStore store;
    return store;
}

void SetCounters(benchmark::State& state, const BenchStore& store)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * store.bytes));
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(state.iterations() * store.messages),
                                                   benchmark::Counter::kIsRate);
    state.counters["store_MB"] = static_cast<double>(store.bytes) / (1 << 20);
}

// One whole conversion of a tray; false when it failed.
bool Convert(int format, const char* tray)
{
    BenchStore& store = Store();
    store.job.trays.RemoveAll();
    store.job.trays.Add(tray);
    store.job.format = format;
    CSilentProgress progress;
    return ConvertMail(store.job, progress).Ok();
}

void RunFormat(benchmark::State& state, int format)
{
    BenchStore& store = Store();
    for (auto _ : state) {
        if (!Convert(format, kTray))
            state.SkipWithError("conversion failed");
        state.PauseTiming();
        store.ClearOutput();
        state.ResumeTiming();
    }
    SetCounters(state, store);
}

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

void Shell(benchmark::State& state, const std::string& command)
{
    if (!Shell(command))
        state.SkipWithError(command.c_str());
}

std::string CatCommand(int tray)
{
    BenchStore& store = Store();
    return "cat '" + store.Storage(tray) + "' > '" + store.root + "/c/out/cat.out'";
}

void BM_Cat(benchmark::State& state)
{
    BenchStore& store = Store();
    for (auto _ : state) {
        Shell(state, CatCommand(0));
        state.PauseTiming();
        store.ClearOutput();
        state.ResumeTiming();
    }
    SetCounters(state, store);
}

void BM_Mbox(benchmark::State& state) { RunFormat(state, kFormatMbox); }
void BM_Eml(benchmark::State& state) { RunFormat(state, kFormatEml); }
void BM_Netscape(benchmark::State& state) { RunFormat(state, kFormatNetscape); }
void BM_Eudora(benchmark::State& state) { RunFormat(state, kFormatEudora); }

// cat, mbox, Netscape and Eudora in turn on one tray (0: the realistic
// store, 1: the one with a big message), round after round.
void BM_Rounds(benchmark::State& state)
{
    BenchStore& store = Store();
    const int tray = static_cast<int>(state.range(0));
    if (tray == 1 && !store.HasBig()) {
        state.SkipWithError("VELMORA_BENCH_BIG_MB=0: no tray with a big message");
        return;
    }
    const char* name = store.TrayName(tray);
    const std::vector<bench_rounds::Contender> contenders = {
        {"cat", [tray] { return Shell(CatCommand(tray)); }},
        {"mbox", [name] { return Convert(kFormatMbox, name); }},
        {"Netscape", [name] { return Convert(kFormatNetscape, name); }},
        {"Eudora", [name] { return Convert(kFormatEudora, name); }},
    };
    bench_rounds::RunRounds(state, tray == 0 ? "realistic store" : "store with one big message",
                            static_cast<double>(store.TrayBytes(tray)), contenders,
                            {{"Eudora", "mbox"}, {"Eudora", "cat"}, {"mbox", "cat"}, {"Netscape", "mbox"}},
                            [&store] { store.ClearOutput(); });
}

void BM_PythonMailbox(benchmark::State& state)
{
    BenchStore& store = Store();
    std::string script = __FILE__;
    script = script.substr(0, script.find_last_of('/')) + "/writers_py_eml.py";
    for (auto _ : state) {
        Shell(state, "python3 '" + script + "' '" + store.Storage() + "' '" + store.root + "/c/out/mh' > /dev/null");
        state.PauseTiming();
        store.ClearOutput();
        state.ResumeTiming();
    }
    SetCounters(state, store);
}

// Peak memory of `vmtool convert` (beside this program) for one format
// (range 0) on one tray (range 1: 0 the realistic store, 1 the one with a
// big message).
void BM_PeakMemory(benchmark::State& state)
{
    BenchStore& store = Store();
    const int tray = static_cast<int>(state.range(1));
    if (tray == 1 && !store.HasBig()) {
        state.SkipWithError("VELMORA_BENCH_BIG_MB=0: no tray with a big message");
        return;
    }
    const std::string vmtool = fs::read_symlink("/proc/self/exe").parent_path() / "vmtool";
    const std::string format = std::to_string(state.range(0));
    long peakKb = 0;
    // Run through Python so that the figure is vmtool's own (a child forked
    // from this program would count this program's memory too).
    const std::string command =
        "python3 -c 'import resource, subprocess, sys\n"
        "r = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)\n"
        "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss if r.returncode == 0 else -1)' '" +
        vmtool + "' convert --store '" + store.root + "/c/Store' --format " + format + " --trays '" +
        SjisToUtf8(store.TrayName(tray)) + "' --out '" + store.root + "/c/out'";
    for (auto _ : state) {
        if (FILE* p = popen(command.c_str(), "r")) {
            if (std::fscanf(p, "%ld", &peakKb) != 1)
                peakKb = -1;
            pclose(p);
        }
        if (peakKb < 0)
            state.SkipWithError("vmtool convert failed");
        state.PauseTiming();
        store.ClearOutput();
        state.ResumeTiming();
    }
    const double largest = static_cast<double>(store.TrayLargest(tray)) / (1 << 20);
    state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024;
    state.counters["largest_msg_MB"] = largest;
    state.counters["bound_MB"] = largest + 16;
    state.counters["within"] = static_cast<double>(peakKb) / 1024 <= largest + 16 ? 1 : 0;
}

// N messages with the same (empty) subject: time per message stays flat.
void BM_EmlSameSubject(benchmark::State& state)
{
    BenchStore& store = Store();
    const int n = static_cast<int>(state.range(0));
    // Only the first n records of the 10,000 are kept live.
    for (auto _ : state) {
        state.PauseTiming();
        const CString folder = GetTrayFolderPath(store.job.storeDir, kSameTray);
        TrayIndex index;
        CMailIndexLoader::ReadIndexFile(folder + kIndexFileName, folder + kStorageFileName, index);
        for (size_t i = 0; i < index.records.size(); ++i)
            index.records[i]->m_dwFlags = static_cast<int>(i) < n ? 0 : kIndexFlagRemoved;
        CMailIndexLoader::WriteIndexFile(folder + kIndexFileName, index);
        store.job.trays.RemoveAll();
        store.job.trays.Add(kSameTray);
        store.job.format = kFormatEml;
        state.ResumeTiming();
        CSilentProgress progress;
        if (!ConvertMail(store.job, progress).Ok())
            state.SkipWithError("conversion failed");
        state.PauseTiming();
        store.ClearOutput();
        state.ResumeTiming();
    }
    state.SetComplexityN(n);
}

}  // namespace

BENCHMARK(BM_Cat)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Mbox)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Netscape)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Eudora)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Rounds)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Eml)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PythonMailbox)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PeakMemory)->ArgsProduct({{1, 2, 3, 4}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_EmlSameSubject)->Arg(1000)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->UseRealTime()->Complexity(benchmark::oN);

BENCHMARK_MAIN();
