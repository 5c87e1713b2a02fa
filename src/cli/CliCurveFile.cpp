#include "cli/CliCurveFile.h"

#include <cstdio>

namespace tonedesk::cli {

bool LoadBankFromFile(const std::string& path, int bank, CGammaGraph& graph, CliContext& context) {
    GammaFileTable file;
    const CurveReadResult read =
        ReadBankCurveFile(path, context.Profile(), context.Notify(), &file);
    if (!read.Ok()) {
        return false;
    }
    for (const std::string& warning : read.warnings) {
        std::fprintf(stderr, "tonedesk-cli: warning: %s: %s\n", path.c_str(), warning.c_str());
    }
    graph.SwitchBank(bank);
    if (CurveFileKindOf(path) == CurveFileKind::Gamma) {
        graph.OpenTable(file);
        // The editor's first timer tick recomputes the tables before anything can be written.
        graph.RecomputeLevels();
        return true;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        graph.Levels(c) = read.levels[c];
    }
    return true;
}

} // namespace tonedesk::cli
