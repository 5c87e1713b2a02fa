#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// Option bits the callers of a file dialog pass; the open or save mode is what the dialog acts
// on.
enum FileDialogFlag : unsigned {
    kHideReadOnly = 0x00000004,
    kNoReadOnlyReturn = 0x00008000,
    kNoTestFileCreate = 0x00010000,
};

// One entry of a filter text.
struct FileFilter {
    std::string description;
    std::string pattern; // "*.gam", "*.*"
};

// Splits a filter text "description TAB pattern TAB description TAB pattern TAB ..." into its
// entries. A description without a pattern after it (a text without its final TAB, or an odd
// number of fields) is dropped.
std::vector<FileFilter> ParseFilterText(std::string_view text);

// The extension that a pattern stands for: the pattern from its third character on ("gam" for
// "*.gam"), or `preferred` when that begins with "*".
std::string PatternExtension(const std::string& pattern, const std::string& preferred);

// Completes a chosen path with the extension of the selected file type. `fileType` counts the
// filter entries from 1; `preferred` is "*" when the dialog started without an initial path,
// else the extension of that path. A typed extension that one of the entries stands for is
// replaced by the selected type's; any other typed extension is kept, and gets the selected one
// appended when the dialog started without an initial path.
std::string CompleteChosenPath(std::string path, const std::vector<std::string>& patterns,
                               const std::string& preferred, int fileType);

} // namespace tonedesk
