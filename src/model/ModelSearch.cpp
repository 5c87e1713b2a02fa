// The search for a projector's model file among the program's files.
#include "model/ModelFile.h"

#include "support/FileRead.h"
#include "support/FolderScan.h"
#include "support/Notifier.h"

namespace tonedesk {

int CModelFile::ReadModelFile(std::string_view projectorName) {
    std::vector<FolderEntry> candidates;
    ScanFolder(folder_, "*.ini", kAttrDirectory, candidates);

    fileName_.clear();
    skippedFiles_.clear();
    std::string text;
    for (const FolderEntry& candidate : candidates) {
        fileName_ = candidate.name;
        const std::string path = folder_ + candidate.name;
        // One file that cannot be read must not hide the model files after it.
        if (const int error = ReadWholeFile(path, text); error != 0) {
            skippedFiles_.push_back({candidate.name, FileReadReason(error)});
            Reset();
            continue;
        }
        const int result = ParseModelText(text, projectorName);
        if (result < 0) {
            return result;
        }
        if (result == 1) {
            // The presets are read once the file is known to be the projector's own, so that
            // another model's gamma files are neither read nor reported. A preset is read over
            // its ramp: what a short line leaves out keeps the ramp's value.
            for (const GammaReference& gamma : gammaReferences_) {
                ReadGammaFile(gamma.path, presetGamma[gamma.preset], notifier_,
                              GammaReadBase::Current);
            }
            return 0;
        }
    }
    return -1;
}

} // namespace tonedesk
