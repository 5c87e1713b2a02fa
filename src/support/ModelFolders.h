#pragma once

#include <string>
#include <vector>

namespace tonedesk {

// Where the programs read model files, their gamma files and their tabs' bundles: the program's
// own folder, which a package fills, and the user's own model folder, which the user can always
// write. A model file in the user's folder wins over one for the same projector in the
// program's folder.
struct ModelFolders {
    std::string program; // ends in a separator
    std::string user;    // ends in a separator; empty when the user has no home folder

    // The folders in the order model files are looked for: the user's first, then the
    // program's; each once, none empty.
    std::vector<std::string> SearchOrder() const;
};

// The folder of the running program, ending in a separator.
std::string ProgramFolder();

// The user's model folder, "tonedesk/models/" in $XDG_DATA_HOME, or in "$HOME/.local/share" when
// XDG_DATA_HOME is unset, empty or relative; empty when neither gives an absolute folder. The
// arguments are the variables' values, null when unset.
std::string UserModelFolder(const char* xdgDataHome, const char* home);
// The same from this process's environment; without HOME, the home folder of the password
// database.
std::string UserModelFolder();

// The program's folder and the user's, as this process finds them.
ModelFolders DefaultModelFolders();

// `folder` followed by "/" unless it ends in one already or is empty.
std::string WithSeparator(std::string folder);

} // namespace tonedesk
