#include "support/FolderScan.h"

#include "support/PathName.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace tonedesk {

namespace {

namespace fs = std::filesystem;

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// "*" matches any run of characters, "?" any one; letters match without case.
bool MatchesPattern(std::string_view name, std::string_view pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starAt = std::string_view::npos; // pattern index after the last "*"
    std::size_t starName = 0;                    // name index that "*" has swallowed up to
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = ++p;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// "." and ".." and every name beginning with two dots.
bool IsDotName(std::string_view name) {
    return !name.empty() && name[0] == '.' && (name.size() == 1 || name[1] == '.');
}

std::uint32_t AttributesOf(const fs::directory_entry& entry) {
    std::error_code ec;
    fs::file_status st = entry.status(ec);
    if (ec || st.type() == fs::file_type::not_found) {
        st = entry.symlink_status(ec); // a dangling link shows as itself
    }
    std::uint32_t attributes = 0;
    if (fs::is_directory(st)) {
        attributes |= kAttrDirectory;
    }
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) {
        attributes |= kAttrReadOnly;
    }
    return attributes != 0 ? attributes : kAttrNormal;
}

} // namespace

int ScanFolder(const std::string& folder, const std::string& pattern,
               std::uint32_t excludedAttributes, std::vector<FolderEntry>& entries) {
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) {
        return 0;
    }
    const std::size_t first = entries.size();
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            break; // keep what was read before the folder failed
        }
        std::string name = it->path().filename().string();
        if (IsDotName(name) || !MatchesPattern(name, pattern)) {
            continue;
        }
        const std::uint32_t attributes = AttributesOf(*it);
        if ((attributes & excludedAttributes) != 0) {
            continue;
        }
        entries.push_back(FolderEntry{std::move(name), attributes});
    }
    // Names that differ only in case (possible here, not on the original platform) keep a
    // fixed order among themselves.
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(first), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) {
                  const int c = CompareNoCase(a.name, b.name);
                  return c != 0 ? c < 0 : a.name < b.name;
              });
    return static_cast<int>(entries.size() - first);
}

} // namespace tonedesk
