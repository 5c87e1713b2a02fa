#include "support/PathName.h"

#include <filesystem>
#include <system_error>

namespace tonedesk {

namespace {

#ifdef _WIN32
constexpr char kNativeSeparator = '\\';
#else
constexpr char kNativeSeparator = '/';
#endif

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

unsigned char FoldCase(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool HasDrive(std::string_view path) {
    return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
}

// The separator a folder text already uses (its last one), else the platform's.
char SeparatorOf(std::string_view folder) {
    const auto pos = folder.find_last_of("\\/");
    return pos == std::string_view::npos ? kNativeSeparator : folder[pos];
}

// `base` followed by the relative `directory`, with a separator between them when the base
// lacks one.
CTextString JoinFolders(std::string_view base, std::string_view directory) {
    CTextString joined(base);
    if (!base.empty() && !directory.empty() && !IsSeparator(base.back())) {
        joined += SeparatorOf(base);
    }
    joined += directory;
    return joined;
}

CTextString CurrentFolder() {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    return ec ? CTextString() : cwd.string();
}

CTextString BuildPathName(std::string_view name, std::string_view base,
                          std::string_view defaultExtension) {
    PathParts parts = SplitPath(name);
    const std::string_view dir = parts.directory;
    const bool network = dir.size() >= 2 && IsSeparator(dir[0]) && IsSeparator(dir[1]);
    if (!base.empty() && !network) {
        const bool baseHasDrive = HasDrive(base);
        if (parts.drive.empty() && baseHasDrive) {
            parts.drive = CTextString(base.substr(0, 2));
            if (parts.directory.empty()) {
                parts.directory = CTextString(base.substr(2));
            }
        } else if (parts.drive.empty()) {
            if (parts.directory.empty() || !IsSeparator(parts.directory.front())) {
                parts.directory = JoinFolders(base, parts.directory);
            }
        } else if (parts.directory.empty()) {
            parts.directory = CTextString(baseHasDrive ? base.substr(2) : base);
        }
    }
    if (parts.extension.empty() && !defaultExtension.empty()) {
        parts.extension = CTextString(defaultExtension);
    }
    return MakePath(parts.drive, parts.directory, parts.name, parts.extension);
}

} // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int d = FoldCase(a[i]) - FoldCase(b[i]);
        if (d != 0) {
            return d;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

PathParts SplitPath(std::string_view path) {
    PathParts parts;
    if (HasDrive(path)) {
        parts.drive = CTextString(path.substr(0, 2));
        path.remove_prefix(2);
    }
    const auto lastSeparator = path.find_last_of("\\/");
    if (lastSeparator != std::string_view::npos) {
        parts.directory = CTextString(path.substr(0, lastSeparator + 1));
        path.remove_prefix(lastSeparator + 1);
    }
    const auto dot = path.rfind('.');
    if (dot != std::string_view::npos) {
        parts.extension = CTextString(path.substr(dot));
        path = path.substr(0, dot);
    }
    parts.name = CTextString(path);
    return parts;
}

CTextString MakePath(std::string_view drive, std::string_view directory, std::string_view name,
                     std::string_view extension) {
    CTextString path;
    if (!drive.empty()) {
        path += drive.front();
        path += ':';
    }
    if (!directory.empty()) {
        path += directory;
        if (!IsSeparator(directory.back())) {
            path += SeparatorOf(directory);
        }
    }
    path += name;
    if (!extension.empty()) {
        if (extension.front() != '.') {
            path += '.';
        }
        path += extension;
    }
    return path;
}

CTextString GetFolder(std::string_view path) {
    const PathParts parts = SplitPath(path);
    return parts.drive + parts.directory;
}

CTextString GetFileTitle(std::string_view path) {
    const PathParts parts = SplitPath(path);
    return parts.extension.size() < 2 ? parts.name : parts.name + parts.extension;
}

CTextString GetBaseName(std::string_view path) {
    return SplitPath(path).name;
}

CTextString GetExtension(std::string_view path) {
    const PathParts parts = SplitPath(path);
    return parts.extension.size() < 2 ? CTextString() : parts.extension.substr(1);
}

CTextString ReplaceExtension(CTextString& path, std::string_view newExtension) {
    const PathParts parts = SplitPath(path);
    path = MakePath(parts.drive, parts.directory, parts.name, newExtension);
    return path;
}

CPathName::CPathName(std::string_view name, const char* baseFolder,
                     std::string_view defaultExtension)
    : CTextString(BuildPathName(name, baseFolder ? CTextString(baseFolder) : CurrentFolder(),
                                defaultExtension)) {}

CPathName::CPathName(std::string_view name, const CTextString& baseFolder,
                     std::string_view defaultExtension)
    : CTextString(BuildPathName(name, baseFolder, defaultExtension)) {}

} // namespace tonedesk
