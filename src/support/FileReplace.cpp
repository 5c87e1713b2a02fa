#include "support/FileReplace.h"

#include "support/FileRead.h"
#include "support/Notifier.h"
#include "support/PathName.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tonedesk {

namespace {

// A fresh name for the temporary file beside `target`, shortened where the target's own name is
// near the longest name a folder entry may have, so that such a file can still be written.
std::string TemporaryName(const std::string& target) {
    static unsigned serial = 0;
    const std::string folder = GetFolder(target);
    const std::string suffix = ".tmp" + std::to_string(::getpid()) + "." + std::to_string(++serial);
    std::string name = target.substr(folder.size());
    if (name.size() + suffix.size() > NAME_MAX) {
        name.resize(NAME_MAX - suffix.size());
    }
    return folder + name + suffix;
}

} // namespace

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (put == 0) {
            return EIO; // no progress: waiting for it would never end
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

int SyncFolder(const std::string& folder) {
    FileDescriptor dir{
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0) {
        return errno;
    }
    // Some file systems cannot sync a folder; the rename itself has happened.
    return ::fsync(dir.fd) != 0 && errno != EINVAL ? errno : 0;
}

CFileReplacement::CFileReplacement(std::string target) : target_(std::move(target)) {}

CFileReplacement::~CFileReplacement() {
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

int CFileReplacement::Create(mode_t mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(target_);
        file_.fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (file_.fd >= 0) {
            temporary_ = std::move(name);
            return 0;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return errno;
}

int CFileReplacement::Commit() {
    int error = ::fsync(file_.fd) != 0 ? errno : 0;
    if (::close(file_.Release()) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        return error; // the destructor removes the temporary file
    }
    temporary_.clear();
    return SyncFolder(GetFolder(target_));
}

namespace {

int Fail(Notifier& notifier, const std::string& path, int error) {
    notifier.FileError(path, std::strerror(error));
    return -1;
}

// 0 for no error; otherwise -1 after telling the user.
int FailUnless(Notifier& notifier, const std::string& path, int error) {
    return error == 0 ? 0 : Fail(notifier, path, error);
}

// Follows a symbolic link chain that ends nowhere yet, so that a save through a dangling link
// creates the file the link names instead of replacing the link. Returns the path itself when it
// is not a link.
std::string DanglingLinkTarget(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
            break;
        }
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : GetFolder(path) + target;
    }
    return path;
}

// The whole text into an open file from its start, cut to the text's length, on disk.
int WriteInPlace(int fd, std::string_view text) {
#ifdef __linux__
    // Room for the whole text before its first byte lands: on a full disk (or past the process's
    // file size limit) the save fails here and the file keeps what it held. A file system that
    // cannot reserve room is written as before.
    if (!text.empty() && ::fallocate(fd, 0, 0, static_cast<off_t>(text.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        return errno;
    }
#endif
    if (::lseek(fd, 0, SEEK_SET) < 0) {
        return errno;
    }
    if (const int error = WriteAll(fd, text.data(), text.size()); error != 0) {
        return error;
    }
    if (::ftruncate(fd, static_cast<off_t>(text.size())) != 0 || ::fsync(fd) != 0) {
        return errno;
    }
    return 0;
}

// Writes `text` to a new temporary file beside `target` with the permissions and (where the
// process may) the owner of `existing`, then renames it over `target`.
int ReplaceFile(const std::string& target, std::string_view text, const struct stat* existing) {
    CFileReplacement file(target);
    // A new file gets the usual permissions (0666 less umask) from the start; a replacement
    // starts private and takes the old file's owner and permissions before it holds anything.
    if (const int error = file.Create(existing ? 0600 : 0666); error != 0) {
        return error;
    }
    const int fd = file.Descriptor();
    if (existing) {
        // Only a privileged process may give a file away; anyone else keeps the file as theirs.
        if (::fchown(fd, existing->st_uid, existing->st_gid) != 0 && errno != EPERM) {
            return errno;
        }
        if (::fchmod(fd, existing->st_mode & 07777) != 0) {
            return errno;
        }
    }
    if (const int error = WriteAll(fd, text.data(), text.size()); error != 0) {
        return error;
    }
    return file.Commit();
}

} // namespace

int WriteTextFile(const std::string& path, std::string_view text, Notifier& notifier) {
    // An existing file is opened for writing without truncating it: this refuses a file the user
    // may not write (read-only, or on a read-only mount) before anything changes, follows
    // symbolic links, and never waits on a pipe.
    FileDescriptor existing{::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)};
    if (existing.fd < 0 && errno != ENOENT) {
        const int error = errno;
        // A pipe nobody reads (or a socket) refuses the open with ENXIO: it is no file either.
        struct stat node {};
        if (::stat(path.c_str(), &node) == 0 && !S_ISREG(node.st_mode) && !S_ISDIR(node.st_mode)) {
            notifier.FileError(path, FileReadReason(kErrorNotRegularFile));
            return -1;
        }
        return Fail(notifier, path, error);
    }
    if (existing.fd < 0) {
        return FailUnless(notifier, path, ReplaceFile(DanglingLinkTarget(path), text, nullptr));
    }
    struct stat st {};
    if (::fstat(existing.fd, &st) != 0) {
        return Fail(notifier, path, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        notifier.FileError(path, FileReadReason(kErrorNotRegularFile));
        return -1;
    }
    // A file with more than one name (hard links) is rewritten in place, once the whole text is
    // ready, so that every name keeps showing the same file; a rename would leave the other names
    // on the old content. The cost is that a crash in the middle of these few kilobytes can leave
    // the file partly written. A file with one name is replaced whole by a rename.
    if (st.st_nlink > 1) {
        return FailUnless(notifier, path, WriteInPlace(existing.fd, text));
    }
    // The new file goes where a symbolic link points, so the link stays a link.
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) {
        return Fail(notifier, path, errno);
    }
    return FailUnless(notifier, path, ReplaceFile(real.get(), text, &st));
}

} // namespace tonedesk
