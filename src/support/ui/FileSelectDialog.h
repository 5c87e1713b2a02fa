#pragma once

#include "support/TextString.h"

#include <QFileDialog>

#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// Option bits the callers pass; the open or save mode is what the dialog acts on.
enum FileDialogFlag : unsigned {
    kHideReadOnly = 0x00000004,
    kNoReadOnlyReturn = 0x00008000,
    kNoTestFileCreate = 0x00010000,
};

// One entry of a filter text.
struct FileFilter {
    std::string description;
    std::string pattern; // "*.gam", "*.*"
};

// Splits a filter text "description TAB pattern TAB description TAB pattern TAB ..." into its
// entries. A description without a pattern after it (a text without its final TAB, or an odd
// number of fields) is dropped.
std::vector<FileFilter> ParseFilterText(std::string_view text);

// The extension that a pattern stands for: the pattern from its third character on ("gam" for
// "*.gam"), or `preferred` when that begins with "*".
std::string PatternExtension(const std::string& pattern, const std::string& preferred);

// Completes a chosen path with the extension of the selected file type. `fileType` counts the
// filter entries from 1; `preferred` is "*" when the dialog started without an initial path,
// else the extension of that path. A typed extension that one of the entries stands for is
// replaced by the selected type's; any other typed extension is kept, and gets the selected one
// appended when the dialog started without an initial path.
std::string CompleteChosenPath(std::string path, const std::vector<std::string>& patterns,
                               const std::string& preferred, int fileType);

// The program's file dialog: filters from the string table's TAB format, an initial path from a
// profile folder, and chosen names completed with the selected file type's extension. A derived
// dialog may refuse a name in OnFileNameOK while the dialog stays open.
class CFileSelectDialog : public QFileDialog {
    Q_OBJECT
public:
    CFileSelectDialog(bool openDialog, unsigned flags, QWidget* parent = nullptr);

    // title may be empty (the standard title). filterIndex counts from 0; a negative index keeps
    // the first type.
    void SetupDialog(const QString& title, std::string_view filterText,
                     const std::string& initialPath, int filterIndex);
    // QDialog::Accepted when the user confirmed a name.
    int DoModal();
    // The completed full path of the name the user chose (or has typed, while the dialog is
    // open).
    CTextString GetChosenPath() const;
    // The selected file type, counted from 1.
    int FileType() const;

    const std::vector<std::string>& Patterns() const { return patterns_; }
    const std::string& PreferredExtension() const { return preferred_; }
    const std::string& InitialFolder() const { return initialFolder_; }
    const std::string& InitialName() const { return initialName_; }

protected:
    // Nonzero refuses the name and keeps the dialog open. The base accepts every name.
    virtual int OnFileNameOK() { return 0; }
    void accept() override;

private:
    unsigned flags_;
    std::vector<std::string> patterns_;
    QStringList nameFilters_;
    std::string initialFolder_;
    std::string initialName_;
    std::string preferred_ = "*";
};

} // namespace tonedesk
