#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// A table from names to signed 32-bit values, kept sorted by name compared without regard to
// case (CompareNoCase): "Res.DLL" and "res.dll" are one name, and the table keeps the spelling
// it was first given. An entry found or added stays valid only until the next insertion.
class NameTable {
public:
    struct Entry {
        std::string name;
        std::int32_t value;
    };

    // The entry of name, or null.
    Entry* Find(std::string_view name);
    const Entry* Find(std::string_view name) const;
    // The entry of name; a missing name is inserted with value 0 at its sorted place.
    Entry& FindOrAdd(std::string_view name);

    std::size_t Count() const { return entries_.size(); }
    const std::vector<Entry>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

private:
    std::vector<Entry> entries_;
};

} // namespace tonedesk
