#include "cli/CliCommands.h"
#include "cli/CliCurveFile.h"
#include "support/PathName.h"

namespace tonedesk::cli {

// tonedesk-cli export [--bank 0|1] IN OUT: reads IN (a gamma file, .cal file or profile) into
// the bank as write-gamma does and writes that bank's tables to OUT, as a .cal file, a profile
// (.icc, .icm) or a four-column gamma file (.gam) by OUT's extension.
int RunExport(CliArgs& args, CliContext& context) {
    const int bank = args.TakeInt("--bank", 0, 1).value_or(0);
    const auto words = args.Positionals();
    if (words.size() != 2) {
        throw UsageError("export needs an input file and an output file");
    }
    const std::string& out = words[1];
    if (CurveFileKindOf(out) == CurveFileKind::Gamma &&
        CompareNoCase(GetExtension(out), "gam") != 0) {
        throw UsageError("export writes .cal, .icc, .icm or .gam files, not '" + out + "'");
    }
    CGammaGraph graph(context.Profile());
    if (!LoadBankFromFile(words[0], bank, graph, context)) {
        return kExitUsage;
    }
    return WriteBankCurveFile(out, graph.Active(), context.Notify()) ? kExitOk : kExitFailed;
}

} // namespace tonedesk::cli
