#include "model/ModelInstall.h"

#include "support/FileRead.h"
#include "support/FileReplace.h"
#include "support/PathName.h"

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

} // namespace

CModelInstall::CModelInstall() = default;
CModelInstall::~CModelInstall() = default;

InstallResult CModelInstall::Install(const std::string& chosenPath, std::string programFolder,
                                     const ReplaceQuestion& askReplace) {
    const std::string sourceFolder = GetFolder(chosenPath);
    const std::string fileName = chosenPath.substr(sourceFolder.size());
    const std::size_t dot = fileName.rfind('.');
    // A name that is all extension (".ini") has no model name either: its gamma folder would be
    // the chosen file's own folder, and its gamma files would land loose in the program folder.
    if (dot == std::string::npos || dot == 0) {
        return InstallResult::NoModelName;
    }
    const std::string name = fileName.substr(0, dot);
    if (!programFolder.empty() && programFolder.back() != '/') {
        programFolder += '/';
    }
    const std::string gammaSource = sourceFolder + name + '/';
    const std::string gammaTarget = programFolder + name + '/';

    if (!IsFolder(gammaSource)) {
        return InstallResult::MissingGammaFiles;
    }
    for (const char* gammaFile : kModelGammaFiles) {
        if (!IsRegularFile(gammaSource + gammaFile)) {
            return InstallResult::MissingGammaFiles;
        }
    }
    const std::string modelTarget = programFolder + fileName;
    if (Exists(modelTarget) && !(askReplace && askReplace(name))) {
        return InstallResult::Declined;
    }
    if (!IsFolder(gammaTarget) && ::mkdir(gammaTarget.c_str(), 0777) != 0) {
        return InstallResult::Failed;
    }
    if (CopyFile(chosenPath, modelTarget) != 0) {
        return InstallResult::Failed;
    }
    for (const char* gammaFile : kModelGammaFiles) {
        if (CopyFile(gammaSource + gammaFile, gammaTarget + gammaFile) != 0) {
            return InstallResult::Failed;
        }
    }
    return InstallResult::Installed;
}

int CModelInstall::CopyFile(const std::string& source, const std::string& target) {
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
    CFileReplacement out(target);
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
    // The times go on last, after every write that would move them.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out.Descriptor(), times) != 0) {
        return errno;
    }
    return out.Commit();
}

} // namespace tonedesk
