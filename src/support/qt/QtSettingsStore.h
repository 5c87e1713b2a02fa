#pragma once

#include "support/Settings.h"

#include <memory>

class QSettings;

namespace tonedesk {

// The user's profile on QSettings: organisation "VANTO", application "Vanto Tonedesk". On
// Linux that is the INI file $XDG_CONFIG_HOME/VANTO/Vanto Tonedesk.conf.
//
// A profile that exists but is not a regular file, cannot be read, is larger than
// kMaxProfileSize, is not valid INI or has a value CheckProfileText calls an error is never
// used: LoadFailure() says why, reads give the defaults and writes leave it as it is.
// LoadWarnings() names what CheckProfileText found ignored in a profile that is used.
class QtSettingsStore final : public Settings {
public:
    QtSettingsStore();
    ~QtSettingsStore() override;

    std::optional<SettingsFailure> LoadFailure() const override { return failure_; }
    std::vector<std::string> LoadWarnings() const override { return warnings_; }

    std::int32_t GetInt(std::string_view section, std::string_view key,
                        std::int32_t defaultValue) const override;
    std::string GetText(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const override;
    void WriteText(std::string_view section, std::string_view key, std::string_view value) override;

private:
    std::unique_ptr<QSettings> settings_; // null when the profile could not be read
    std::optional<SettingsFailure> failure_;
    std::vector<std::string> warnings_;
};

} // namespace tonedesk
