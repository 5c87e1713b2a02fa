#pragma once

#include "support/KeyValueTable.h"

#include <cstdint>

namespace tonedesk {

// The last value the projector answered for each command code (key: CodeKey of the code).
using StatusTable = KeyValueTable;

// No value known; sent as "????".
inline constexpr std::int32_t kNoValue = 2147483647;

} // namespace tonedesk
