#pragma once

#include "gamma/GammaFile.h"
#include "model/StatusTable.h"
#include "support/KeyValueTable.h"
#include "support/ModelFolders.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

class Notifier;

// One command of a command list: a four-byte projector command code and its parameter.
struct CommandItem {
    std::array<char, 4> code{};    // the raw bytes, for example "POWR"
    std::int32_t value = kNoValue; // the parameter, or kNoValue when the file gave none

    std::uint32_t Key() const { return CodeKey(Code()); }
    std::string_view Code() const { return {code.data(), code.size()}; }
};

// A sequence of commands in file order, with a read position for code that walks through it.
struct CommandList {
    std::vector<CommandItem> items;
    std::size_t readPosition = 0;

    std::size_t size() const { return items.size(); }
    bool empty() const { return items.empty(); }
    CommandItem& operator[](std::size_t i) { return items[i]; }
    const CommandItem& operator[](std::size_t i) const { return items[i]; }
    auto begin() { return items.begin(); }
    auto end() { return items.end(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }
};

// The sections of a model file, in the order of their headers; the control kinds are Button ..
// SpinButton.
enum class ModelSection : std::int32_t {
    None = -1, // no section: a line before the first header, or an unknown header
    Property = 0,
    Save = 1,
    Tab = 2,
    Button = 3,
    Radio = 4,
    Check = 5,
    ComboBox = 6,
    SliderBar = 7,
    Status = 8,
    StatusButton = 9,
    Edit = 10,
    SpinButton = 11,
};

// Most command lists a control has (keys COMMAND, COMMAND2 .. COMMAND5).
inline constexpr std::size_t kMaxCommandLists = 5;
// Longest file name kept from a model file (RESOURCEFILE, GAMMAFILEn and their paths).
inline constexpr std::size_t kMaxPathLength = 259;
// Number of preset gamma tables (keys GAMMAFILE1 .. GAMMAFILE5).
inline constexpr std::size_t kPresetGammaCount = 5;
// autoReceiveElapse of a new model: 180 s.
inline constexpr std::int32_t kDefaultAutoReceiveElapse = 180000;

// How the search for a model file, or the parse of one candidate, came out.
enum class ModelLookup {
    Found,      // a file whose PROJECTOR_NAME matches was read whole
    NotFound,   // no file (or not this text) matches
    RepeatedId, // a candidate gives one identifier twice
};

// One control section of a tab.
struct ModelControl {
    ModelSection kind = ModelSection::Button; // Button .. SpinButton
    std::int32_t id = -1;
    std::int32_t max = 1;
    std::int32_t min = 0;
    std::int32_t freq = 1;
    std::int32_t defaultValue = 0;
    // Parallel lists (COMMAND .. COMMAND5); their number is the count given by the highest
    // COMMANDn key seen last, at most kMaxCommandLists.
    std::vector<CommandList> commandLists;
    std::vector<std::int32_t> relatedIds;
    std::int32_t mode = 0;
    std::int32_t elapse = 0; // ms
    std::int32_t increment = 1;
    CommandList reloadCodes; // values all 0
    CommandList disableList;
};

// One [TAB] section.
struct ModelTab {
    std::int32_t id = -1;     // also the id of the tab page's form in its resource bundle
    std::string resourceFile; // at most kMaxPathLength characters
    std::int32_t modeControlId = -1;
    std::int32_t statusControlId = -1;
    std::vector<ModelControl> controls;
    CommandList leaveCommands; // put back when the page is left
    CommandList enterCommands; // set and read back when the page is first polled
};

// The model file of the connected projector: its polling interval, preset gamma tables, control
// panel and the status values the projector answered.
class CModelFile {
public:
    // File errors go to `notifier`. Model files are looked for in `folder` alone, or, when it is
    // empty, in the user's model folder and then the program's (DefaultModelFolders).
    explicit CModelFile(Notifier& notifier, std::string folder = {});

    // Finds the first "*.ini" file, in name order without case, whose PROJECTOR_NAME is a leading
    // part of `projectorName`, and parses it; the folders are searched in their order of
    // precedence (ModelFolders::SearchOrder), so the user's own model wins. The search stops at a
    // candidate that repeats an identifier (RepeatedId). A candidate that cannot be read (a
    // dangling link, a pipe, a file too large) is passed over and the search goes on:
    // SkippedFiles() names it afterwards.
    ModelLookup ReadModelFile(std::string_view projectorName);

    // A candidate the last search could not read, and why.
    struct SkippedFile {
        std::string path; // the full path
        std::string reason;
    };
    const std::vector<SkippedFile>& SkippedFiles() const { return skippedFiles_; }

    // One candidate's text (up to its NUL, Ctrl-Z or end), parsed into a model that starts from
    // its defaults: Found when its PROJECTOR_NAME matches, NotFound when it does not (parsing
    // stopped there, or the text has no PROJECTOR_NAME), RepeatedId on a repeated identifier.
    // Its gamma files are looked for beside it (PathBeside).
    ModelLookup ParseModelText(std::string_view text, std::string_view projectorName);

    // Back to the state of a new object (the folders and notifier stay).
    void Reset();

    // Model files are looked for in `folder` alone (the folder of the running program when
    // empty).
    void SetFolder(std::string folder);
    // Model files are looked for in these folders.
    void SetFolders(ModelFolders folders);
    const ModelFolders& Folders() const { return folders_; }
    // The folder of the file that matched (or was being read when the search failed), ending in
    // a separator; the first folder searched before any search.
    const std::string& Folder() const { return folder_; }
    // Name of that file within Folder(), and its full path.
    const std::string& FileName() const { return fileName_; }
    std::string FilePath() const { return folder_ + fileName_; }
    // Where a file that the model file names (GAMMAFILEn, RESOURCEFILE) is read from: in the
    // model file's own folder, else in the other model folder that has it; its path in the model
    // file's folder when none has.
    std::string PathBeside(std::string_view value) const;
    // The GAMMAFILEn values of the matched file, in file order: preset index and full path. They
    // are read into presetGamma after the file has matched.
    struct GammaReference {
        std::size_t preset;
        std::string path;
    };
    const std::vector<GammaReference>& GammaReferences() const { return gammaReferences_; }

    std::int32_t autoReceiveElapse = kDefaultAutoReceiveElapse; // ms; 0: no automatic polling
    std::vector<ModelTab> tabs;
    KeyValueTable disableCodes; // every code of any DISABLE list (a set)
    StatusTable statusTable;    // code -> last answered value, kNoValue when none yet
    KeyValueTable idIndex;      // tab id -> 1-based tab position; control id -> position in tab
    CommandList saveCommands;
    CommandList saveCommands2;
    std::array<GammaFileTable, kPresetGammaCount> presetGamma;

private:
    Notifier& notifier_;
    ModelFolders folders_;
    std::string folder_;
    std::string fileName_;
    std::vector<GammaReference> gammaReferences_;
    std::vector<SkippedFile> skippedFiles_;
};

} // namespace tonedesk
