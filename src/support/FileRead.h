#pragma once

#include <cerrno>
#include <cstddef>
#include <string>

namespace tonedesk {

// Closes the descriptor when it goes out of scope.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor();
    int Release() {
        const int f = fd;
        fd = -1;
        return f;
    }
};

// Largest file ReadWholeFile reads: far above any model or gamma file (a gamma file is under
// 10 KB), low enough that a wrong file name cannot exhaust memory.
inline constexpr std::size_t kMaxReadFileSize = 16u << 20; // 16 MiB

// ReadWholeFile's own refusals, beside the system's error numbers.
inline constexpr int kErrorNotRegularFile = EINVAL; // a pipe, a device or a socket
inline constexpr int kErrorFileTooLarge = EFBIG;    // more than kMaxReadFileSize bytes

// Reads the whole file at `path` into `text`. Returns 0, or the error number that tells why the
// file could not be opened or read to its end. Only regular files are read: a folder gives
// EISDIR, a pipe or a device kErrorNotRegularFile (opening never waits for a writer), and a file
// over `maxSize` bytes kErrorFileTooLarge.
int ReadWholeFile(const std::string& path, std::string& text,
                  std::size_t maxSize = kMaxReadFileSize);

// The text that tells the user why ReadWholeFile failed with `error` (`maxSize` as given to it).
std::string FileReadReason(int error, std::size_t maxSize = kMaxReadFileSize);

} // namespace tonedesk
