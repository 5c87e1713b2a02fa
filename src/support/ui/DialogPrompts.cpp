#include "support/ui/DialogPrompts.h"

#include "support/ui/FileSelectDialog.h"

#include <QApplication>
#include <QMessageBox>

namespace tonedesk {

std::optional<std::string> DialogPrompts::ChooseFile(FileDialogMode mode,
                                                     const std::string& filterText,
                                                     const std::string& initialPath) {
    const bool openDialog = mode == FileDialogMode::Open;
    unsigned flags = kHideReadOnly | kNoTestFileCreate;
    if (!openDialog) {
        flags |= kNoReadOnlyReturn;
    }
    CFileSelectDialog dialog(openDialog, flags);
    dialog.SetupDialog(QString(), filterText, initialPath, 0);
    if (dialog.DoModal() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.GetChosenPath();
}

void DialogPrompts::ShowText(const QString& text) {
    QMessageBox::information(nullptr, QApplication::applicationName(), text);
}

} // namespace tonedesk
