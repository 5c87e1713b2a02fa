#pragma once

#include "model/ModelInstall.h"

#include <string>

namespace tonedesk {

class UserPrompts;

// String resources of the model installation.
inline constexpr int kStringModelFilter = 2058;           // filter of the file dialog
inline constexpr int kStringModelInstallCaption = 2059;   // title and message-box caption
inline constexpr int kStringModelMissingGamma = 4106;     // no gamma folder with both files
inline constexpr int kStringModelAlreadyInstalled = 4107; // replace? (%s: the model's name)
inline constexpr int kStringModelInstallFailed = 4108;
inline constexpr int kStringModelInstalled = 4109;     // %s: the files installed, a line each
inline constexpr int kStringFileExists = 4104;         // replace? (%s: the file's name)
inline constexpr int kStringModelMissingBundle = 4120; // %s: the bundle a tab names

// Installs a model file chosen by the user, with its gamma files, into the program's folder, and
// tells the user how it went. Every question and message carries the caption of string 2059.
class CModelInstaller {
public:
    // `programFolder` empty: the folder of the running program.
    explicit CModelInstaller(UserPrompts& prompts, std::string programFolder = {});

    // Asks for the model file and installs it. True when a model was installed; false when the
    // user cancelled or declined, or the installation failed (the user has been told).
    bool Run();

private:
    UserPrompts& prompts_;
    std::string programFolder_;
    CModelInstall install_;
};

} // namespace tonedesk
