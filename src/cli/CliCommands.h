#pragma once

#include "cli/CliCommon.h"

namespace tonedesk::cli {

// One subcommand of tonedesk-cli: its name, its synopsis for the usage text, what it does,
// and the function that runs it (see cli/CliCommon.h).
struct CliCommand {
    const char* name;
    const char* synopsis;
    const char* summary;
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
