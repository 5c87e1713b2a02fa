#pragma once

#include "support/TextString.h"

#include <string_view>

namespace tonedesk {

// Compares two names without regard to case in the ASCII letters, which are folded to lower
// case first (so "_" sorts after "Z" and before "a"). Bytes compare as unsigned values.
// Negative, zero or positive like strcmp.
int CompareNoCase(std::string_view a, std::string_view b);

// The four parts of a path. Both "\" and "/" separate folders; a drive is a letter followed
// by ":" at the very start.
struct PathParts {
    CTextString drive;     // "D:" or empty
    CTextString directory; // up to and including the last separator, or empty
    CTextString name;      // up to the last "." after the directory
    CTextString extension; // from the last "." on, with the dot, or empty
};

PathParts SplitPath(std::string_view path);
// Joins the parts: ":" after a drive letter that lacks one, a separator after a directory that
// lacks one (the one the directory already uses, else the platform's) and a "." before an
// extension that lacks one.
CTextString MakePath(std::string_view drive, std::string_view directory, std::string_view name,
                     std::string_view extension);

// Drive and directory of the path, ending with its separator: "D:\data\" for "D:\data\a.gam".
CTextString GetFolder(std::string_view path);
// Name and extension; the name alone when the extension is empty or a bare ".".
CTextString GetFileTitle(std::string_view path);
// The name without folder and extension.
CTextString GetBaseName(std::string_view path);
// The extension without its dot; empty when it is empty or a bare ".".
CTextString GetExtension(std::string_view path);
// Rebuilds `path` from its own drive, directory and name with the new extension, stores the
// result in `path` and returns a copy of it.
CTextString ReplaceExtension(CTextString& path, std::string_view newExtension);

// A full path built from a file name, a base folder and a default extension.
class CPathName : public CTextString {
public:
    // A name without a folder lands in the base folder; a name with a relative folder lands
    // below it; an absolute or network name keeps its folder. A name without an extension gets
    // the default extension, if one is given. A null base folder stands for the current
    // working directory.
    CPathName(std::string_view name, const char* baseFolder,
              std::string_view defaultExtension = {});
    CPathName(std::string_view name, const CTextString& baseFolder,
              std::string_view defaultExtension = {});
};

} // namespace tonedesk
