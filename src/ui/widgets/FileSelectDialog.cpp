#include "ui/widgets/FileSelectDialog.h"

#include "support/PathName.h"

#include <QDir>
#include <QFileInfo>

namespace tonedesk {

namespace {

// "Gamma files (*.gam)" and "*.gam" give "Gamma files (*.gam)"; "Gamma files" gives the same.
QString QtNameFilter(const FileFilter& f) {
    QString description = QString::fromLocal8Bit(f.description).trimmed();
    const qsizetype open = description.lastIndexOf(u'(');
    if (open > 0 && description.endsWith(u')')) {
        description = description.left(open).trimmed();
    }
    return QStringLiteral("%1 (%2)").arg(description, QString::fromLocal8Bit(f.pattern));
}

} // namespace

CFileSelectDialog::CFileSelectDialog(bool openDialog, unsigned flags, QWidget* parent)
    : QFileDialog(parent), flags_(flags) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    // The base dialog takes every name; a derived dialog asks in OnFileNameOK.
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setAcceptMode(openDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void CFileSelectDialog::SetupDialog(const QString& title, std::string_view filterText,
                                    const std::string& initialPath, int filterIndex) {
    if (!title.isEmpty()) {
        setWindowTitle(title);
    }
    initialName_.clear();
    initialFolder_.clear();
    preferred_.assign(1, '*');

    const std::vector<FileFilter> filters = ParseFilterText(filterText);
    patterns_.clear();
    nameFilters_.clear();
    for (const FileFilter& f : filters) {
        patterns_.push_back(f.pattern);
        nameFilters_.push_back(QtNameFilter(f));
    }
    if (!nameFilters_.isEmpty()) {
        setNameFilters(nameFilters_);
        const int index = filterIndex >= 0 ? filterIndex : 0;
        if (index < nameFilters_.size()) {
            selectNameFilter(nameFilters_[index]);
        }
    }

    if (!initialPath.empty()) {
        initialFolder_ = GetFolder(initialPath);
        initialName_ = GetBaseName(initialPath);
        preferred_ = GetExtension(initialPath);
        if (!initialFolder_.empty()) {
            setDirectory(QString::fromLocal8Bit(initialFolder_));
        }
        if (!initialName_.empty()) {
            selectFile(QString::fromLocal8Bit(initialName_));
        }
    }
}

int CFileSelectDialog::DoModal() {
    return exec();
}

int CFileSelectDialog::FileType() const {
    const qsizetype i = nameFilters_.indexOf(selectedNameFilter());
    return i < 0 ? 1 : static_cast<int>(i) + 1;
}

CTextString CFileSelectDialog::GetChosenPath() const {
    const QStringList files = selectedFiles();
    std::string path = files.isEmpty()
                           ? std::string()
                           : QDir::toNativeSeparators(files.first()).toLocal8Bit().toStdString();
    return CompleteChosenPath(path, patterns_, preferred_, FileType());
}

void CFileSelectDialog::accept() {
    // A folder name opens the folder; only file names go to the acceptance hook.
    const QStringList files = selectedFiles();
    const bool folder = !files.isEmpty() && QFileInfo(files.first()).isDir();
    if (!folder && OnFileNameOK() != 0) {
        return;
    }
    QFileDialog::accept();
}

} // namespace tonedesk
