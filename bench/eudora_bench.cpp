// Format 3 (Eudora) beside format 1 (UNIX mbox) on the same synthetic store,
// also with `cat` in turn, round after round, for ratios measured in the
// same minutes (BM_Rounds, see bench/BenchRounds.h), and the Eudora writer's
// per-message steps one by one, to show where its time goes.
//
// The store is made once per run in a temporary folder: one tray of about
// VELMORA_BENCH_MB megabytes (default 512) of mixed mail: plain ISO-2022-JP
// text, multipart/alternative (plain and HTML), and text with a base64
// attachment.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "writers/Progress.h"
#include "writers/Writers.h"
#include "bench/BenchRounds.h"
#include "coding/MimePart.h"
#include "framework/posix/Machine.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "writers/EudoraWriter.h"

namespace fs = std::filesystem;

namespace {

const char kTray[] = "受信トレイ";

std::string JisLine(int n)
{
    // "本文です" in ISO-2022-JP, then ASCII.
    return "\x1b$BK\\J8$G$9\x1b(B line " + std::to_string(n) + " of the message text, some more words.\r\n";
}

std::string Header(int n, const std::string& contentType)
{
    return "From: =?ISO-2022-JP?B?GyRCN29MPhsoQg==?= <sender" + std::to_string(n) +
           "@example.jp>\r\nTo: user@example.jp\r\nSubject: =?ISO-2022-JP?B?GyRCN29MPhsoQg==?=\r\n"
           " =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= " + std::to_string(n) +
           "\r\nDate: Mon, 6 Jan 2003 09:05:03 +0900\r\nMessage-ID: <" + std::to_string(n) +
           "@example.jp>\r\nMIME-Version: 1.0\r\n" + contentType + "\r\n";
}

std::string MakeMessage(int n)
{
    std::string m;
    switch (n % 3) {
    case 0:
        m = Header(n, "Content-Type: text/plain; charset=iso-2022-jp\r\n");
        for (int i = 0; i < 60; ++i)
            m += JisLine(i);
        break;
    case 1:
        m = Header(n, "Content-Type: multipart/alternative; boundary=\"alt-" + std::to_string(n) + "\"\r\n");
        m += "--alt-" + std::to_string(n) + "\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n";
        for (int i = 0; i < 60; ++i)
            m += JisLine(i);
        m += "--alt-" + std::to_string(n) + "\r\nContent-Type: text/html; charset=iso-2022-jp\r\n\r\n";
        for (int i = 0; i < 60; ++i)
            m += "<p>" + JisLine(i);
        m += "--alt-" + std::to_string(n) + "--\r\n";
        break;
    default:
        m = Header(n, "Content-Type: multipart/mixed; boundary=\"mix-" + std::to_string(n) + "\"\r\n");
        m += "--mix-" + std::to_string(n) + "\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n";
        for (int i = 0; i < 20; ++i)
            m += JisLine(i);
        m += "--mix-" + std::to_string(n) +
             "\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
             "Content-Transfer-Encoding: base64\r\n\r\n";
        for (int i = 0; i < 1500; ++i)
            m += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5ejAx\r\n";
        m += "--mix-" + std::to_string(n) + "--\r\n";
        break;
    }
    return m + ".\r\n";
}

// The store, the job and the machine, made once.
struct BenchStore {
    MailConversion job;   // the store, the output folder and the trays
    std::string root;
    std::uint64_t bytes = 0;
    std::vector<std::string> sample;   // a few messages for the step benchmarks

