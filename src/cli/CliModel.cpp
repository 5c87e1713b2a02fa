#include "cli/CliCommands.h"

#include "model/ModelFile.h"
#include "model/ModelJson.h"

#include <cstdio>

namespace tonedesk::cli {

// tonedesk-cli model NAME: the model file the program would read for a projector of that name,
// from the programs' folder: its name, then the parsed model as JSON.
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
        PrintOut("%s\n%s\n", model.FileName().c_str(), ModelToJson(model).c_str());
        return kExitOk;
    case ModelLookup::RepeatedId:
        std::fprintf(stderr, "tonedesk-cli: %s%s repeats an identifier\n", model.Folder().c_str(),
                     model.FileName().c_str());
        return kExitRepeatedId;
    case ModelLookup::NotFound:
        break;
    }
    std::fprintf(stderr, "tonedesk-cli: no model file for '%s' in %s\n", words[0].c_str(),
                 model.Folder().c_str());
    return kExitFailed;
}

} // namespace tonedesk::cli
