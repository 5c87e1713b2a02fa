#include "support/FileReplace.h"

#include "support/PathName.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
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

FileDescriptor::~FileDescriptor() {
    if (fd >= 0) {
        ::close(fd);
    }
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
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

} // namespace tonedesk
