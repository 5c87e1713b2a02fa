#pragma once

#include "ui/widgets/UserPrompts.h"

namespace tonedesk {

// Where DialogPrompts shows a text: in a message box, or on the error output where no window can
// be seen (a box there would wait for a click that never comes).
enum class TextOutput { MessageBox, ErrorOutput };

// Asks with the program's file dialog (CFileSelectDialog) and shows texts in message boxes
// captioned with the application's name unless a caption is given.
class DialogPrompts final : public UserPrompts {
public:
    explicit DialogPrompts(TextOutput texts = TextOutput::MessageBox) : texts_(texts) {}

    std::optional<std::string> ChooseFile(FileDialogMode mode, const std::string& filterText,
                                          const std::string& initialPath, const QString& title = {},
                                          int* fileType = nullptr) override;
    void ShowText(const QString& text, const QString& caption = {}) override;
    bool AskYesNo(const QString& text, const QString& caption = {}) override;

private:
    TextOutput texts_;
};

} // namespace tonedesk
