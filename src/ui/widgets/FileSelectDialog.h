#pragma once

#include "support/FileFilter.h"
#include "support/TextString.h"

#include <QFileDialog>

#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

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
