#include "support/Settings.h"

#include <array>
#include <cerrno>
#include <cstdlib>

namespace tonedesk {

namespace {

constexpr std::array kKeys{
    SettingKey{"REC_TIMEOUT_ON", false, 10000, ""},
    SettingKey{"REC_TIMEOUT_OFF", false, 10000, ""},
    SettingKey{"REC_TIMEOUT_ERR", false, 250, ""},
    SettingKey{"POWERON_TIME", false, 4800, ""},
    SettingKey{"POWERON_WAIT", false, 30000, ""},
    SettingKey{"RETRY", false, 3, ""},
    SettingKey{"RETRY2", false, 2, ""},
    SettingKey{"POWERON_RETRY", false, 6, ""},
    SettingKey{"GAMMA_MIN_DIFF", false, 0, ""},
    SettingKey{"GAMMA_MIN_POINTS", false, 8, ""},
    SettingKey{"GAMMA_RETRYCNT", false, 256, ""},
    SettingKey{"GAMMAPATH", true, 0, ""},
    SettingKey{"OUTPUTPATH", true, 0, ""},
};

std::string Join(std::string_view section, std::string_view key) {
    std::string k(section);
    k += '/';
    k += key;
    return k;
}

} // namespace

std::span<const SettingKey> EnvKeys() {
    return kKeys;
}

const SettingKey* FindEnvKey(std::string_view name) {
    for (const auto& k : kKeys) {
        if (k.name == name) {
            return &k;
        }
    }
    return nullptr;
}

std::int32_t EnvInt(const Settings& settings, std::string_view key) {
    const SettingKey* k = FindEnvKey(key);
    return settings.GetInt(kEnvSection, key, k ? k->intDefault : 0);
}

std::string EnvText(const Settings& settings, std::string_view key) {
    const SettingKey* k = FindEnvKey(key);
    return settings.GetText(kEnvSection, key, k ? k->textDefault : std::string_view{});
}

std::optional<std::int32_t> ProfileWord(std::string_view text) {
    std::string digits(text);
    // The store reads binary too ("0b101", "-0B11"), which strtoll does not know.
    const std::size_t sign = digits.starts_with('+') || digits.starts_with('-') ? 1 : 0;
    int base = 0;
    if (digits.size() > sign + 2 && digits[sign] == '0' &&
        (digits[sign + 1] == 'b' || digits[sign + 1] == 'B')) {
        if (digits[sign + 2] != '0' && digits[sign + 2] != '1') {
            return std::nullopt;
        }
        digits.erase(sign, 2);
        base = 2;
    }
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(digits.c_str(), &end, base);
    if (digits.empty() || *end != '\0' || errno != 0 || n < INT32_MIN || n > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

std::int64_t EnvWideInt(const Settings& settings, std::string_view key) {
    const std::string text = settings.GetText(kEnvSection, key, {});
    const auto first = text.find_first_not_of(" \t");
    if (first != std::string::npos) {
        const char* start = text.c_str() + first;
        char* end = nullptr;
        errno = 0;
        const long long n = std::strtoll(start, &end, 0);
        // Out of the 64-bit range, strtoll holds the value at the limit of its sign.
        if (end != start && *end == '\0' && (errno == 0 || errno == ERANGE)) {
            return n;
        }
    }
    return EnvInt(settings, key);
}

std::int32_t MemorySettings::GetInt(std::string_view section, std::string_view key,
                                    std::int32_t defaultValue) const {
    const auto v = Find(section, key);
    if (!v || v->empty()) {
        return defaultValue;
    }
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(v->c_str(), &end, 0);
    if (end == v->c_str() || *end != '\0' || errno != 0) {
        return defaultValue;
    }
    // The store keeps 32-bit words: an unsigned value keeps its bit pattern.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

std::string MemorySettings::GetText(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const auto v = Find(section, key);
    return v ? *v : std::string(defaultValue);
}

void MemorySettings::WriteText(std::string_view section, std::string_view key,
                               std::string_view value) {
    values_[Join(section, key)] = std::string(value);
}

void MemorySettings::SetInt(std::string_view section, std::string_view key, std::int32_t value) {
    values_[Join(section, key)] = std::to_string(value);
}

std::optional<std::string> MemorySettings::Find(std::string_view section,
                                                std::string_view key) const {
    const auto it = values_.find(Join(section, key));
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

} // namespace tonedesk
