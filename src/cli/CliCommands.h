#pragma once

#include "cli/CliCommon.h"

#include <vector>

namespace tonedesk::cli {

// An option of a subcommand for the command line's parser and its help: the name without the
// dashes, the name of its value (null for an option that takes none) and what it does.
struct CliOption {
    const char* name;
    const char* valueName;
    const char* description;
};

// One subcommand of tonedesk-cli: its name, its synopsis for the usage text, what it does, the
// options it takes besides every command's own (--timeout, --log, --timing, --help), and the
// function that runs it (see cli/CliCommon.h).
struct CliCommand {
    const char* name;
    const char* synopsis;
    const char* summary;
    std::vector<CliOption> options;
    int (*run)(CliArgs& args, CliContext& context);
};

// The subcommands, one file each.
int RunScan(CliArgs& args, CliContext& context);       // CliScan.cpp
int RunSend(CliArgs& args, CliContext& context);       // CliSend.cpp
int RunModel(CliArgs& args, CliContext& context);      // CliModel.cpp
int RunLint(CliArgs& args, CliContext& context);       // CliLint.cpp
int RunLevels(CliArgs& args, CliContext& context);     // CliLevels.cpp
int RunWriteGamma(CliArgs& args, CliContext& context); // CliWriteGamma.cpp
int RunExport(CliArgs& args, CliContext& context);     // CliExport.cpp

// Exit status of `model` when the model file repeats an identifier.
inline constexpr int kExitRepeatedId = 3;

} // namespace tonedesk::cli
