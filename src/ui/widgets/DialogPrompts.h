#pragma once

#include "ui/widgets/UserPrompts.h"

namespace tonedesk {

// Asks with the program's file dialog (CFileSelectDialog) and shows texts in message boxes
// captioned with the application's name unless a caption is given.
class DialogPrompts final : public UserPrompts {
public:
    std::optional<std::string> ChooseFile(FileDialogMode mode, const std::string& filterText,
                                          const std::string& initialPath, const QString& title = {},
                                          int* fileType = nullptr) override;
    void ShowText(const QString& text, const QString& caption = {}) override;
    bool AskYesNo(const QString& text, const QString& caption = {}) override;
};

} // namespace tonedesk
