#include "gamma/GammaFile.h"

#include "gamma/GammaTable.h"
#include "support/FileRead.h"
#include "support/Notifier.h"
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

// Closes the descriptor when it goes out of scope.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int Release() {
        const int f = fd;
        fd = -1;
        return f;
    }
};

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

int WriteGammaFile(const std::string& path, const GammaTable& table, bool fourColumns,
                   Notifier& notifier) {
    const std::string text = FormatGammaFile(table, fourColumns);

    // A fresh name beside the target, created with the usual permissions (0666 less umask).
    static unsigned serial = 0;
    std::string temporary;
    FileDescriptor file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        temporary = path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(++serial);
        file.fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (file.fd < 0) {
        return Fail(notifier, path, errno);
    }
    // An existing file keeps its permissions.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(file.fd, st.st_mode & 07777);
    }
    int error = WriteAll(file.fd, text.data(), text.size());
    if (error == 0 && ::fsync(file.fd) != 0) {
        error = errno;
    }
    if (::close(file.Release()) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return Fail(notifier, path, error);
    }
    return 0;
}

} // namespace tonedesk
