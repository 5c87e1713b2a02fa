#pragma once

#include "support/SortedTable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tonedesk {

struct NameEntry {
    std::string name;
    std::int32_t value;
};

struct NameTraits {
    static std::string_view KeyOf(const NameEntry& e) { return e.name; }
    static int Compare(std::string_view a, std::string_view b); // CompareNoCase
    static NameEntry Make(std::string_view name) { return {std::string(name), 0}; }
};

// A table from names to signed 32-bit values, kept sorted by name compared without regard to
// case (CompareNoCase): "Res.DLL" and "res.dll" are one name, and the table keeps the spelling
// it was first given.
using NameTable = SortedTable<NameEntry, std::string_view, NameTraits>;

} // namespace tonedesk
