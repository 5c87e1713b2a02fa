#include "ui/gamma/GammaSaveDialog.h"

#include "support/PathName.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QFileInfo>

namespace tonedesk {

namespace {

constexpr int kStringOverwrite = 4104;
constexpr int kFourColumnType = 1;

} // namespace

bool ConfirmGammaOverwrite(const std::string& path, UserPrompts& prompts) {
    if (!QFileInfo::exists(QString::fromLocal8Bit(path))) {
        return true;
    }
    const QString text =
        FormatMessageText(LoadString(kStringOverwrite), QString::fromLocal8Bit(GetFileTitle(path)));
    return prompts.AskYesNo(text);
}

CGammaSaveDialog::CGammaSaveDialog(UserPrompts& prompts, QWidget* parent)
    : CFileSelectDialog(false, kHideReadOnly | kNoReadOnlyReturn | kNoTestFileCreate, parent),
      prompts_(prompts) {}

int CGammaSaveDialog::OnFileNameOK() {
    return ConfirmGammaOverwrite(GetChosenPath(), prompts_) ? 0 : 1;
}

GammaSaveChooser GammaSaveDialogChooser(UserPrompts& prompts) {
    return [&prompts](const std::string& filterText,
                      const std::string& initialPath) -> std::optional<GammaSaveChoice> {
        CGammaSaveDialog dialog(prompts);
        dialog.SetupDialog({}, filterText, initialPath, 0);
        if (dialog.DoModal() != QDialog::Accepted) {
            return std::nullopt;
        }
        return GammaSaveChoice{dialog.GetChosenPath(), dialog.FileType() == kFourColumnType};
    };
}

GammaSaveChooser PromptedGammaSaveChooser(UserPrompts& prompts) {
    return [&prompts](const std::string& filterText,
                      const std::string& initialPath) -> std::optional<GammaSaveChoice> {
        for (;;) {
            int fileType = kFourColumnType;
            std::optional<std::string> path =
                prompts.ChooseFile(FileDialogMode::Save, filterText, initialPath, {}, &fileType);
            if (!path) {
                return std::nullopt;
            }
            if (ConfirmGammaOverwrite(*path, prompts)) {
                return GammaSaveChoice{*path, fileType == kFourColumnType};
            }
        }
    };
}

} // namespace tonedesk
