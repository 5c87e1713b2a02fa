#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// Largest profile the program reads: a profile written by hand holds a few dozen lines.
inline constexpr std::size_t kMaxProfileSize = std::size_t{1} << 20; // 1 MiB

// What is wrong with the text of a profile (an INI file) beyond what its store's own parser sees.
struct ProfileFindings {
    std::optional<std::string> error;  // why the profile must not be used at all
    std::vector<std::string> warnings; // what in it is ignored or taken otherwise than written
};

// Checks the text of a profile, a UTF-8 byte order mark passed over. An error: key "SYSTEM" of
// section "PORTS" with a value other than 0 or 1 (the store would turn the default port ranges on
// against the user's wish). Warnings, each naming its line: a key given again in its section (the
// last one counts), a key of section "PORTS" that names no COM port from 1 to 255, and a "RETRY"
// of section "ENV" above kMaxRetry (kMaxRetry is used).
ProfileFindings CheckProfileText(std::string_view text);

} // namespace tonedesk
