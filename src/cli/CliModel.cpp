#include "cli/CliCommands.h"

#include "model/ModelFile.h"
#include "model/ModelJson.h"

#include <cstdio>

namespace tonedesk::cli {

// tonedesk-cli model NAME: the model file the program would read for a projector of that name,
// from the user's model folder or the programs' folder: its full path on the first line, then the
// parsed model as JSON on the second, so that a script can tell which of the two places it came
// from and still take the JSON as the rest of the output.
int RunModel(CliArgs& args, CliContext& context) {
    const auto words = args.Positionals();
    if (words.size() != 1) {
        throw UsageError("model takes one projector name");
    }
    CModelFile model(context.Notify());
    const ModelLookup result = model.ReadModelFile(words[0]);
    std::set<std::string> named;
    ReportSkippedModelFiles(model, named);
    switch (result) {
    case ModelLookup::Found:
        PrintOut("%s\n%s\n", model.FilePath().c_str(), ModelToJson(model).c_str());
        return kExitOk;
    case ModelLookup::RepeatedId:
        std::fprintf(stderr, "tonedesk-cli: %s repeats an identifier\n", model.FilePath().c_str());
        return kExitRepeatedId;
    case ModelLookup::NotFound:
        break;
    }
    std::string folders;
    for (const std::string& folder : model.Folders().SearchOrder()) {
        folders += (folders.empty() ? "" : " or ") + folder;
    }
    std::fprintf(stderr, "tonedesk-cli: no model file for '%s' in %s\n", words[0].c_str(),
                 folders.c_str());
    return kExitFailed;
}

} // namespace tonedesk::cli
