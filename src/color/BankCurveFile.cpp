#include "color/BankCurveFile.h"

#include "color/CalFile.h"
#include "color/IccVcgt.h"
#include "gamma/GammaGraph.h"
#include "support/FileReplace.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace tonedesk {

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

CurveReadResult ReadBankCurveFile(const std::string& path, const Settings& settings,
                                  Notifier& notifier, GammaFileTable* gammaFile) {
    const CurveFileKind kind = CurveFileKindOf(path);
    if (kind != CurveFileKind::Gamma) {
        CurveReadResult read =
            kind == CurveFileKind::Cal ? CalFile::Read(path) : IccVcgt::Read(path);
        if (!read.Ok()) {
            notifier.FileError(path, read.error);
        }
        return read;
    }
    GammaFileTable file;
    GammaTextReport report;
    if (ReadGammaFile(path, file, notifier, GammaReadBase::Zeros, &report) !=
        GammaReadResult::Read) {
        return CurveReadResult::Failure(CurveReadStatus::Unreadable, "not a gamma file");
    }
    CurveReadResult read;
    read.warnings = DescribeGammaTextIssues(report);
    CGammaGraph graph(settings);
    graph.OpenTable(file);
    graph.RecomputeLevels();
    read.levels = graph.Active().levels;
    if (gammaFile) {
        *gammaFile = file;
    }
    return read;
}

bool WriteBankCurveFile(const std::string& path, const GammaTable& bank, Notifier& notifier) {
    const CurveFileKind kind = CurveFileKindOf(path);
    if (kind == CurveFileKind::Gamma) {
        return WriteGammaFile(path, bank, true, notifier) == GammaFileResult::Done;
    }
    std::string error;
    const auto data = kind == CurveFileKind::Cal
                          ? CalFile::Format(bank.levels, CreatedNow(), &error)
                          : IccVcgt::Format(bank.levels, &error);
    if (!data) {
        notifier.FileError(path, error);
        return false;
    }
    return WriteTextFile(path, *data, notifier) == 0;
}

} // namespace tonedesk
