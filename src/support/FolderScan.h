#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonedesk {

// Attribute bits of a folder entry.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrNormal = 0x80;

struct FolderEntry {
    std::string name;         // the entry's name within the folder
    std::uint32_t attributes; // kAttr* bits: kAttrDirectory for a folder, kAttrReadOnly when the
                              // owner may not write it, kAttrNormal when neither applies
};

// Appends to `entries` the entries of `folder` whose names match the wildcard `pattern`
// ("*" and "?", letters compared without case, so "*.ini" matches D.INI) and whose attributes
// share no bit with `excludedAttributes`; names "." and ".." and names beginning with two dots
// are left out. The appended entries are sorted by name, compared without case. Returns the
// number of entries appended; 0 when the folder cannot be read. The process's current
// directory is not changed.
int ScanFolder(const std::string& folder, const std::string& pattern,
               std::uint32_t excludedAttributes, std::vector<FolderEntry>& entries);

} // namespace tonedesk
