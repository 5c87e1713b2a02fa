#include "cli/CliCommands.h"
#include "cli/CliCurveFile.h"
#include "color/Target.h"
#include "gamma/CurveMath.h"
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

// tonedesk-cli levels FILE | --formula A,B,C | --target NAME[:PARAM]: prints the three level
// tables the gamma editor holds after opening the gamma file FILE and its first timer tick, the
// exact levels of a .cal file's or a profile's calibration curves (or the formula tables for
// parameters A, B, C, or a target's levels, on every channel), 256 lines "r,g,b", entry 0
// first.
int RunLevels(CliArgs& args, CliContext& context) {
    const auto formula = args.TakeOption("--formula");
    const auto target = args.TakeOption("--target");
    const auto words = args.Positionals();
    if ((formula ? 1 : 0) + (target ? 1 : 0) + (words.empty() ? 0 : 1) > 1) {
        throw UsageError("levels takes one of a file, --formula and --target");
    }
    if (target) {
        std::string error;
        const auto parsed = Target::Parse(*target, &error);
        if (!parsed) {
            throw UsageError(error);
        }
        const LevelTable table = parsed->Levels();
        PrintTables({table, table, table});
        return kExitOk;
    }
    if (formula) {
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
        throw UsageError("levels needs one file (.gam, .cal, .icc, .icm)");
    }
    CGammaGraph graph(context.Profile());
    if (!LoadBankFromFile(words[0], 0, graph, context)) {
        return kExitUsage;
    }
    PrintTables(graph.Active().levels);
    return kExitOk;
}

} // namespace tonedesk::cli
