#include "app/ModelInstaller.h"

#include "model/ModelFile.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

namespace tonedesk {

CModelInstaller::CModelInstaller(UserPrompts& prompts, std::string programFolder)
    : prompts_(prompts), programFolder_(std::move(programFolder)) {}

bool CModelInstaller::Run() {
    const QString caption = LoadString(kStringModelInstallCaption);
    const std::optional<std::string> chosen = prompts_.ChooseFile(
        FileDialogMode::Open, LoadString(kStringModelFilter).toLocal8Bit().toStdString(), {},
        caption);
    if (!chosen) {
        return false;
    }
    const std::string folder =
        programFolder_.empty() ? CModelFile::ProgramFolder() : programFolder_;
    const InstallResult result = install_.Install(*chosen, folder, [&](const std::string& name) {
        return prompts_.AskYesNo(FormatMessageText(LoadString(kStringModelAlreadyInstalled),
                                                   QString::fromLocal8Bit(name)),
                                 caption);
    });
    int message = 0;
    switch (result) {
    case InstallResult::NoModelName:
    case InstallResult::Declined:
        break;
    case InstallResult::MissingGammaFiles:
        message = kStringModelMissingGamma;
        break;
    case InstallResult::Failed:
        message = kStringModelInstallFailed;
        break;
    case InstallResult::Installed:
        message = kStringModelInstalled;
        break;
    }
    if (message != 0) {
        prompts_.ShowText(LoadString(message), caption);
    }
    return result == InstallResult::Installed;
}

} // namespace tonedesk
