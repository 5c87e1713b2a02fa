#include "model/ModelInstall.h"

#include "model/ModelSyntax.h"
#include "support/FileRead.h"
#include "support/FileReplace.h"
#include "support/PathName.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonedesk {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A bundle name that stays inside the folder it is looked for in: relative, without "..".
bool StaysInside(const std::string& name) {
    if (name.empty() || name.front() == '/') {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        if (name.compare(start, end - start, "..") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool SameContent(const std::string& a, const std::string& b) {
    std::string textA;
    std::string textB;
    return ReadWholeFile(a, textA) == 0 && ReadWholeFile(b, textB) == 0 && textA == textB;
}

} // namespace

// The files and folders one installation writes. The files are prepared under temporary names
// first; Commit renames them into place, keeping a file that is replaced under a second name
// until every rename has worked. Unless Commit succeeded, the destructor takes everything back.
class CModelInstall::Transaction {
public:
    Transaction() = default;
    ~Transaction() {
        if (!done_) {
            Undo();
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Makes the folder `folder` below `base` (ending in a separator), and any folder on the way
    // that is missing. 0 or the error number.
    int MakeFolders(const std::string& base, const std::string& folder) {
        std::size_t end = 0;
        while (end < folder.size()) {
            end = std::min(folder.find('/', end + 1), folder.size());
            const std::string path = base + folder.substr(0, end);
            if (IsFolder(path)) {
                continue;
            }
            if (::mkdir(path.c_str(), 0777) != 0) {
                return errno;
            }
            createdFolders_.push_back(path);
        }
        return 0;
    }

    CFileReplacement& Add(const std::string& target) {
        steps_.push_back({target, std::make_unique<CFileReplacement>(target), {}, false});
        return *steps_.back().file;
    }

    int Commit() {
        static unsigned serial = 0;
        for (Step& step : steps_) {
            if (Exists(step.target)) {
                // Without a second name (a file system without hard links) the old file cannot
                // be put back, but the installation goes on as a plain replacement would.
                step.backup = step.target + ".old" + std::to_string(::getpid()) + "." +
                              std::to_string(++serial);
                if (::link(step.target.c_str(), step.backup.c_str()) != 0) {
                    step.backup.clear();
                }
            }
            if (const int error = step.file->Commit(); error != 0) {
                return error;
            }
            step.placed = true;
        }
        done_ = true;
        for (const Step& step : steps_) {
            if (!step.backup.empty()) {
                ::unlink(step.backup.c_str());
            }
        }
        return 0;
    }

private:
    void Undo() {
        for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
            if (!step->backup.empty()) {
                if (step->placed) {
                    ::rename(step->backup.c_str(), step->target.c_str());
                } else {
                    ::unlink(step->backup.c_str());
                }
            } else if (step->placed) {
                ::unlink(step->target.c_str());
            }
        }
        steps_.clear(); // removes the temporary files not renamed yet
        for (auto folder = createdFolders_.rbegin(); folder != createdFolders_.rend(); ++folder) {
            ::rmdir(folder->c_str());
        }
    }

    struct Step {
        std::string target;
        std::unique_ptr<CFileReplacement> file;
        std::string backup; // the replaced file's second name while the commit runs
        bool placed;        // renamed into place
    };
    std::vector<Step> steps_;
    std::vector<std::string> createdFolders_;
    bool done_ = false;
};

CModelInstall::CModelInstall() = default;
CModelInstall::~CModelInstall() = default;

bool FolderWritable(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string InstallFolder(const ModelFolders& folders,
                          const std::function<bool(const std::string&)>& writable) {
    if (folders.user.empty() || writable(folders.program)) {
        return folders.program;
    }
    return folders.user;
}

InstallResult CModelInstall::Install(const std::string& chosenPath, std::string targetFolder,
                                     const ReplaceQuestion& askReplace) {
    missingBundle_.clear();
    installedFiles_.clear();
    const std::string sourceFolder = GetFolder(chosenPath);
    const std::string fileName = chosenPath.substr(sourceFolder.size());
    const std::size_t dot = fileName.rfind('.');
    // A name that is all extension (".ini") has no model name either: its gamma folder would be
    // the chosen file's own folder, and its gamma files would land loose in the program folder.
    if (dot == std::string::npos || dot == 0) {
        return InstallResult::NoModelName;
    }
    const std::string name = fileName.substr(0, dot);
    targetFolder = WithSeparator(std::move(targetFolder));
    const std::string gammaSource = sourceFolder + name + '/';

    if (!IsFolder(gammaSource)) {
        return InstallResult::MissingGammaFiles;
    }
    for (const char* gammaFile : kModelGammaFiles) {
        if (!IsRegularFile(gammaSource + gammaFile)) {
            return InstallResult::MissingGammaFiles;
        }
    }
    std::string modelText;
    if (ReadWholeFile(chosenPath, modelText) != 0) {
        return InstallResult::Failed;
    }
    // Each copy: source, and target within the target folder.
    std::vector<std::pair<std::string, std::string>> copies = {{chosenPath, fileName}};
    for (const char* gammaFile : kModelGammaFiles) {
        copies.emplace_back(gammaSource + gammaFile, name + '/' + gammaFile);
    }
    const std::vector<std::string> bundles = TabBundleNames(modelText);
    for (const std::string& bundle : bundles) {
        if (!StaysInside(bundle) || !IsRegularFile(sourceFolder + bundle)) {
            missingBundle_ = bundle;
            return InstallResult::MissingBundle;
        }
        copies.emplace_back(sourceFolder + bundle, bundle);
    }

    if (Exists(targetFolder + fileName) &&
        !(askReplace && askReplace(ReplaceSubject::Model, name))) {
        return InstallResult::Declined;
    }
    for (const std::string& bundle : bundles) {
        const std::string target = targetFolder + bundle;
        if (Exists(target) && !SameContent(sourceFolder + bundle, target) &&
            !(askReplace && askReplace(ReplaceSubject::Bundle, bundle))) {
            return InstallResult::Declined;
        }
    }

    Transaction transaction;
    // The user's model folder is made on its first installation.
    if (targetFolder.starts_with('/') &&
        transaction.MakeFolders("/", targetFolder.substr(1)) != 0) {
        return InstallResult::Failed;
    }
    for (const auto& [source, target] : copies) {
        const std::string folder = GetFolder(target);
        if (!folder.empty() && transaction.MakeFolders(targetFolder, folder) != 0) {
            return InstallResult::Failed;
        }
        if (WriteCopy(source, transaction.Add(targetFolder + target)) != 0) {
            return InstallResult::Failed;
        }
    }
    if (transaction.Commit() != 0) {
        return InstallResult::Failed;
    }
    for (const auto& copy : copies) {
        installedFiles_.push_back(copy.second);
    }
    return InstallResult::Installed;
}

int CModelInstall::CopyFile(const std::string& source, const std::string& target) {
    CFileReplacement out(target);
    if (const int error = WriteCopy(source, out); error != 0) {
        return error;
    }
    return out.Commit();
}

int CModelInstall::WriteCopy(const std::string& source, CFileReplacement& out) {
    // Opening never waits for the writer of a pipe; fstat then refuses anything but a file.
    FileDescriptor in{::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat st {};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0) {
        return errno;
    }
    if (!S_ISREG(st.st_mode)) {
        return S_ISDIR(st.st_mode) ? EISDIR : kErrorNotRegularFile;
    }
    // The copy is written under a temporary name in the target's folder and renamed into place
    // once it is complete and on disk, where a plain copy would write straight onto the final
    // name: a failed or interrupted installation then never leaves a cut-off model or gamma file
    // that the program would take for a whole one, and a model installed onto itself (the chosen
    // file already in the program folder) is read whole before its old copy goes.
    if (const int error = out.Create(0600); error != 0) {
        return error;
    }
    if (::fchmod(out.Descriptor(), st.st_mode & 07777) != 0) {
        return errno;
    }
    if (!buffer_) {
        buffer_ = std::make_unique<char[]>(kInstallCopyChunk);
    }
    for (;;) {
        const ssize_t got = ::read(in.fd, buffer_.get(), kInstallCopyChunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            break;
        }
        const int error = WriteAll(out.Descriptor(), buffer_.get(), static_cast<std::size_t>(got));
        if (error != 0) {
            return error;
        }
    }
    // The times go on last, after every write that would move them; the data go on disk now, so
    // that a full disk shows before any copy of the installation is renamed into place.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out.Descriptor(), times) != 0 || ::fsync(out.Descriptor()) != 0) {
        return errno;
    }
    return 0;
}

std::vector<std::string> TabBundleNames(std::string_view modelText) {
    std::vector<std::string> names;
    ModelLineReader reader(modelText);
    ModelLine line;
    while (reader.Next(line)) {
        if (line.key != kKeyResourceFile || line.section != ModelSection::Tab ||
            line.value.empty()) {
            continue;
        }
        std::string name = CutPath(line.value);
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

} // namespace tonedesk
