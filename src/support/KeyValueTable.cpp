#include "support/KeyValueTable.h"

#include <algorithm>

namespace tonedesk {

namespace {
bool KeyLess(const KeyValueTable::Entry& e, std::uint32_t key) {
    return e.key < key;
}
} // namespace

KeyValueTable::Entry* KeyValueTable::Find(std::uint32_t key) {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), key, KeyLess);
    return it != entries_.end() && it->key == key ? &*it : nullptr;
}

const KeyValueTable::Entry* KeyValueTable::Find(std::uint32_t key) const {
    return const_cast<KeyValueTable*>(this)->Find(key);
}

KeyValueTable::Entry& KeyValueTable::FindOrAdd(std::uint32_t key) {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), key, KeyLess);
    if (it != entries_.end() && it->key == key) {
        return *it;
    }
    return *entries_.insert(it, Entry{key, 0});
}

} // namespace tonedesk
