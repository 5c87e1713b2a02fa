// Reading calibration curves: a .cal file of 4096 rows (a fine measurement), a profile's vcgt,
// and a target's levels. Timings are reported, never asserted.
#include "BenchCalText.h"
#include "color/CalFile.h"
#include "color/IccVcgt.h"
#include "color/Target.h"

#include <benchmark/benchmark.h>

namespace tonedesk {
namespace {

void BM_ReadCal(benchmark::State& state) {
    const std::string text = CalText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const CurveReadResult read = CalFile::Parse(text);
        if (!read.Ok()) {
            state.SkipWithError(read.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(read.levels);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadCal)->Arg(256)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_ReadProfile(benchmark::State& state) {
    ChannelLevels levels{};
    for (int i = 0; i < kLevelCount; ++i) {
        levels[0][i] = levels[1][i] = levels[2][i] = static_cast<std::uint16_t>(4 * i);
    }
    const std::string profile = *IccVcgt::Format(levels, nullptr);
    for (auto _ : state) {
        benchmark::DoNotOptimize(IccVcgt::Parse(profile).levels);
    }
}
BENCHMARK(BM_ReadProfile)->Unit(benchmark::kMicrosecond);

void BM_TargetLevels(benchmark::State& state) {
    const Target target = *Target::Parse("pq:1000", nullptr);
    for (auto _ : state) {
        benchmark::DoNotOptimize(target.Levels());
    }
}
BENCHMARK(BM_TargetLevels)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tonedesk

BENCHMARK_MAIN();
