#include "cli/CliCommands.h"

#include "model/ModelLint.h"

#include <cstdio>

namespace tonedesk::cli {

// tonedesk-cli lint FILE...: what the model reader would ignore, misread or fail on, one line
// per problem ("FILE:LINE: text"; whole-file problems without a line).
int RunLint(CliArgs& args, CliContext&) {
    const auto files = args.Positionals();
    if (files.empty()) {
        throw UsageError("lint takes one or more model files");
    }
    bool clean = true;
    for (const std::string& file : files) {
        for (const LintProblem& problem : LintModelFile(file)) {
            clean = false;
            if (problem.line > 0) {
                std::printf("%s:%d: %s\n", file.c_str(), problem.line, problem.text.c_str());
            } else {
                std::printf("%s: %s\n", file.c_str(), problem.text.c_str());
            }
        }
    }
    return clean ? kExitOk : kExitFailed;
}

} // namespace tonedesk::cli
