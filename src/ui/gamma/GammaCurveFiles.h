#pragma once

#include "color/CalibrationCurve.h"
#include "gamma/GammaTable.h"

#include <optional>
#include <string>

namespace tonedesk {

class Notifier;
class Settings;
class UserPrompts;

// The folder the gamma editor's file dialogs start in (GAMMAPATH of the profile).
std::string GammaFolder(const Settings& profile);
// Makes the folder of a chosen file the one the next dialog starts in.
void RememberGammaFolder(Settings& profile, const std::string& chosenPath);

// The gamma editor's import and export of curve files: gamma files, .cal files and ICC
// profiles, told apart by their extension. The files are chosen in the program's file dialog,
// starting in the gamma files' folder (GAMMAPATH), which follows the user's choice.
class CGammaCurveFiles {
public:
    // All three must outlive this object.
    CGammaCurveFiles(Settings& profile, Notifier& notifier, UserPrompts& prompts);

    // The filter text of the curve files (the string table's TAB format).
    static std::string FilterText();

    // Asks for a file and reads the three level tables of its curves. Nothing when the user
    // cancelled or the file could not be read (the user was told why). What was read with
    // changes (values clamped, lines missing) is shown once.
    std::optional<ChannelLevels> Import();
    // Asks for a name and writes the bank's levels there, in the kind of file its extension
    // names. False when the user cancelled, refused to replace an existing file, or the file
    // could not be written (the user was told why).
    bool Export(const GammaTable& bank);

private:
    std::optional<std::string> Choose(bool open);

    Settings& profile_;
    Notifier& notifier_;
    UserPrompts& prompts_;
};

} // namespace tonedesk
