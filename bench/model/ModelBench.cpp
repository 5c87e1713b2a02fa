// Model file timings: parsing the sample model, the search the connection dialog runs once per
// projector found (here over many candidates), and the checker.
#include "model/ModelFile.h"
#include "model/ModelLint.h"
#include "support/Notifier.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace tonedesk;

namespace {

std::string SampleText() {
    std::ifstream in(TONEDESK_SAMPLE_MODEL, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CountingNotifier final : public Notifier {
public:
    void Message(int, const std::string&) override {}
    void FileError(const std::string&, const std::string&) override { ++fileErrors; }
    int fileErrors = 0;
};

void BM_ParseSampleModel(benchmark::State& state) {
    const std::string text = SampleText();
    SilentNotifier notifier;
    CModelFile model(notifier, "/nonexistent/");
    for (auto _ : state) {
        benchmark::DoNotOptimize(model.ParseModelText(text, "DEMO-100"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseSampleModel);

// N candidates of other models before the matching one (the sample with its two gamma files,
// named last).
void BM_ReadModelFileAmongCandidates(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tonedesk-model-bench-" + std::to_string(state.range(0)));
    std::filesystem::create_directories(folder);
    const std::string text = SampleText();
    for (int i = 0; i < state.range(0); ++i) {
        // Appended, not "A" + number: GCC 12 at -O3 reports a false -Wrestrict overlap there.
        std::string name = std::to_string(1000 + i);
        name.insert(0, 1, 'A');
        name += ".ini";
        std::ofstream(folder / name) << "[PROPERTY]\r\nPROJECTOR_NAME=OTHER-" << i << "\r\n"
                                     << text.substr(text.find("[SAVE]"));
    }
    std::ofstream(folder / "Z-DEMO-100.ini") << text;
    std::filesystem::copy(std::filesystem::path(TONEDESK_SAMPLE_MODEL).parent_path() / "DEMO-100",
                          folder / "DEMO-100",
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    CountingNotifier notifier;
    CModelFile model(notifier, folder.string());
    for (auto _ : state) {
        if (model.ReadModelFile("DEMO-100") != ModelLookup::Found || notifier.fileErrors != 0) {
            state.SkipWithError("the sample model or its gamma files were not read");
            break;
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadModelFileAmongCandidates)
    ->Arg(0)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);

void BM_LintSampleModel(benchmark::State& state) {
    const std::string text = SampleText();
    const std::string folder = std::filesystem::path(TONEDESK_SAMPLE_MODEL).parent_path().string();
    for (auto _ : state) {
        benchmark::DoNotOptimize(LintModelText(text, folder));
    }
}
BENCHMARK(BM_LintSampleModel)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
