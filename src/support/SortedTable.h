#pragma once

#include <cstddef>
#include <set>
#include <vector>

namespace tonedesk {

// Entries kept in the order of their keys, the keys unique under the order. Traits gives
//   static KeyView KeyOf(const Entry&);            the entry's key
//   static int Compare(KeyView a, KeyView b);      <0, 0 or >0
//   static Entry Make(KeyView key);                a new entry with value 0
// Finding and adding take logarithmic time, so a table filled with many keys in any order grows
// in n log n (a sorted array would move half its entries on every insertion). An entry found or
// added stays where it is until the table is cleared; only its key must not change.
template <typename EntryType, typename KeyView, typename Traits> class SortedTable {
public:
    using Entry = EntryType;

    // The entry of key, or null.
    Entry* Find(KeyView key) {
        const auto it = entries_.find(key);
        return it != entries_.end() ? &it->entry : nullptr;
    }
    const Entry* Find(KeyView key) const { return const_cast<SortedTable*>(this)->Find(key); }

    // The entry of key; a missing key is inserted with value 0 at its sorted place.
    Entry& FindOrAdd(KeyView key) {
        auto it = entries_.lower_bound(key);
        if (it == entries_.end() || Traits::Compare(Traits::KeyOf(it->entry), key) != 0) {
            it = entries_.insert(it, Slot{Traits::Make(key)});
        }
        return it->entry;
    }

    std::size_t Count() const { return entries_.size(); }
    // A copy of the entries in key order.
    std::vector<Entry> Entries() const {
        std::vector<Entry> entries;
        entries.reserve(entries_.size());
        for (const Slot& slot : entries_) {
            entries.push_back(slot.entry);
        }
        return entries;
    }
    void Clear() { entries_.clear(); }

private:
    // The set orders by key alone, so the rest of an entry may change in place.
    struct Slot {
        mutable Entry entry;
    };
    struct Less {
        using is_transparent = void;
        bool operator()(const Slot& a, const Slot& b) const {
            return Traits::Compare(Traits::KeyOf(a.entry), Traits::KeyOf(b.entry)) < 0;
        }
        bool operator()(const Slot& a, KeyView b) const {
            return Traits::Compare(Traits::KeyOf(a.entry), b) < 0;
        }
        bool operator()(KeyView a, const Slot& b) const {
            return Traits::Compare(a, Traits::KeyOf(b.entry)) < 0;
        }
    };

    std::set<Slot, Less> entries_;
};

} // namespace tonedesk
