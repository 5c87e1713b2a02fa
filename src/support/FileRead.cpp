#include "support/FileRead.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonedesk {

namespace {

// "16 MiB", "4 KiB" or "100 bytes".
std::string SizeText(std::size_t size) {
    if (size != 0 && size % (std::size_t{1} << 20) == 0) {
        return std::to_string(size >> 20) + " MiB";
    }
    if (size != 0 && size % 1024 == 0) {
        return std::to_string(size >> 10) + " KiB";
    }
    return std::to_string(size) + " bytes";
}

} // namespace

FileDescriptor::~FileDescriptor() {
    if (fd >= 0) {
        ::close(fd);
    }
}

int ReadWholeFile(const std::string& path, std::string& text, std::size_t maxSize) {
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
    if (st.st_size < 0 || static_cast<std::size_t>(st.st_size) > maxSize) {
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
        if (text.size() + static_cast<std::size_t>(got) > maxSize) {
            text.clear();
            return kErrorFileTooLarge;
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
}

std::string FileReadReason(int error, std::size_t maxSize) {
    switch (error) {
    case kErrorNotRegularFile:
        return "not a regular file";
    case kErrorFileTooLarge:
        return "file too large (more than " + SizeText(maxSize) + ")";
    default:
        return std::strerror(error);
    }
}

} // namespace tonedesk
