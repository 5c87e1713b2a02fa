#include "gamma/CurveMath.h"
#include "gamma/GammaGraph.h"
#include "support/Settings.h"

#include <benchmark/benchmark.h>

namespace tonedesk {
namespace {

ControlPointList Spread(int n) {
    ControlPointList list;
    for (int k = 0; k < n; ++k) {
        const int x = n == 1 ? 0 : k * 1020 / (n - 1);
        list.Insert(k, {x, (k * 389) % 1024});
    }
    return list;
}

void BM_LevelsFromPoints(benchmark::State& state) {
    const ControlPointList list = Spread(static_cast<int>(state.range(0)));
    LevelTable table{};
    for (auto _ : state) {
        LevelsFromPoints(&list, table);
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(BM_LevelsFromPoints)->Arg(2)->Arg(33)->Arg(256);

// A table the spline cannot follow, fitted with the given pass limits.
void FitScrambledTable(benchmark::State& state, const MemorySettings& settings) {
    CGammaGraph graph(settings);
    LevelTable& L = graph.Levels(0);
    for (int i = 0; i < 256; ++i) {
        L[i] = static_cast<std::uint16_t>((i * 613) % 1024);
    }
    for (auto _ : state) {
        graph.FitPointsToLevels(0);
        benchmark::DoNotOptimize(graph.Points(0).count);
    }
    state.counters["points"] = graph.Points(0).count;
}

// The worst case: a spacing of one entry and a pass limit that lets the fit grow the list to
// its full 256 points.
void BM_FitWorstCase(benchmark::State& state) {
    MemorySettings settings;
    settings.SetInt(kEnvSection, "GAMMA_MIN_POINTS", 1);
    settings.SetInt(kEnvSection, "GAMMA_RETRYCNT", 256);
    FitScrambledTable(state, settings);
}
BENCHMARK(BM_FitWorstCase)->Unit(benchmark::kMillisecond);

// The default settings on the same table.
void BM_FitDefaults(benchmark::State& state) {
    FitScrambledTable(state, MemorySettings{});
}
BENCHMARK(BM_FitDefaults)->Unit(benchmark::kMicrosecond);

// One mouse move of a drag with all channels linked: the point moves, linked channels are
// copied, three tables and the displayed one are recomputed.
void BM_DragStep(benchmark::State& state) {
    MemorySettings settings;
    CGammaGraph graph(settings);
    graph.CreateSurface({0, 0, 276, 276});
    GammaFileTable f = GammaFileTable::Identity();
    for (int line = 0; line < 256; line += 8) {
        f.At(0, line) += kControlPointMark;
    }
    f.At(0, 255) += kControlPointMark;
    graph.OpenTable(f);
    graph.RecomputeLevels();
    const int x = graph.ScreenX(512);
    const int y = graph.ScreenY(512);
    graph.BeginDrag(x, y);
    int step = 0;
    for (auto _ : state) {
        graph.DragTo(x, y - 1 - (step++ & 15));
    }
    graph.EndDrag();
    state.counters["points"] = graph.Points(0).count;
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tonedesk

BENCHMARK_MAIN();
