#pragma once

#include "support/Settings.h"

#include <memory>

class QSettings;

namespace tonedesk {

// The user's profile on QSettings: organisation "VANTO", application "Vanto Tonedesk". On
// Linux that is the INI file $XDG_CONFIG_HOME/VANTO/Vanto Tonedesk.conf.
class QtSettingsStore final : public Settings {
public:
    QtSettingsStore();
    ~QtSettingsStore() override;

    std::int32_t GetInt(std::string_view section, std::string_view key,
                        std::int32_t defaultValue) const override;
    std::string GetText(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const override;
    void WriteText(std::string_view section, std::string_view key, std::string_view value) override;

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace tonedesk
