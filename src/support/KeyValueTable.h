#pragma once

#include "support/SortedTable.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tonedesk {

// A command code's four bytes read as one little-endian 32-bit key ("POWR" -> 0x52574F50).
constexpr std::uint32_t CodeKey(std::string_view code) {
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < 4 && i < code.size(); ++i) {
        key |= static_cast<std::uint32_t>(static_cast<unsigned char>(code[i])) << (8 * i);
    }
    return key;
}

struct KeyValueEntry {
    std::uint32_t key;
    std::int32_t value;
};

struct KeyValueTraits {
    static std::uint32_t KeyOf(const KeyValueEntry& e) { return e.key; }
    static int Compare(std::uint32_t a, std::uint32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }
    static KeyValueEntry Make(std::uint32_t key) { return {key, 0}; }
};

// A table from unsigned 32-bit keys (control ids, command codes) to signed 32-bit values,
// ordered by key as unsigned numbers.
using KeyValueTable = SortedTable<KeyValueEntry, std::uint32_t, KeyValueTraits>;

} // namespace tonedesk
