// A full gamma write (12 announce commands "GAMM%4d\r", each followed by its 257-byte block,
// all Transfer entries with the pause flag) through CProjectorLink and the POSIX serial port
// to projector-sim with --wire-time, serviced as the program does (Service about once a
// millisecond). Reports the time against the floor of the line: 10 bits per byte at the rate
// for everything on the wire (commands, blocks and the "OK\r" answers) plus the 50 ms pause
// before every entry but the first.
//
//   build/bin/bench_e2e [--benchmark_repetitions=N]
//
// The simulator is taken from TONEDESK_BIN_DIR, else from the build's program folder.

#include "ChildProcess.h"
#include "link/PosixSerialPort.h"
#include "link/ProjectorLink.h"
#include "support/Notifier.h"
#include "support/Settings.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tonedesk;
using namespace std::chrono_literals;

constexpr int kTables = 12;
constexpr int kBlockBytes = 257;
constexpr int kCommandBytes = 9;
constexpr int kAnswerBytes = 3; // "OK\r"

std::string ProgramDir() {
    const char* dir = std::getenv("TONEDESK_BIN_DIR");
    return dir ? dir : TONEDESK_PROGRAM_DIR;
}

// The 24 entries of a full write: the blocks hold a ramp, as a gamma table does.
std::vector<std::vector<std::uint8_t>> GammaWrite() {
    std::vector<std::vector<std::uint8_t>> entries;
    for (int table = 0; table < kTables; ++table) {
        char announce[16];
        std::snprintf(announce, sizeof announce, "GAMM%4d\r", table);
        entries.emplace_back(announce, announce + kCommandBytes);
        std::vector<std::uint8_t> block;
        unsigned sum = 0;
        for (int k = 0; k < 128; ++k) {
            const int level = (table % 2) * 512 + 4 * k;
            block.push_back(static_cast<std::uint8_t>(level >> 8));
            block.push_back(static_cast<std::uint8_t>(level & 0xFF));
            sum += block[block.size() - 2] + block.back();
        }
        block.push_back(static_cast<std::uint8_t>(sum & 0xFF));
        entries.push_back(std::move(block));
    }
    return entries;
}

double FloorSeconds(int baud) {
    const int wireBytes = kTables * (kCommandBytes + kBlockBytes) + 2 * kTables * kAnswerBytes;
    const int pauses = 2 * kTables - 1;
    return wireBytes * 10.0 / baud + pauses * (kPauseMs / 1000.0);
}

void BM_GammaWriteWireTime(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    test::ChildProcess sim({ProgramDir() + "/projector-sim", "--stdin-exit", "--wire-time",
                            "--baud", std::to_string(baud)});
    const auto path = sim.ReadLine(10000ms);
    if (!path) {
        state.SkipWithError("projector-sim did not start");
        return;
    }
    MemorySettings settings;
    settings.WriteText(kPortsSection, "SYSTEM", "0");
    settings.WriteText(kPortsSection, "COM1", *path);
    PosixSerialPortFactory ports(settings);
    SteadyClock clock;
    SilentNotifier notifier;
    CProjectorLink link(settings, clock, ports, notifier);
    link.scanning = 0;
    PortEntry* port = link.UsePort(1);
    if (!port) {
        state.SkipWithError("the simulator's terminal cannot be opened");
        return;
    }
    port->baudRate = baud;
    link.OpenPort(*port);

    const auto entries = GammaWrite();
    bool failed = false;
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& e : entries) {
            link.QueueCommand(e.data(), static_cast<std::int32_t>(e.size()), Transfer, 1, port);
        }
        while (link.IsBusy(port)) {
            failed = link.Service() || failed;
            std::this_thread::sleep_for(1ms);
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    if (failed) {
        state.SkipWithError("a queue was dropped");
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
