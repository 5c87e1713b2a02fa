#include "cli/CliCommands.h"

#include <cstdio>

namespace tonedesk::cli {

// tonedesk-cli scan: the start-up scan of the program with the profile's settings; one line
// per port whose projector answered, in port order.
int RunScan(CliArgs& args, CliContext& context) {
    if (!args.Positionals().empty()) {
        throw UsageError("scan takes no words");
    }
    CProjectorLink& link = context.Link();
    link.ScanPorts();
    context.ServiceUntilScanEnds();
    int found = 0;
    for (const PortEntry& port : link.Ports()) {
        if (port.IsOpen() && !port.probing && port.baudRate != 0) {
            std::printf("COM%d / %s / %d\n", port.ComNumber(), port.projectorName.c_str(),
                        port.baudRate);
            ++found;
        }
    }
    std::fflush(stdout);
    if (found == 0) {
        std::fprintf(stderr, "tonedesk-cli: no projector answered\n");
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace tonedesk::cli
