#include "app/ModelInstaller.h"

#include "model/ModelFile.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QStringList>

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
    const InstallResult result =
        install_.Install(*chosen, folder, [&](ReplaceSubject subject, const std::string& name) {
            const int question =
                subject == ReplaceSubject::Model ? kStringModelAlreadyInstalled : kStringFileExists;
            return prompts_.AskYesNo(
                FormatMessageText(LoadString(question), QString::fromLocal8Bit(name)), caption);
        });
    QString text;
    switch (result) {
    case InstallResult::NoModelName:
    case InstallResult::Declined:
        break;
    case InstallResult::MissingGammaFiles:
        text = LoadString(kStringModelMissingGamma);
        break;
    case InstallResult::MissingBundle:
        text = FormatMessageText(LoadString(kStringModelMissingBundle),
                                 QString::fromLocal8Bit(install_.MissingBundle()));
        break;
    case InstallResult::Failed:
        text = LoadString(kStringModelInstallFailed);
        break;
    case InstallResult::Installed: {
        QStringList files;
        for (const std::string& file : install_.InstalledFiles()) {
            files << QString::fromLocal8Bit(file);
        }
        text = FormatMessageText(LoadString(kStringModelInstalled), files.join(u'\n'));
        break;
    }
    }
    if (!text.isEmpty()) {
        prompts_.ShowText(text, caption);
    }
    return result == InstallResult::Installed;
}

} // namespace tonedesk
