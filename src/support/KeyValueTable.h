#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tonedesk {

// A command code's four bytes read as one little-endian 32-bit key ("POWR" -> 0x52574F50).
constexpr std::uint32_t CodeKey(std::string_view code) {
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < 4 && i < code.size(); ++i) {
        key |= static_cast<std::uint32_t>(static_cast<unsigned char>(code[i])) << (8 * i);
    }
    return key;
}

// A table from unsigned 32-bit keys to signed 32-bit values, kept sorted by key. Entries are
// plain values: an entry found or added stays valid only until the next insertion, so keep
// the key, not the entry, across calls that may insert.
class KeyValueTable {
public:
    struct Entry {
        std::uint32_t key;
        std::int32_t value;
    };

    // The entry of key, or null.
    Entry* Find(std::uint32_t key);
    const Entry* Find(std::uint32_t key) const;
    // The entry of key; a missing key is inserted with value 0 at its sorted place.
    Entry& FindOrAdd(std::uint32_t key);

    std::size_t Count() const { return entries_.size(); }
    const std::vector<Entry>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

private:
    std::vector<Entry> entries_;
};

} // namespace tonedesk
