#include "support/FileFilter.h"

#include "support/PathName.h"

namespace tonedesk {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    return CompareNoCase(a, b) == 0;
}

} // namespace

std::vector<FileFilter> ParseFilterText(std::string_view text) {
    std::vector<FileFilter> filters;
    std::string field;
    std::string description;
    bool inPattern = false;
    for (const char c : text) {
        if (c == '\0') {
            break;
        }
        if (c != '\t') {
            field += c;
            continue;
        }
        if (inPattern) {
            filters.push_back({description, field});
        } else {
            description = field;
        }
        field.clear();
        inPattern = !inPattern;
    }
    return filters;
}

std::string PatternExtension(const std::string& pattern, const std::string& preferred) {
    const std::string ext = pattern.size() > 2 ? pattern.substr(2) : std::string();
    return !ext.empty() && ext[0] == '*' ? preferred : ext;
}

std::string CompleteChosenPath(std::string path, const std::vector<std::string>& patterns,
                               const std::string& preferred, int fileType) {
    std::string typed = GetExtension(path);
    if (!preferred.empty() && !typed.empty()) {
        for (const std::string& pattern : patterns) {
            const std::string ext = PatternExtension(pattern, preferred);
            if (!ext.empty() && EqualNoCase(ext, typed)) {
                typed.clear();
                break;
            }
        }
    }
    std::string selected;
    if (fileType >= 1 && static_cast<std::size_t>(fileType) <= patterns.size()) {
        selected = PatternExtension(patterns[fileType - 1], preferred);
    } else if (!preferred.empty() && preferred[0] == '*') {
        selected = preferred;
    }
    if (!selected.empty() && selected[0] == '*') {
        // An "all files" type without a preferred extension keeps the name as typed: a
        // wildcard is no extension.
        return path;
    }
    if (!typed.empty()) {
        if (!preferred.empty() && !selected.empty()) {
            path.append(1, '.').append(selected);
        }
        return path;
    }
    ReplaceExtension(path, selected);
    return path;
}

} // namespace tonedesk
