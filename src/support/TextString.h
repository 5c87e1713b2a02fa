#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonedesk {

// The program's growable memory block and string: standard containers. Running out of memory
// throws std::bad_alloc, which nothing catches.
using ByteBuffer = std::vector<std::uint8_t>;
using CTextString = std::string;

} // namespace tonedesk
