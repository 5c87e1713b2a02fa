// A gamma write of both banks (12 announce commands "GAMM%4d\r", each followed by its
// 257-byte block, queued by QueueGammaTables as Transfer entries with the pause flag) through
// CProjectorLink and the POSIX serial port to projector-sim with --wire-time, serviced about
// once a millisecond (the program services the link as bytes arrive and deadlines come; its own
// figures come from scripts/perf-figures.sh). Reports the time against the floor of the line:
// 10 bits per byte at the rate for everything on the wire (commands, blocks and the "OK\r"
// answers) plus the 50 ms pause before every entry but the first.
//
//   build/bin/bench_e2e [--benchmark_repetitions=N]
//
// The simulator is taken from TONEDESK_BIN_DIR, else from the build's program folder.

#include "common/SimulatorLink.h"
#include "gamma/GammaTransfer.h"
#include "link/GammaQueue.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using namespace tonedesk;

constexpr int kBlocks = 12;
constexpr int kAnswerBytes = 3; // "OK\r"

double FloorSeconds(int baud) {
    const int wireBytes = kBlocks * (kGammaAnnounceSize + kGammaBlockSize + 2 * kAnswerBytes);
    const int pauses = 2 * kBlocks - 1;
    return wireBytes * 10.0 / baud + pauses * (kPauseMs / 1000.0);
}

void BM_GammaWriteWireTime(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    test::SimulatorLink sim({"--wire-time", "--baud", std::to_string(baud)}, baud);
    if (!sim.Error().empty()) {
        state.SkipWithError(sim.Error().c_str());
        return;
    }
    GammaTable table;
    for (int c = 0; c < kChannelCount; ++c) {
        for (int i = 0; i < kLevelCount; ++i) {
            table.levels[c][i] = static_cast<std::uint16_t>((i * i / 64 + 5 * c) % 1024);
        }
    }
    bool failed = false;
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QueueGammaTables(sim.Link(), 0, table, kAllChannels);
        QueueGammaTables(sim.Link(), 1, table, kAllChannels);
        failed = sim.ServiceUntilIdle(std::chrono::minutes(1)) || failed;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    if (failed || !sim.Messages().empty()) {
        state.SkipWithError("the write failed");
        return;
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["floor_ms"] = FloorSeconds(baud) * 1000.0;
    state.counters["ratio"] = mean / FloorSeconds(baud);
}

BENCHMARK(BM_GammaWriteWireTime)
    ->Arg(115200)
    ->Arg(9600)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
