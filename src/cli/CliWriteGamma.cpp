#include "cli/CliCommands.h"
#include "cli/CliCurveFile.h"
#include "cli/CliPortList.h"
#include "gamma/GammaFile.h"
#include "gamma/GammaGraph.h"
#include "gamma/GammaTransfer.h"
#include "link/GammaQueue.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace tonedesk::cli {

namespace {

constexpr char kPowerQuery[] = "POWR????\r";

// The same tables queued on every chosen port, served side by side; one line per port on
// stdout: its projector and "confirmed", or the entries it did not confirm and why.
int WriteGammaToPorts(CliContext& context, const PortChoice& choice, int baudRate,
                      const CGammaGraph& graph, int channel) {
    CProjectorLink& link = context.Link();
    std::vector<ChosenPort> ports = OpenChosenPorts(context, choice, baudRate);
    if (ports.empty()) {
        std::fprintf(stderr, "tonedesk-cli: no projector answered\n");
        return kExitFailed;
    }
    std::vector<GammaWrite> writes(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        // Opened by OpenChosenPorts at the rate its projector answered at.
        if (!ports[i].port) {
            continue;
        }
        link.QueueCommand(kPowerQuery, 9, AnswerKind::Value, false, ports[i].port);
        writes[i] =
            QueueGammaTables(link, graph.ActiveBank(), graph.Active(), channel, ports[i].port);
    }
    context.ServiceUntil([&] {
        return std::none_of(ports.begin(), ports.end(), [&](const ChosenPort& chosen) {
            return chosen.port && link.IsBusy(chosen.port);
        });
    });
    bool allConfirmed = true;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        std::string result;
        if (!ports[i].port) {
            result = ports[i].failure;
        } else if (!writes[i]) {
            result = "the gamma blocks could not be queued";
        } else if (const GammaWriteSummary summary = SummariseGammaWrite(link, writes[i]);
                   summary.Confirmed()) {
            result = "confirmed";
        } else {
            result = "not confirmed: " + std::to_string(summary.problems.size()) + " of " +
                     std::to_string(summary.entries) + " gamma entries";
            for (const GammaWriteProblem& problem : summary.problems) {
                result += "; " + DescribeGammaWriteProblem(problem);
            }
        }
        allConfirmed = allConfirmed && result == "confirmed";
        PrintOut("%s: %s\n", DescribeChosenPort(ports[i]).c_str(), result.c_str());
    }
    return allConfirmed ? kExitOk : kExitFailed;
}

} // namespace

// tonedesk-cli write-gamma --port N [--baud B] [--bank 0|1] [--channel -1|0|1|2] FILE:
// loads FILE into the bank: a gamma file as the gamma editor's open command does, a .cal file or
// a profile's calibration curves as their exact levels. Then it queues the editor's power
// query and then the gamma blocks of the channel (all by default), and services the link until
// it is idle. Succeeds only when the projector answered "OK" to every gamma entry; otherwise
// names the blocks whose answers were not "OK". With a list of ports (or all) the tables go to
// every projector at once, and it succeeds only when every projector confirmed every entry.
int RunWriteGamma(CliArgs& args, CliContext& context) {
    const auto choice = TakePortChoice(args);
    const auto baud = args.TakeInt("--baud", 1, 115200);
    const int bank = args.TakeInt("--bank", 0, 1).value_or(0);
    const int channel = args.TakeInt("--channel", -1, 2).value_or(kAllChannels);
    const auto words = args.Positionals();
    if (!choice) {
        throw UsageError("write-gamma needs --port");
    }
    if (choice->all && baud) {
        throw UsageError("--port all writes at the rates the scan finds: leave out --baud");
    }
    if (baud && std::find(kBaudRates.begin(), kBaudRates.end(), *baud) == kBaudRates.end()) {
        throw UsageError("--baud is 9600, 38400 or 115200");
    }
    if (words.size() != 1) {
        throw UsageError("write-gamma needs one file (.gam, .cal, .icc, .icm)");
    }
    CGammaGraph graph(context.Profile());
    if (!LoadBankFromFile(words[0], bank, graph, context)) {
        return kExitUsage;
    }
    if (!choice->single) {
        return WriteGammaToPorts(context, *choice, baud.value_or(0), graph, channel);
    }

    PortEntry* port = context.OpenPort(*choice->single, baud.value_or(0));
    if (!port) {
        return kExitFailed;
    }
    CProjectorLink& link = context.Link();
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
