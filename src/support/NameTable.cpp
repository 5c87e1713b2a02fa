#include "support/NameTable.h"

#include "support/PathName.h"

#include <algorithm>

namespace tonedesk {

namespace {
bool NameLess(const NameTable::Entry& e, std::string_view name) {
    return CompareNoCase(e.name, name) < 0;
}
} // namespace

NameTable::Entry* NameTable::Find(std::string_view name) {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), name, NameLess);
    return it != entries_.end() && CompareNoCase(it->name, name) == 0 ? &*it : nullptr;
}

const NameTable::Entry* NameTable::Find(std::string_view name) const {
    return const_cast<NameTable*>(this)->Find(name);
}

NameTable::Entry& NameTable::FindOrAdd(std::string_view name) {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), name, NameLess);
    if (it != entries_.end() && CompareNoCase(it->name, name) == 0) {
        return *it;
    }
    return *entries_.insert(it, Entry{std::string(name), 0});
}

} // namespace tonedesk
