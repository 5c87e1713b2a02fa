// Fuzz target of the settings-file reader (see common/FuzzDriver.h): the text is read for a few
// projector names, and what it gives is saved and read again.
#include "common/FuzzDriver.h"
#include "link/SettingsFile.h"
#include "link/SettingsSave.h"

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

using namespace tonedesk;
using tonedesk::test::FuzzCheck;

namespace {

bool EndsLine(char c) {
    return c == '\r' || c == '\n' || c == '\0' || c == '\x1a';
}

// A set command's value, as its four parameter columns give it ("%4d"); nothing for a query or
// anything else.
std::optional<std::int32_t> SetValue(std::string_view parameter) {
    const std::size_t digits = parameter.find_first_not_of(' ');
    std::int32_t value = 0;
    if (digits == std::string_view::npos) {
        return std::nullopt;
    }
    const char* end = parameter.data() + parameter.size();
    const auto [stop, error] = std::from_chars(parameter.data() + digits, end, value);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

void CheckFile(std::string_view text, std::string_view name) {
    const SettingsFileContent content = ParseSettingsFile(text, name);
    const std::string_view firstLine = text.substr(
        0, std::min(text.size(), text.find_first_of(std::string_view("\r\n\0\x1a", 4))));
    FuzzCheck(content.forThisProjector == (!firstLine.empty() && name.starts_with(firstLine)),
              "the first line names the projector");
    FuzzCheck(content.forThisProjector || (content.commands.empty() && content.shortLines == 0),
              "nothing read from another projector's file");
    std::vector<SavedSetting> settings;
    for (const std::string& command : content.commands) {
        FuzzCheck(command.size() == kSettingsCommandLength + 1 && command.back() == '\r',
                  "command of nine bytes");
        for (std::size_t i = 0; i < kSettingsCommandLength; ++i) {
            FuzzCheck(!EndsLine(command[i]), "command within its line");
        }
        if (const auto value = SetValue(std::string_view(command).substr(4, 4))) {
            settings.push_back({command.substr(0, 4), *value});
        }
    }
    if (name.empty()) {
        return;
    }
    // The save writes set commands that the reader gives back unchanged.
    const SettingsFileContent saved = ParseSettingsFile(FormatSettingsFile(name, settings), name);
    FuzzCheck(saved.forThisProjector && saved.shortLines == 0, "saved file for this projector");
    std::vector<std::string> expected;
    for (const SavedSetting& setting : settings) {
        if (std::string command = ValueCommand(setting.code, setting.value); !command.empty()) {
            expected.push_back(std::move(command));
        }
    }
    FuzzCheck(saved.commands == expected, "saved commands read back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The name a projector could have answered: the printable start of the text.
    std::string answered;
    for (std::size_t i = 0; i < size && answered.size() < 32 && data[i] >= 32; ++i) {
        answered += static_cast<char>(data[i]);
    }
    for (std::string_view name :
         {std::string_view("DEMO-100"), std::string_view(), std::string_view(answered)}) {
        CheckFile(text, name);
    }
    return 0;
}

std::vector<std::string> tonedesk::test::FuzzTokens() {
    return {"DEMO-100", "\r\n",     "\r",       "\n",
            "\n\r",     "\r\r",     "\x1a",     std::string(1, '\0'),
            "MOUT   1", "POWR????", "BRIG-999", "CONT9999",
            "GAMM",     "1234567",  "  ",       "-",
            "\t"};
}
