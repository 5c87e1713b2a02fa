#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tonedesk {

// A vector of entries kept sorted by their keys, the keys unique under the order. Traits gives
//   static KeyView KeyOf(const Entry&);            the entry's key
//   static int Compare(KeyView a, KeyView b);      <0, 0 or >0
//   static Entry Make(KeyView key);                a new entry with value 0
// Entries are plain values: one found or added stays valid only until the next insertion, so
// keep the key, not the entry, across calls that may insert.
template <typename EntryType, typename KeyView, typename Traits> class SortedTable {
public:
    using Entry = EntryType;

    // The entry of key, or null.
    Entry* Find(KeyView key) {
        const auto it = LowerBound(key);
        return it != entries_.end() && Traits::Compare(Traits::KeyOf(*it), key) == 0 ? &*it
                                                                                     : nullptr;
    }
    const Entry* Find(KeyView key) const { return const_cast<SortedTable*>(this)->Find(key); }

    // The entry of key; a missing key is inserted with value 0 at its sorted place.
    Entry& FindOrAdd(KeyView key) {
        const auto it = LowerBound(key);
        if (it != entries_.end() && Traits::Compare(Traits::KeyOf(*it), key) == 0) {
            return *it;
        }
        return *entries_.insert(it, Traits::Make(key));
    }

    std::size_t Count() const { return entries_.size(); }
    const std::vector<Entry>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

private:
    typename std::vector<Entry>::iterator LowerBound(KeyView key) {
        return std::lower_bound(
            entries_.begin(), entries_.end(), key,
            [](const Entry& e, KeyView k) { return Traits::Compare(Traits::KeyOf(e), k) < 0; });
    }

    std::vector<Entry> entries_;
};

} // namespace tonedesk
