#include "cli/CliCommands.h"
#include "gamma/CurveMath.h"
#include "gamma/GammaFile.h"
#include "gamma/GammaGraph.h"

#include <cstdio>
#include <cstdlib>

namespace tonedesk::cli {

namespace {

int ParseParameter(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < -30 || v > 30) {
        throw UsageError("--formula takes three integers in -30..30, not '" + text + "'");
    }
    return static_cast<int>(v);
}

void PrintTables(const std::array<LevelTable, kChannelCount>& levels) {
    for (int i = 0; i < kLevelCount; ++i) {
        PrintOut("%d,%d,%d\n", levels[0][i], levels[1][i], levels[2][i]);
    }
}

} // namespace

// tonedesk-cli levels FILE.gam | --formula A,B,C: prints the three level tables the gamma
// editor holds after opening FILE and its first timer tick (or the formula tables for
// parameters A, B, C on every channel), 256 lines "r,g,b", entry 0 first.
int RunLevels(CliArgs& args, CliContext& context) {
    const auto formula = args.TakeOption("--formula");
    const auto words = args.Positionals();
    if (formula) {
        if (!words.empty()) {
            throw UsageError("levels takes a file or --formula, not both");
        }
        int parameters[3];
        std::size_t start = 0;
        for (int k = 0; k < 3; ++k) {
            const std::size_t comma = formula->find(',', start);
            if ((k < 2) == (comma == std::string::npos)) {
                throw UsageError("--formula takes A,B,C");
            }
            parameters[k] = ParseParameter(formula->substr(start, comma - start));
            start = comma + 1;
        }
        LevelTable table{};
        FormulaLevels(parameters[0], parameters[1], parameters[2], table);
        PrintTables({table, table, table});
        return kExitOk;
    }
    if (words.size() != 1) {
        throw UsageError("levels needs one gamma file");
    }
    GammaFileTable file;
    if (!ReadGammaFileWithWarnings(words[0], file, context.Notify())) {
        return kExitUsage;
    }
    CGammaGraph graph(context.Profile());
    graph.OpenTable(file);
    graph.RecomputeLevels();
    PrintTables(graph.Active().levels);
    return kExitOk;
}

} // namespace tonedesk::cli
