#include "support/ProfileCheck.h"

#include "support/Settings.h"

#include <cstdint>
#include <cstdlib>
#include <map>

namespace tonedesk {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr int kMaxComNumber = 255;

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A value as the INI reader takes it: a quoted text up to its closing quote, otherwise the text
// before a comment (";").
std::string_view ValueText(std::string_view value) {
    value = Trimmed(value);
    if (value.starts_with('"')) {
        const auto close = value.find('"', 1);
        return value.substr(1, close == std::string_view::npos ? value.npos : close - 1);
    }
    return Trimmed(value.substr(0, value.find(';')));
}

// The COM number of a key "COM<n>" written without leading zeros, or nothing.
std::optional<long> ComNumber(std::string_view key) {
    if (!key.starts_with("COM") || key.size() == 3 || key.size() > 12 ||
        key.find_first_not_of("0123456789", 3) != std::string_view::npos ||
        (key[3] == '0' && key.size() > 4)) {
        return std::nullopt;
    }
    return std::strtol(std::string(key.substr(3)).c_str(), nullptr, 10);
}

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

void CheckPortKey(std::string_view key, std::string_view value, int line,
                  ProfileFindings& findings) {
    if (key == "SYSTEM") {
        if (value != "0" && value != "1" && !findings.error) {
            findings.error = At(line) + "SYSTEM in [PORTS] is '" + std::string(value) +
                             "'; it must be 0 (only the listed ports) or 1 (the default ports too)";
        }
        return;
    }
    const std::optional<long> com = ComNumber(key);
    if (!com) {
        findings.warnings.push_back(At(line) + std::string(key) +
                                    " in [PORTS] is ignored: its keys are SYSTEM and COM1 to COM" +
                                    std::to_string(kMaxComNumber));
    } else if (*com < 1 || *com > kMaxComNumber) {
        findings.warnings.push_back(At(line) + std::string(key) +
                                    " in [PORTS] is ignored: COM numbers run from 1 to " +
                                    std::to_string(kMaxComNumber));
    }
}

} // namespace

ProfileFindings CheckProfileText(std::string_view text) {
    ProfileFindings findings;
    if (text.starts_with(kUtf8Mark)) {
        text.remove_prefix(kUtf8Mark.size());
    }
    std::string section = "General"; // the section of keys before the first heading
    std::map<std::string, int, std::less<>> firstLine; // "section/key" -> line
    for (int line = 1; !text.empty(); ++line) {
        const auto lineEnd = text.find('\n');
        std::string_view content = Trimmed(text.substr(0, lineEnd));
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        if (content.ends_with('\r')) {
            content = Trimmed(content.substr(0, content.size() - 1));
        }
        if (content.empty() || content.starts_with(';') || content.starts_with('#')) {
            continue;
        }
        if (content.starts_with('[')) {
            section = Trimmed(content.substr(1, content.find(']') - 1));
            continue;
        }
        const auto equals = content.find('=');
        if (equals == std::string_view::npos) {
            continue; // the store's parser judges what is no key
        }
        const std::string_view key = Trimmed(content.substr(0, equals));
        const std::string_view value = ValueText(content.substr(equals + 1));
        const auto [first, isNew] = firstLine.try_emplace(section + "/" + std::string(key), line);
        if (!isNew) {
            findings.warnings.push_back(At(line) + std::string(key) + " in [" + section +
                                        "] is given again (first on line " +
                                        std::to_string(first->second) + "); the last one counts");
        }
        if (section == kPortsSection) {
            CheckPortKey(key, value, line, findings);
        } else if (section == kEnvSection && key == "RETRY") {
            if (const auto retry = ProfileWord(value); retry && *retry > kMaxRetry) {
                findings.warnings.push_back(At(line) + "RETRY=" + std::string(value) +
                                            " in [ENV] is more than " + std::to_string(kMaxRetry) +
                                            ": " + std::to_string(kMaxRetry) + " is used");
            }
        }
    }
    return findings;
}

} // namespace tonedesk
