#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// Length of a command of a settings file: four characters of code, four of parameter.
inline constexpr std::size_t kSettingsCommandLength = 8;

// What a settings file holds for the connected projector.
struct SettingsFileContent {
    bool forThisProjector = false;     // the first line names the projector
    std::vector<std::string> commands; // 9 bytes each: eight characters and CR, in file order
    int shortLines = 0;                // lines of 1..7 characters, skipped
};

// Reads a settings file's text (up to a NUL or the end-of-file mark 0x1A). Its first line must
// be the projector's name or a leading part of it; every further line of at least eight
// characters gives one command of its first eight characters and a CR. Empty lines are
// skipped; shorter lines are skipped and counted.
SettingsFileContent ParseSettingsFile(std::string_view text, std::string_view projectorName);

} // namespace tonedesk
