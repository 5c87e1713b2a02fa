#include "color/BankCurveFile.h"

#include "color/CalFile.h"
#include "color/IccVcgt.h"
#include "gamma/GammaGraph.h"
#include "support/FileReplace.h"
#include "support/PathName.h"

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

CurveFileKind CurveFileKindOf(const std::string& path) {
    const CTextString extension = GetExtension(path);
    if (CompareNoCase(extension, "cal") == 0) {
        return CurveFileKind::Cal;
    }
    if (CompareNoCase(extension, "icc") == 0 || CompareNoCase(extension, "icm") == 0) {
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
