#pragma once

#include "ui/widgets/FileSelectDialog.h"

#include <functional>
#include <optional>
#include <string>

namespace tonedesk {

class UserPrompts;

// The file name and layout the user chose for saving a gamma file.
struct GammaSaveChoice {
    std::string path;
    bool fourColumns = true; // the first file type of the filter: four columns
};

// Asks for the name to save a gamma file under: the filter text and the initial path in, the
// choice out (nothing when the user cancelled). An existing file is only chosen once the user
// agreed to replace it.
using GammaSaveChooser = std::function<std::optional<GammaSaveChoice>(
    const std::string& filterText, const std::string& initialPath)>;

// True when `path` names no existing file, or the user agreed to replace it (question 4104 with
// the file's name and extension).
bool ConfirmGammaOverwrite(const std::string& path, UserPrompts& prompts);

// The save dialog of the gamma files: keeps itself open while the user refuses to replace an
// existing file.
class CGammaSaveDialog : public CFileSelectDialog {
    Q_OBJECT
public:
    explicit CGammaSaveDialog(UserPrompts& prompts, QWidget* parent = nullptr);

protected:
    int OnFileNameOK() override;

private:
    UserPrompts& prompts_;
};

// The program's chooser: CGammaSaveDialog, with its question asked through `prompts`.
GammaSaveChooser GammaSaveDialogChooser(UserPrompts& prompts);
// A chooser made of the prompts alone: a save dialog, and the question asked after it; a name
// the user refuses to replace brings the file dialog back.
GammaSaveChooser PromptedGammaSaveChooser(UserPrompts& prompts);

} // namespace tonedesk
