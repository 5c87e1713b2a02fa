#pragma once

#include <QString>

#include <optional>
#include <string>

namespace tonedesk {

// Whether a file dialog opens an existing file or names one to write.
enum class FileDialogMode { Open, Save };

// Where the windows ask the user for a file and show a plain text: dialogs and message boxes in
// the program, a recording fake in the tests.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A file dialog with the filter text (the string table's TAB format) starting at the initial
    // path, with the standard title when `title` is empty; the chosen path, or nothing when the
    // user cancelled. `fileType`, when given, receives the file type selected in the filter,
    // counted from 1.
    virtual std::optional<std::string>
    ChooseFile(FileDialogMode mode, const std::string& filterText, const std::string& initialPath,
               const QString& title = {}, int* fileType = nullptr) = 0;

    // A message box with the text and an OK button. `caption` empty: the application's name.
    virtual void ShowText(const QString& text, const QString& caption = {}) = 0;

    // A question box with an exclamation icon, Yes and No; true for Yes. `caption` empty: the
    // application's name.
    virtual bool AskYesNo(const QString& text, const QString& caption = {}) = 0;
};

} // namespace tonedesk
