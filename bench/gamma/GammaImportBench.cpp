// What the gamma editor does when the user applies a target or imports a .cal file: the levels
// made or read, points fitted to them, and the graph redrawn (background and curve, offscreen)
// as CGammaDialog::SetExactLevels does. Part of gamma_view_bench, whose main runs offscreen.
// Timings are reported, never asserted.
#include "../color/BenchCalText.h"
#include "color/BankCurveFile.h"
#include "color/Target.h"
#include "gamma/GammaGraph.h"
#include "support/Settings.h"
#include "ui/gamma/GammaGraphView.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

namespace tonedesk {
namespace {

class SilentNotifier final : public Notifier {
public:
    void Message(int, const std::string&) override {}
    void FileError(const std::string&, const std::string& reason) override { error = reason; }
    std::string error;
};

// A linked graph in a view of the plot's own size.
struct EditorRig {
    EditorRig() : view(graph) {
        graph.SelectChannel(kAllChannels);
        graph.RecomputeLevels();
        view.resize(kPlotSize, kPlotSize);
    }
    void Apply(const std::array<LevelTable, kChannelCount>& levels) {
        graph.SetExactLevels(levels);
        view.RedrawBackground();
        graph.Redraw();
    }

    MemorySettings settings;
    CGammaGraph graph{settings};
    CGammaGraphView view;
};

void BM_ApplyTarget(benchmark::State& state) {
    EditorRig rig;
    std::string error;
    const Target target = *Target::Parse("pq:1000", &error);
    for (auto _ : state) {
        const LevelTable levels = target.Levels();
        rig.Apply({levels, levels, levels});
        benchmark::DoNotOptimize(rig.graph.Levels(2));
    }
}
BENCHMARK(BM_ApplyTarget)->Unit(benchmark::kMillisecond);

// A .cal file of `rows` rows in the temp folder.
std::string WriteCal(int rows) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tonedesk-bench-" + std::to_string(rows) + ".cal"))
                                 .string();
    std::ofstream(path, std::ios::binary) << CalText(rows);
    return path;
}

void BM_ImportCalAndFit(benchmark::State& state) {
    const std::string path = WriteCal(static_cast<int>(state.range(0)));
    EditorRig rig;
    SilentNotifier notifier;
    for (auto _ : state) {
        const CurveReadResult read = ReadBankCurveFile(path, rig.settings, notifier);
        if (!read.Ok()) {
            state.SkipWithError(notifier.error.c_str());
            break;
        }
        rig.Apply(read.levels);
        rig.graph.SelectChannel(kAllChannels); // linked again for the next round
        benchmark::DoNotOptimize(rig.graph.Levels(2));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ImportCalAndFit)->Arg(256)->Arg(4096)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tonedesk
