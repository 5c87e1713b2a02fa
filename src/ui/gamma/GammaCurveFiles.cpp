#include "ui/gamma/GammaCurveFiles.h"

#include "color/BankCurveFile.h"
#include "support/PathName.h"
#include "support/Settings.h"
#include "ui/gamma/GammaSaveDialog.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QStringList>

#include <filesystem>
#include <string_view>

namespace tonedesk {

namespace {

constexpr int kStringCurveFilter = 2054;
constexpr int kStringReadWithChanges = 2055;
constexpr std::string_view kGammaPathKey = "GAMMAPATH";

} // namespace

std::string GammaFolder(const Settings& profile) {
    return EnvText(profile, kGammaPathKey);
}

void RememberGammaFolder(Settings& profile, const std::string& chosenPath) {
    profile.WriteText(kEnvSection, kGammaPathKey, GetFolder(chosenPath));
}

CGammaCurveFiles::CGammaCurveFiles(Settings& profile, Notifier& notifier, UserPrompts& prompts)
    : profile_(profile), notifier_(notifier), prompts_(prompts) {}

std::string CGammaCurveFiles::FilterText() {
    return LoadString(kStringCurveFilter).toLocal8Bit().toStdString();
}

std::optional<std::string> CGammaCurveFiles::Choose(bool open) {
    const std::optional<std::string> path = prompts_.ChooseFile(
        open ? FileDialogMode::Open : FileDialogMode::Save, FilterText(), GammaFolder(profile_));
    if (path) {
        RememberGammaFolder(profile_, *path);
    }
    return path;
}

std::optional<ChannelLevels> CGammaCurveFiles::Import() {
    const std::optional<std::string> path = Choose(true);
    if (!path) {
        return std::nullopt;
    }
    const CurveReadResult read = ReadBankCurveFile(*path, profile_, notifier_);
    if (!read.Ok()) {
        return std::nullopt;
    }
    if (!read.warnings.empty()) {
        QStringList lines;
        for (const std::string& warning : read.warnings) {
            lines.push_back(QString::fromStdString(warning));
        }
        const QString name = QString::fromStdString(std::filesystem::path(*path).filename());
        prompts_.ShowText(FormatMessageText(LoadString(kStringReadWithChanges), name) + u'\n' +
                          lines.join(u'\n'));
    }
    return read.levels;
}

bool CGammaCurveFiles::Export(const GammaTable& bank) {
    const std::optional<std::string> path = Choose(false);
    if (!path || !ConfirmGammaOverwrite(*path, prompts_)) {
        return false;
    }
    return WriteBankCurveFile(*path, bank, notifier_);
}

} // namespace tonedesk
