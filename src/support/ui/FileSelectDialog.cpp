#include "support/ui/FileSelectDialog.h"

#include "support/PathName.h"

#include <QDir>
#include <QFileInfo>

namespace tonedesk {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    return CompareNoCase(a, b) == 0;
}

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

std::vector<FileFilter> ParseFilterText(std::string_view text) {
    std::vector<FileFilter> filters;
    std::string field;
    std::string description;
    bool inPattern = false;
    for (const char c : text) {
        if (c == '\0') {
            break;
        }
        if (c != '\t') {
            field += c;
            continue;
        }
        if (inPattern) {
            filters.push_back({description, field});
        } else {
            description = field;
        }
        field.clear();
        inPattern = !inPattern;
    }
    return filters;
}

std::string PatternExtension(const std::string& pattern, const std::string& preferred) {
    const std::string ext = pattern.size() > 2 ? pattern.substr(2) : std::string();
    return !ext.empty() && ext[0] == '*' ? preferred : ext;
}

std::string CompleteChosenPath(std::string path, const std::vector<std::string>& patterns,
                               const std::string& preferred, int fileType) {
    std::string typed = GetExtension(path);
    if (!preferred.empty() && !typed.empty()) {
        for (const std::string& pattern : patterns) {
            const std::string ext = PatternExtension(pattern, preferred);
            if (!ext.empty() && EqualNoCase(ext, typed)) {
                typed.clear();
                break;
            }
        }
    }
    std::string selected;
    if (fileType >= 1 && static_cast<std::size_t>(fileType) <= patterns.size()) {
        selected = PatternExtension(patterns[fileType - 1], preferred);
    } else if (!preferred.empty() && preferred[0] == '*') {
        selected = preferred;
    }
    if (!selected.empty() && selected[0] == '*') {
        // An "all files" type without a preferred extension keeps the name as typed: a
        // wildcard is no extension.
        return path;
    }
    if (!typed.empty()) {
        if (!preferred.empty() && !selected.empty()) {
            path.append(1, '.').append(selected);
        }
        return path;
    }
    ReplaceExtension(path, selected);
    return path;
}

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