    BenchStore()
    {
        char dir[] = "/tmp/eudora_bench.XXXXXX";
        if (!mkdtemp(dir))
            std::abort();
        root = dir;
        fs::create_directories(root + "/c/out");
        fs::create_directories(root + "/c/Temp");
        PosixMachine machine;
        machine.drives['C'] = root + "/c";
        SetPosixMachine(machine);
        job.storeDir = "C:\\Store";
        job.outputDir = "C:\\out";
        job.trays.Add(kTray);

        const char* env = std::getenv("VELMORA_BENCH_MB");
        const std::uint64_t target = (env ? std::strtoull(env, nullptr, 10) : 512) << 20;
        const CString folder = GetTrayFolderPath(CString("C:\\Store"), kTray);
        fs::create_directories(HostPathFor(folder));
        std::ofstream storage(HostPathFor(folder + kStorageFileName), std::ios::binary);
        auto list = std::make_unique<CMailIndexList>();
        for (int n = 0; bytes < target; ++n) {
            const std::string m = MakeMessage(n);
            auto record = std::make_unique<CMailIndexData>();
            record->m_nNumber = static_cast<DWORD>(n);
            record->m_dwStart = static_cast<DWORD>(bytes);
            record->m_dwEnd = static_cast<DWORD>(bytes + m.size());
            storage << m << "\r\n";
            bytes += m.size() + 2;
            list->push_back(std::move(record));
            if (n < 3)
                sample.push_back(m);
        }
        storage.close();
        TrayIndex index;
        index.records = std::move(*list);
        if (!CMailIndexLoader::WriteIndexFile(folder + kIndexFileName, index))
            std::abort();
    }
    ~BenchStore() { fs::remove_all(root); }

    void ClearOutput()
    {
        for (const auto& entry : fs::directory_iterator(root + "/c/out"))
            fs::remove(entry.path());
    }
};

BenchStore& Store()
{
    static BenchStore store;
    return store;
}

void RunFormat(benchmark::State& state, int format)
{
    BenchStore& store = Store();
    for (auto _ : state) {
        store.job.format = format;
        CSilentProgress progress;
        if (!ConvertMail(store.job, progress).Ok())
            state.SkipWithError("conversion failed");
        state.PauseTiming();
        store.ClearOutput();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * store.bytes));
    state.counters["store_MB"] = static_cast<double>(store.bytes) / (1 << 20);
}

void BM_MboxStore(benchmark::State& state) { RunFormat(state, kFormatMbox); }
void BM_EudoraStore(benchmark::State& state) { RunFormat(state, kFormatEudora); }

// cat, mbox and Eudora in turn, round after round.
void BM_Rounds(benchmark::State& state)
{
    BenchStore& store = Store();
    auto convert = [&store](int format) {
        store.job.format = format;
        CSilentProgress progress;
        return ConvertMail(store.job, progress).Ok();
    };
    const std::string cat = "cat '" + HostPathFor(GetTrayFolderPath(CString("C:\\Store"), kTray) + kStorageFileName) + "' > '" +
                            store.root + "/c/out/cat.out'";
    const std::vector<bench_rounds::Contender> contenders = {
        {"cat", [&cat] { return std::system(cat.c_str()) == 0; }},
        {"mbox", [&] { return convert(kFormatMbox); }},
        {"Eudora", [&] { return convert(kFormatEudora); }},
    };
    bench_rounds::RunRounds(state, "mixed store", static_cast<double>(store.bytes), contenders,
                            {{"Eudora", "mbox"}, {"Eudora", "cat"}, {"mbox", "cat"}},
                            [&store] { store.ClearOutput(); });
}

// The per-message steps on the sample messages (plain, alternative, mixed
// with attachment), cumulatively: MIME parse in memory; + body text; the
// whole conversion.
void RunSteps(benchmark::State& state, int steps)
{
    BenchStore& store = Store();
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& m : store.sample) {
            bytes += static_cast<std::int64_t>(m.size());
            if (steps == 3) {
                CString out;
                ConvertMessageToEudora(m.c_str(), m.size(), out);
                benchmark::DoNotOptimize(out.GetString());
                continue;
            }
            CMimeMessage message;
            message.ParseMemory(m.data(), m.size());
            if (steps >= 2)
                benchmark::DoNotOptimize(message.FirstLeaf());
        }
    }
    state.SetBytesProcessed(bytes);
}

void BM_StepParse(benchmark::State& state) { RunSteps(state, 1); }
void BM_StepBody(benchmark::State& state) { RunSteps(state, 2); }
void BM_StepWhole(benchmark::State& state) { RunSteps(state, 3); }

}  // namespace

BENCHMARK(BM_MboxStore)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_EudoraStore)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Rounds)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_StepParse)->UseRealTime();
BENCHMARK(BM_StepBody)->UseRealTime();
BENCHMARK(BM_StepWhole)->UseRealTime();

BENCHMARK_MAIN();
