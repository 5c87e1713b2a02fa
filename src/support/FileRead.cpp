#include "support/FileRead.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace tonedesk {

int ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    // A pipe or a device would make the reader wait or read without end.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!ec && !std::filesystem::is_regular_file(status)) {
        return std::filesystem::is_directory(status) ? EISDIR : EINVAL;
    }
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        return errno != 0 ? errno : EIO;
    }
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        text.append(chunk, got);
    }
    if (std::ferror(file.get())) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

} // namespace tonedesk
