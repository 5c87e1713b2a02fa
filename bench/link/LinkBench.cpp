// Cost of one Service pass of the link over idle open ports (scripted ports, no device).

#include "common/FakeSerialPort.h"
#include "link/ProjectorLink.h"
#include "support/Notifier.h"
#include "support/Settings.h"

#include <benchmark/benchmark.h>

namespace tonedesk {
namespace {

void BM_ServiceIdlePorts(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    MemorySettings settings;
    ManualClock clock;
    test::FakeSerialPortFactory ports;
    SilentNotifier notifier;
    for (int com = 1; com <= count; ++com) {
        ports.AddLine(com);
    }
    CProjectorLink link(settings, clock, ports, notifier);
    link.StopScanning();
    for (int com = 1; com <= count; ++com) {
        if (!link.UsePort(com)) {
            state.SkipWithError("port did not open");
            return;
        }
    }
    for (auto _ : state) {
        clock.Advance(1);
        benchmark::DoNotOptimize(link.Service());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ServiceIdlePorts)->Arg(1)->Arg(16)->Arg(255);

} // namespace
} // namespace tonedesk

BENCHMARK_MAIN();
