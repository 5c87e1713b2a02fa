// The search for a projector's model file among the program's files.
#include "model/ModelFile.h"

#include "support/FolderScan.h"
#include "support/Notifier.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tonedesk {

namespace {

// The whole content of a file; false after reporting why it could not be read.
bool ReadWholeFile(const std::string& path, std::string& text, Notifier& notifier) {
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        notifier.FileError(path, std::strerror(errno));
        return false;
    }
    text.clear();
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        text.append(chunk, got);
    }
    if (std::ferror(file.get())) {
        notifier.FileError(path, std::strerror(errno != 0 ? errno : EIO));
        return false;
    }
    return true;
}

} // namespace

int CModelFile::ReadModelFile(std::string_view projectorName) {
    std::vector<FolderEntry> candidates;
    ScanFolder(folder_, "*.ini", kAttrDirectory, candidates);

    fileName_.clear();
    std::string text;
    for (const FolderEntry& candidate : candidates) {
        fileName_ = candidate.name;
        const std::string path = folder_ + candidate.name;
        if (!ReadWholeFile(path, text, notifier_)) {
            Reset();
            return -1;
        }
        const int result = ParseModelText(text, projectorName);
        if (result < 0) {
            return result;
        }
        if (result == 1) {
            // The presets are read once the file is known to be the projector's own, so that
            // another model's gamma files are neither read nor reported.
            for (const GammaReference& gamma : gammaReferences_) {
                ReadGammaFile(gamma.path, presetGamma[gamma.preset], notifier_);
            }
            return 0;
        }
    }
    return -1;
}

} // namespace tonedesk
