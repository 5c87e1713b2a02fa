// tonedesk-cli: the projector link of Tonedesk on the command line.

#include "ProgramVersion.h"
#include "cli/CliCommands.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

using namespace tonedesk::cli;

namespace {

// One line per subcommand; a new subcommand is a file and a line here.
constexpr CliCommand kCommands[] = {
    {"scan", "scan", "list the projectors that answer on the profile's ports", RunScan},
    {"send", "send --port N|N,N...|all [--baud B] [--kind plain|value|text|transfer] CMD...",
     "send 8-character commands (CR is added) and print the answers", RunSend},
    {"model", "model NAME", "print the model file read for a projector name, as JSON", RunModel},
    {"lint", "lint FILE...",
     "check model files, and the forms of their tabs, for what the program ignores or misreads",
     RunLint},
    {"levels", "levels FILE | levels --formula A,B,C | levels --target NAME[:PARAM]",
     "print the level tables of a file (.gam, .cal, .icc, .icm), a formula or a target\n"
     "      (gamma:G with G in 1..3, srgb, bt1886:B with black level B in 0..0.1, lstar,\n"
     "      pq[:P] with peak P in 100..10000 cd/m2 (default 1000), hlg)",
     RunLevels},
    {"write-gamma",
     "write-gamma --port N|N,N...|all [--baud B] [--bank 0|1] [--channel -1|0|1|2] FILE",
     "write a file's tables (.gam, .cal, .icc, .icm) into a bank of the projector; a .cal file\n"
     "      or a profile's calibration curves (vcgt) go in as their exact levels",
     RunWriteGamma},
    {"export", "export [--bank 0|1] IN OUT",
     "write the tables of IN (.gam, .cal, .icc, .icm) to OUT as .cal, .icc, .icm or .gam",
     RunExport},
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "Usage: tonedesk-cli COMMAND [OPTION]... [WORD]...\n"
                      "       tonedesk-cli --version\n\nCommands:\n");
    for (const auto& c : kCommands) {
        std::fprintf(out, "  %s\n      %s\n", c.synopsis, c.summary);
    }
    std::fprintf(out, "\nThe ports and the link settings come from the profile\n"
                      "($XDG_CONFIG_HOME/VANTO/Vanto Tonedesk.conf, sections PORTS and ENV).\n"
                      "Every command takes --timeout SECONDS: the longest it may work with the\n"
                      "projector (default 600), and --timing, which prints on stderr how long it\n"
                      "worked with the projector (from its first exchange to its last).\n"
                      "--log FILE appends every exchange with the projector to FILE.\n"
                      "Exit status: 0 done, 1 the operation failed or its output could not be\n"
                      "written, 2 bad usage or input (also a profile that cannot be read),\n"
                      "3 (model) the model file repeats an identifier.\n");
}

// Flushes and closes stdout: output that could not be written (a full disk, a closed pipe)
// fails the command instead of being lost in silence.
int FinishOutput(int status) {
    const bool failedBefore = std::ferror(stdout) != 0;
    errno = 0;
    const bool failedNow = std::fclose(stdout) != 0;
    const int closeError = failedNow ? errno : 0;
    if (!failedBefore && !failedNow && OutputError() == 0) {
        return status;
    }
    const int error = OutputError() != 0 ? OutputError() : closeError != 0 ? closeError : EIO;
    std::fprintf(stderr, "tonedesk-cli: cannot write the output: %s\n", std::strerror(error));
    return status == kExitOk ? kExitFailed : status;
}

int RunCommand(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (name == "--version") {
        std::printf("tonedesk-cli %s\n", tonedesk::kProgramVersion);
        return kExitOk;
    }
    for (const auto& command : kCommands) {
        if (name != command.name) {
            continue;
        }
        try {
            CliArgs args(std::vector<std::string>(argv + 2, argv + argc));
            CliContext context;
            if (const auto limit = args.TakeInt("--timeout", 1, 86400)) {
                context.SetTimeLimit(std::chrono::seconds(*limit));
            }
            if (const auto logFile = args.TakeOption("--log")) {
                context.SetLogFile(*logFile);
            }
            const bool timing = args.TakeFlag("--timing");
            const int status = command.run(args, context);
            if (const auto worked = context.LinkWorkTime(); timing && worked) {
                std::fprintf(stderr, "tonedesk-cli %s: worked with the projector for %.1f ms\n",
                             command.name,
                             std::chrono::duration<double, std::milli>(*worked).count());
            }
            return status;
        } catch (const InputError& e) {
            std::fprintf(stderr, "tonedesk-cli %s: %s\n", command.name, e.what());
            return kExitUsage;
        } catch (const UsageError& e) {
            std::fprintf(stderr, "tonedesk-cli %s: %s\nUsage: tonedesk-cli %s\n", command.name,
                         e.what(), command.synopsis);
            return kExitUsage;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tonedesk-cli %s: %s\n", command.name, e.what());
            return kExitFailed;
        }
    }
    std::fprintf(stderr, "tonedesk-cli: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    return FinishOutput(RunCommand(argc, argv));
}
