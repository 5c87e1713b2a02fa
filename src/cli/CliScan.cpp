#include "cli/CliCommands.h"

#include "link/PortAccess.h"

#include <cstdio>

namespace tonedesk::cli {

// tonedesk-cli scan: the start-up scan of the program with the profile's settings; one line
// per port whose projector answered and has a model file in a model folder, in port
// order. Projectors without a model file, and ports that another program holds, are named on
// stderr; when no projector answered and ports were denied, so is how to get access to them.
int RunScan(CliArgs& args, CliContext& context) {
    if (!args.Positionals().empty()) {
        throw UsageError("scan takes no words");
    }
    CProjectorLink& link = context.Link();
    context.Ports().ForgetHeld();
    link.ScanPorts();
    context.ServiceUntilScanEnds();
    // As the connection dialog does: only projectors for which a model file is found.
    int answered = 0;
    int found = 0;
    std::set<std::string> skipped;
    for (const PortEntry& port : link.Ports()) {
        if (!port.AnsweredProbe()) {
            continue;
        }
        ++answered;
        CModelFile& model = link.Model();
        const ModelLookup result = model.ReadModelFile(port.projectorName);
        ReportSkippedModelFiles(model, skipped);
        if (result == ModelLookup::Found) {
            PrintOut("COM%d / %s / %d\n", port.ComNumber(), port.projectorName.c_str(),
                     port.baudRate);
            ++found;
        } else if (result == ModelLookup::RepeatedId) {
            std::fprintf(stderr, "COM%d / %s / %d: no model file (%s repeats an identifier)\n",
                         port.ComNumber(), port.projectorName.c_str(), port.baudRate,
                         model.FilePath().c_str());
        } else {
            std::fprintf(stderr, "COM%d / %s / %d: no model file\n", port.ComNumber(),
                         port.projectorName.c_str(), port.baudRate);
        }
    }
    // A port another program holds was never asked.
    const auto& held = context.Ports().Held();
    for (const CliPortFactory::HeldPort& port : held) {
        std::fprintf(stderr, "tonedesk-cli: %s: %s\n",
                     context.Ports().PortName(port.comNumber).c_str(), port.reason.c_str());
    }
    if (answered == 0 && held.empty()) {
        std::fprintf(stderr, "tonedesk-cli: no projector answered\n");
    }
    // Once for the whole scan, as the program's connection dialog does, and only when access may
    // be why nothing answered.
    if (answered == 0 && !link.DeniedPorts().empty()) {
        std::fprintf(stderr, "tonedesk-cli: %s\n",
                     PortAccessAdvice(context.Ports(), link.DeniedPorts()).c_str());
    }
    return found > 0 ? kExitOk : kExitFailed;
}

} // namespace tonedesk::cli
