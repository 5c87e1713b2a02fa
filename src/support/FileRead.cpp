#include "support/FileRead.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonedesk {

FileDescriptor::~FileDescriptor() {
    if (fd >= 0) {
        ::close(fd);
    }
}

int ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    // Opening without waiting and then looking at what was opened: a pipe without a writer
    // would block a plain open, and checking the name before opening it could look at another
    // file than the one opened.
    const FileDescriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        return errno;
    }
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) {
        return errno;
    }
    if (S_ISDIR(st.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(st.st_mode)) {
        return kErrorNotRegularFile;
    }
    if (st.st_size < 0 || static_cast<std::size_t>(st.st_size) > kMaxReadFileSize) {
        return kErrorFileTooLarge;
    }
    text.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(file.fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            text.clear();
            return error;
        }
        if (got == 0) {
            return 0;
        }
        // The file may grow while it is read.
        if (text.size() + static_cast<std::size_t>(got) > kMaxReadFileSize) {
            text.clear();
            return kErrorFileTooLarge;
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
}

std::string FileReadReason(int error) {
    switch (error) {
    case kErrorNotRegularFile:
        return "not a regular file";
    case kErrorFileTooLarge:
        return "file too large (more than " + std::to_string(kMaxReadFileSize >> 20) + " MiB)";
    default:
        return std::strerror(error);
    }
}

} // namespace tonedesk
