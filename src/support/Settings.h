#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// Why a stored profile could not be read: the file and the reason.
struct SettingsFailure {
    std::string fileName;
    std::string reason;
};

// The per-user profile. Every read falls back to its default on any failure; a write's
// failure is ignored.
class Settings {
public:
    virtual ~Settings() = default;
    // Set when the profile exists but could not be read. Its reads then give only the
    // defaults, which are not the user's choices: section "PORTS" may turn the default port
    // ranges off, so nothing may be probed on such a profile.
    virtual std::optional<SettingsFailure> LoadFailure() const { return std::nullopt; }
    // What in the stored profile is ignored or taken otherwise than written, one text each
    // naming the file and the line, for the user.
    virtual std::vector<std::string> LoadWarnings() const { return {}; }
    virtual std::int32_t GetInt(std::string_view section, std::string_view key,
                                std::int32_t defaultValue) const = 0;
    virtual std::string GetText(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const = 0;
    virtual void WriteText(std::string_view section, std::string_view key,
                           std::string_view value) = 0;
};

// The section of every tuning value and remembered folder.
inline constexpr std::string_view kEnvSection = "ENV";
// The section that maps COM numbers to device paths.
inline constexpr std::string_view kPortsSection = "PORTS";

// Largest "RETRY" the link uses: more would retry one unanswered command for hours.
inline constexpr std::int32_t kMaxRetry = 100;

// One key of section "ENV" with its default.
struct SettingKey {
    std::string_view name;
    bool isText;
    std::int32_t intDefault;
    std::string_view textDefault;
};

// Every key of section "ENV" that the program reads, with its default.
std::span<const SettingKey> EnvKeys();
// The key of that name, or null.
const SettingKey* FindEnvKey(std::string_view name);

// Reads of section "ENV" with the defaults of the table (the key must be in it).
std::int32_t EnvInt(const Settings& settings, std::string_view key);
std::string EnvText(const Settings& settings, std::string_view key);
// The 32-bit word a profile store reads from a value's text: a number in any base strtoll knows
// or in binary ("0b101"), from INT32_MIN to UINT32_MAX, an unsigned one keeping its bit pattern.
// Nothing for any other text (empty, trailing characters, out of range).
std::optional<std::int32_t> ProfileWord(std::string_view text);
// The number of an "ENV" key as written, beyond the 32 bits of GetInt: "3000000000" stays
// positive, "-1" negative. A text that is no number gives EnvInt's reading (the default when
// the key is absent).
std::int64_t EnvWideInt(const Settings& settings, std::string_view key);

// A profile held in memory, for tests and for tools that must not touch the user's profile.
class MemorySettings final : public Settings {
public:
    std::int32_t GetInt(std::string_view section, std::string_view key,
                        std::int32_t defaultValue) const override;
    std::string GetText(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const override;
    void WriteText(std::string_view section, std::string_view key, std::string_view value) override;

    void SetInt(std::string_view section, std::string_view key, std::int32_t value);
    // The stored text, or nothing when the key is absent.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

private:
    std::map<std::string, std::string, std::less<>> values_; // "section/key" -> text
};

} // namespace tonedesk
