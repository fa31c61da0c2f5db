// Several ways of doing the same job (cat, the mbox writer, the Eudora
// writer, ...) timed in turn, round after round, so that their ratios come
// from the same minutes of a machine shared with other work. Prints each
// round's MB/s (1 MB = 2^20 bytes) and ratios with their median and spread,
// and gives the median ratios as counters.
//
// VELMORA_BENCH_ROUNDS: rounds per run (default 3).
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bench_rounds {

// <chrono> does not build with the Shift_JIS execution character set.
inline double Now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline int Rounds()
{
    const char* env = std::getenv("VELMORA_BENCH_ROUNDS");
    const int n = env ? std::atoi(env) : 3;
    return n > 0 ? n : 1;
}

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t h = v.size() / 2;
    return v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2;
}

struct Contender {
    std::string name;
    std::function<bool()> run;   // one whole job; false when it failed
};

// Runs each contender once per round on a job of `bytes` input bytes;
// cleanup (untimed) follows every run. ratios names pairs (a, b) whose a/b
// speed ratio is reported; the counter "a/b" is its median over the rounds.
inline void RunRounds(benchmark::State& state, const char* what, double bytes,
                      const std::vector<Contender>& contenders,
                      const std::vector<std::pair<std::string, std::string>>& ratios,
                      const std::function<void()>& cleanup)
{
    const int rounds = Rounds();
    std::vector<std::vector<double>> speed(contenders.size());
    for (auto _ : state) {
        for (int r = 0; r < rounds; ++r) {
            for (std::size_t c = 0; c < contenders.size(); ++c) {
                const double t0 = Now();
                const bool ok = contenders[c].run();
                const double t = Now() - t0;
                state.PauseTiming();
                cleanup();
                state.ResumeTiming();
                if (!ok) {
                    state.SkipWithError((contenders[c].name + " failed").c_str());
                    return;
                }
                speed[c].push_back(bytes / (1 << 20) / t);
            }
        }
    }
    auto index = [&](const std::string& name) {
        for (std::size_t c = 0; c < contenders.size(); ++c)
            if (contenders[c].name == name)
                return c;
        std::abort();
    };
    std::printf("\n%s: %.1f MB, %d rounds, each contender once per round in turn\n", what, bytes / (1 << 20),
                rounds);
    auto row = [&](const std::string& label, const std::vector<double>& v, const char* format) {
        std::printf("  %-16s", label.c_str());
        for (double x : v)
            std::printf(format, x);
        const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
        std::printf("   median ");
        std::printf(format, Median(v));
        std::printf("   spread ");
        std::printf(format, *lo);
        std::printf(" ..");
        std::printf(format, *hi);
        std::printf("\n");
    };
    for (std::size_t c = 0; c < contenders.size(); ++c)
        row(contenders[c].name + " MB/s", speed[c], " %7.1f");
    for (const auto& [a, b] : ratios) {
        const std::vector<double>& sa = speed[index(a)];
        const std::vector<double>& sb = speed[index(b)];
        std::vector<double> ratio;
        for (std::size_t r = 0; r < sa.size() && r < sb.size(); ++r)
            ratio.push_back(sa[r] / sb[r]);
        row(a + "/" + b, ratio, " %7.2f");
        state.counters[a + "/" + b] = Median(ratio);
    }
    std::fflush(stdout);
    state.counters["store_MB"] = bytes / (1 << 20);
}

}  // namespace bench_rounds
