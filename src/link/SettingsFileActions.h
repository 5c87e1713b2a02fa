#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tonedesk {

class CProjectorLink;
class Notifier;
class Settings;

// Message ids of the string table used when a settings file is loaded.
inline constexpr int kMessageOtherProjector = 4098;
inline constexpr int kMessageShortSettingsLines = 4110;

// Asks the user for a settings file, starting at `initialPath`: the chosen path, or nothing when
// the user cancelled.
using SettingsFileChooser =
    std::function<std::optional<std::string>(const std::string& initialPath)>;

// Loads a settings file into the projector. Asks for a file, starting in the remembered folder
// OUTPUTPATH, until one can be read and names the connected projector, or the user cancels; every
// chosen file's folder becomes OUTPUTPATH, even when the file is refused. A file that cannot be
// read is reported as a file error, a file of another projector as message 4098, and both ask
// again. The file's commands are queued on the link as Plain commands without pause, in file
// order; skipped short lines are then reported once (message 4110 with their number).
void OpenSettingsFile(CProjectorLink& link, Settings& settings, Notifier& notifier,
                      std::string_view projectorName, const SettingsFileChooser& choose);

// Prepares saving the projector's settings into the file `path`: remembers its folder as
// OUTPUTPATH and rewinds both save command lists of the model, so that the save starts with
// their first commands.
void PrepareSettingsSave(CProjectorLink& link, Settings& settings, const std::string& path);

} // namespace tonedesk
