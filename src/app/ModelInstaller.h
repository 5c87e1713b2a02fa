#pragma once

#include "model/ModelInstall.h"

#include <functional>
#include <string>

namespace tonedesk {

class UserPrompts;

// String resources of the model installation.
inline constexpr int kStringModelFilter = 2058;           // filter of the file dialog
inline constexpr int kStringModelInstallCaption = 2059;   // title and message-box caption
inline constexpr int kStringModelMissingGamma = 4106;     // no gamma folder with both files
inline constexpr int kStringModelAlreadyInstalled = 4107; // replace? (%s: the model's name)
inline constexpr int kStringModelInstallFailed = 4108;    // %s: the folder it could not write
inline constexpr int kStringModelInstalled = 4109; // %s: the folder, then the files, a line each
inline constexpr int kStringFileExists = 4104;     // replace? (%s: the file's name)
inline constexpr int kStringModelMissingBundle = 4120; // %s: the bundle a tab names

// Installs a model file chosen by the user, with its gamma files, into the program's folder when
// the program may write there, else into the user's model folder, and tells the user how it
// went and where. Every question and message carries the caption of string 2059.
class CModelInstaller {
public:
    // Whether the program may write into a folder.
    using WritableCheck = std::function<bool(const std::string& folder)>;

    // `folders` without a program folder: those of the running program (DefaultModelFolders).
    explicit CModelInstaller(UserPrompts& prompts, ModelFolders folders = {},
                             WritableCheck writable = FolderWritable);

    // Asks for the model file and installs it. True when a model was installed; false when the
    // user cancelled or declined, or the installation failed (the user has been told).
    bool Run();

private:
    UserPrompts& prompts_;
    ModelFolders folders_;
    WritableCheck writable_;
    CModelInstall install_;
};

} // namespace tonedesk
