#include "support/NameTable.h"

#include "support/PathName.h"

namespace tonedesk {

int NameTraits::Compare(std::string_view a, std::string_view b) {
    return CompareNoCase(a, b);
}

} // namespace tonedesk
