#include "cli/CliCommands.h"
#include "gamma/GammaFile.h"
#include "gamma/GammaGraph.h"
#include "gamma/GammaTransfer.h"
#include "link/GammaQueue.h"

#include <algorithm>
#include <cstdio>

namespace tonedesk::cli {

// tonedesk-cli write-gamma --port N [--baud B] [--bank 0|1] [--channel -1|0|1|2] FILE.gam:
// loads FILE into the bank as the gamma editor's open command does, queues the editor's power
// query and then the gamma blocks of the channel (all by default), and services the link until
// it is idle. Succeeds only when the projector answered "OK" to every gamma entry; otherwise
// names the blocks whose answers were not "OK".
int RunWriteGamma(CliArgs& args, CliContext& context) {
    const auto comNumber = args.TakeInt("--port", 1, kMaxComPorts);
    const auto baud = args.TakeInt("--baud", 1, 115200);
    const int bank = args.TakeInt("--bank", 0, 1).value_or(0);
    const int channel = args.TakeInt("--channel", -1, 2).value_or(kAllChannels);
    const auto words = args.Positionals();
    if (!comNumber) {
        throw UsageError("write-gamma needs --port");
    }
    if (baud && std::find(kBaudRates.begin(), kBaudRates.end(), *baud) == kBaudRates.end()) {
        throw UsageError("--baud is 9600, 38400 or 115200");
    }
    if (words.size() != 1) {
        throw UsageError("write-gamma needs one gamma file");
    }
    GammaFileTable file;
    if (!ReadGammaFileWithWarnings(words[0], file, context.Notify())) {
        return kExitUsage;
    }
    CGammaGraph graph(context.Profile());
    graph.SwitchBank(bank);
    graph.OpenTable(file);
    // The editor's first timer tick recomputes the tables before anything can be written.
    graph.RecomputeLevels();

    PortEntry* port = context.OpenPort(*comNumber, baud.value_or(0));
    if (!port) {
        return kExitFailed;
    }
    CProjectorLink& link = context.Link();
    static constexpr char kPowerQuery[] = "POWR????\r";
    link.QueueCommand(kPowerQuery, 9, AnswerKind::Value, false, port);
    const GammaWrite write = QueueGammaTables(link, graph.ActiveBank(), graph.Active(), channel);
    if (!write) {
        std::fprintf(stderr, "tonedesk-cli: the gamma blocks could not be queued\n");
        return kExitFailed;
    }
    const bool dropped = context.ServiceUntilIdle(port);
    const GammaWriteSummary summary = SummariseGammaWrite(link, write);
    if (!summary.Confirmed()) {
        std::fprintf(stderr,
                     "tonedesk-cli: the projector did not confirm %zu of %zu gamma entries:\n",
                     summary.problems.size(), summary.entries);
        for (const GammaWriteProblem& problem : summary.problems) {
            std::fprintf(stderr, "  %s\n", DescribeGammaWriteProblem(problem).c_str());
        }
        return kExitFailed;
    }
    return dropped ? kExitFailed : kExitOk;
}

} // namespace tonedesk::cli
