#include "link/SettingsFile.h"

#include "support/TextScan.h"

namespace tonedesk {

SettingsFileContent ParseSettingsFile(std::string_view text, std::string_view projectorName) {
    SettingsFileContent content;
    // The scanner works on NUL-terminated text.
    const std::string copy(text);
    const char* p = copy.c_str();
    if (*p == '\0' || *p == '\x1a') {
        return content;
    }
    const char* lineEnd = nullptr;
    const char* next = NextLine(p, &lineEnd);
    const std::string_view name(p, static_cast<std::size_t>(lineEnd - p));
    if (name.empty() || name.size() > projectorName.size() ||
        projectorName.substr(0, name.size()) != name) {
        return content;
    }
    content.forThisProjector = true;
    for (p = next; *p != '\0' && *p != '\x1a'; p = next) {
        next = NextLine(p, &lineEnd);
        const auto length = static_cast<std::size_t>(lineEnd - p);
        if (length == 0) {
            continue;
        }
        if (length < kSettingsCommandLength) {
            ++content.shortLines;
            continue;
        }
        std::string command(p, kSettingsCommandLength);
        command += '\r';
        content.commands.push_back(std::move(command));
    }
    return content;
}

} // namespace tonedesk
