#include "cli/CliCurveFile.h"

#include "color/CalFile.h"
#include "color/IccVcgt.h"
#include "support/FileReplace.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace tonedesk::cli {

std::string LowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

namespace {

std::string CreatedNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &local);
    return text;
}

} // namespace

CurveFileKind CurveFileKindOf(const std::string& path) {
    const std::string extension = LowerExtension(path);
    if (extension == ".cal") {
        return CurveFileKind::Cal;
    }
    if (extension == ".icc" || extension == ".icm") {
        return CurveFileKind::Profile;
    }
    return CurveFileKind::Gamma;
}

bool LoadBankFromFile(const std::string& path, int bank, CGammaGraph& graph, CliContext& context) {
    const CurveFileKind kind = CurveFileKindOf(path);
    if (kind == CurveFileKind::Gamma) {
        GammaFileTable file;
        if (!ReadGammaFileWithWarnings(path, file, context.Notify())) {
            return false;
        }
        graph.SwitchBank(bank);
        graph.OpenTable(file);
        // The editor's first timer tick recomputes the tables before anything can be written.
        graph.RecomputeLevels();
        return true;
    }
    const CurveReadResult read =
        kind == CurveFileKind::Cal ? CalFile::Read(path) : IccVcgt::Read(path);
    if (!read.Ok()) {
        std::fprintf(stderr, "tonedesk-cli: %s: %s\n", path.c_str(), read.error.c_str());
        return false;
    }
    for (const std::string& warning : read.warnings) {
        std::fprintf(stderr, "tonedesk-cli: warning: %s: %s\n", path.c_str(), warning.c_str());
    }
    graph.SwitchBank(bank);
    for (int c = 0; c < kChannelCount; ++c) {
        graph.Levels(c) = read.levels[c];
    }
    return true;
}

bool WriteBankToFile(const std::string& path, const CGammaGraph& graph, CliContext& context) {
    const CurveFileKind kind = CurveFileKindOf(path);
    if (kind == CurveFileKind::Gamma) {
        return WriteGammaFile(path, graph.Active(), true, context.Notify()) ==
               GammaFileResult::Done;
    }
    std::string error;
    const auto data = kind == CurveFileKind::Cal
                          ? CalFile::Format(graph.Active().levels, CreatedNow(), &error)
                          : IccVcgt::Format(graph.Active().levels, &error);
    if (!data) {
        std::fprintf(stderr, "tonedesk-cli: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return WriteTextFile(path, *data, context.Notify()) == 0;
}

} // namespace tonedesk::cli
