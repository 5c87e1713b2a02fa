#include "ui/widgets/DialogPrompts.h"

#include "ui/widgets/FileSelectDialog.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace tonedesk {

std::optional<std::string> DialogPrompts::ChooseFile(FileDialogMode mode,
                                                     const std::string& filterText,
                                                     const std::string& initialPath,
                                                     const QString& title, int* fileType) {
    const bool openDialog = mode == FileDialogMode::Open;
    unsigned flags = kHideReadOnly | kNoTestFileCreate;
    if (!openDialog) {
        flags |= kNoReadOnlyReturn;
    }
    CFileSelectDialog dialog(openDialog, flags);
    dialog.SetupDialog(title, filterText, initialPath, 0);
    if (dialog.DoModal() != QDialog::Accepted) {
        return std::nullopt;
    }
    if (fileType) {
        *fileType = dialog.FileType();
    }
    return dialog.GetChosenPath();
}

void DialogPrompts::ShowText(const QString& text, const QString& caption) {
    if (texts_ == TextOutput::ErrorOutput) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    QMessageBox::information(nullptr, caption.isEmpty() ? QApplication::applicationName() : caption,
                             text);
}

bool DialogPrompts::AskYesNo(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning,
                    caption.isEmpty() ? QApplication::applicationName() : caption, text,
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace tonedesk
