#include "gamma/GammaFile.h"

#include "gamma/GammaTable.h"
#include "support/FileRead.h"
#include "support/FileReplace.h"
#include "support/Notifier.h"
#include "support/PathName.h"
#include "support/TextScan.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tonedesk {

namespace {

int Fail(Notifier& notifier, const std::string& path, int error) {
    notifier.FileError(path, std::strerror(error));
    return -1;
}

// 0 for no error; otherwise -1 after telling the user.
int FailUnless(Notifier& notifier, const std::string& path, int error) {
    return error == 0 ? 0 : Fail(notifier, path, error);
}

} // namespace

GammaFileTable GammaFileTable::Identity() {
    GammaFileTable t;
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 256; ++i) {
            t.At(c, i) = static_cast<std::uint32_t>(4 * i);
        }
    }
    return t;
}

int ReadGammaFile(const std::string& path, GammaFileTable& table, Notifier& notifier,
                  GammaReadBase base) {
    std::string text;
    if (const int error = ReadWholeFile(path, text); error != 0) {
        notifier.FileError(path, FileReadReason(error));
        return -1;
    }
    GammaFileTable read = base == GammaReadBase::Current ? table : GammaFileTable{};
    char* line = text.data();
    for (int i = 0; i < 256; ++i) {
        const char* lineEnd = nullptr;
        char* next = const_cast<char*>(NextLine(line, &lineEnd));
        // Numbers never run on into the next line: the line ends here for the parser.
        *const_cast<char*>(lineEnd) = '\0';
        const char* p = line;
        for (int column = 0; column < 3; ++column) {
            const char* end = nullptr;
            read.At(column, i) = static_cast<std::uint32_t>(ParseNumber(SkipBlanks(p), &end));
            if (*end != ',') {
                break;
            }
            p = end + 1;
        }
        line = next;
    }
    table = read;
    return 0;
}

std::string FormatGammaFile(const GammaTable& table, bool fourColumns) {
    std::array<std::array<std::uint32_t, 256>, kChannelCount> marks{};
    for (int c = 0; c < kChannelCount; ++c) {
        const ControlPointList& list = table.points[c];
        for (int k = 0; k < list.count; ++k) {
            const int line = list.points[k].x / 4;
            if (line >= 0 && line < 256) {
                marks[c][line] = kControlPointMark;
            }
        }
    }
    std::string text;
    text.reserve(256 * kFourColumnLineLength);
    char buffer[64];
    for (int i = 0; i < 256; ++i) {
        const auto value = [&](int c) {
            return static_cast<unsigned>(table.levels[c][i] + marks[c][i]);
        };
        const int n = fourColumns ? std::snprintf(buffer, sizeof buffer, "%08u,%08u,%08u,%08d\r\n",
                                                  value(0), value(1), value(2), 4 * i)
                                  : std::snprintf(buffer, sizeof buffer, "%08u,%08u,%08u\r\n",
                                                  value(0), value(1), value(2));
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

namespace {

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
int WriteInPlace(int fd, const std::string& text) {
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
int ReplaceFile(const std::string& target, const std::string& text, const struct stat* existing) {
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

int WriteGammaFile(const std::string& path, const GammaTable& table, bool fourColumns,
                   Notifier& notifier) {
    const std::string text = FormatGammaFile(table, fourColumns);

    // An existing file is opened for writing without truncating it: this refuses a file the user
    // may not write (read-only, or on a read-only mount) before anything changes, follows
    // symbolic links, and never waits on a pipe.
    FileDescriptor existing{::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)};
    if (existing.fd < 0 && errno != ENOENT) {
        return Fail(notifier, path, errno);
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
