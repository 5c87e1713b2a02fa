#include "app/ModelInstaller.h"

#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QStringList>

namespace tonedesk {

CModelInstaller::CModelInstaller(UserPrompts& prompts, ModelFolders folders, WritableCheck writable)
    : prompts_(prompts), folders_(std::move(folders)), writable_(std::move(writable)) {
    if (folders_.program.empty()) {
        folders_ = DefaultModelFolders();
    }
}

bool CModelInstaller::Run() {
    const QString caption = LoadString(kStringModelInstallCaption);
    const std::optional<std::string> chosen = prompts_.ChooseFile(
        FileDialogMode::Open, LoadString(kStringModelFilter).toLocal8Bit().toStdString(), {},
        caption);
    if (!chosen) {
        return false;
    }
    const std::string folder = WithSeparator(InstallFolder(folders_, writable_));
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
        text = FormatMessageText(LoadString(kStringModelInstallFailed),
                                 QString::fromLocal8Bit(folder));
        break;
    case InstallResult::Installed: {
        QStringList files;
        for (const std::string& file : install_.InstalledFiles()) {
            files << QString::fromLocal8Bit(file);
        }
        text = FormatMessageText(LoadString(kStringModelInstalled), QString::fromLocal8Bit(folder) +
                                                                        QStringLiteral(":\n\n") +
                                                                        files.join(u'\n'));
        break;
    }
    }
    if (!text.isEmpty()) {
        prompts_.ShowText(text, caption);
    }
    return result == InstallResult::Installed;
}

} // namespace tonedesk
