#pragma once

#include "model/ModelFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// The lexical side of model files, shared by the reader and the checker: section headers, keys
// and the value forms.

inline constexpr std::array<std::string_view, 12> kSectionHeaders{
    "[PROPERTY]", "[SAVE]",       "[TAB]",    "[BUTTON]",       "[RADIO]", "[CHECK]",
    "[COMBOBOX]", "[SLIDER BAR]", "[STATUS]", "[STATUSBUTTON]", "[EDIT]",  "[SPINBUTTON]",
};

enum ModelKey : std::int32_t {
    kKeyProjectorName = 0,
    kKeyAutoRecvElapse = 1,
    kKeyResourceFile = 2,
    kKeyId = 3,
    kKeyItem = 4,
    kKeyMax = 5,
    kKeyMin = 6,
    kKeyFreq = 7,
    kKeyDefault = 8,
    kKeyCommand = 9,
    kKeyCommand2 = 10,
    kKeyCommand3 = 11,
    kKeyCommand4 = 12,
    kKeyCommand5 = 13,
    kKeyRelate = 14,
    kKeyMode = 15,
    kKeyElapse = 16,
    kKeyIncrement = 17,
    kKeyDisable = 18,
    kKeyReload = 19,
    kKeyGammaFile1 = 20, // .. kKeyGammaFile1 + 4 for GAMMAFILE5
};

inline constexpr std::array<std::string_view, 25> kModelKeys{
    "PROJECTOR_NAME",
    "AUTORECVELAPSE",
    "RESOURCEFILE",
    "ID",
    "ITEM",
    "MAX",
    "MIN",
    "FREQ",
    "DEFAULT",
    "COMMAND",
    "COMMAND2",
    "COMMAND3",
    "COMMAND4",
    "COMMAND5",
    "RELATE",
    "MODE",
    "ELAPSE",
    "INCREMENT",
    "DISABLE",
    "RELOAD",
    "GAMMAFILE1",
    "GAMMAFILE2",
    "GAMMAFILE3",
    "GAMMAFILE4",
    "GAMMAFILE5",
};

inline bool IsControlSection(ModelSection section) {
    return section >= ModelSection::Button && section <= ModelSection::SpinButton;
}

// The header of a section ("[TAB]"); empty for None.
inline std::string_view SectionHeader(ModelSection section) {
    return section == ModelSection::None ? std::string_view()
                                         : kSectionHeaders[static_cast<std::size_t>(section)];
}

// Whether a key acts in a section (ITEM is recognised everywhere and does nothing).
bool KeyCountsIn(std::int32_t key, ModelSection section);

// The header a line begins with, or None.
ModelSection MatchSection(std::string_view line);
// The key of a key line ("KEY", blanks, "=", blanks, value), or -1; `value` receives the text
// after "=" and the blanks that follow it.
std::int32_t MatchKey(std::string_view line, std::string_view* value = nullptr);

// One line of a model file, with the section in force after it.
struct ModelLine {
    int number = 0;                           // 1-based
    std::string_view text;                    // without the line break
    ModelSection header = ModelSection::None; // the section this line opens, or None
    std::int32_t key = -1;                    // the key of a key line inside a section, or -1
    std::string value; // the key's value (a copy: value parsers never leave the line)
    ModelSection section =
        ModelSection::None; // the section the line belongs to; None: outside any section
};

// Walks the lines of a model file's text. The text ends at its end, a NUL or a Ctrl-Z.
class ModelLineReader {
public:
    explicit ModelLineReader(std::string_view text);
    bool Next(ModelLine& line);

private:
    std::string buffer_; // the text up to its end mark, NUL-terminated
    std::size_t position_ = 0;
    int number_ = 1;
    ModelSection section_ = ModelSection::None;
};

// A number given in a command list, as written.
struct ListParameter {
    std::string_view code;  // the item's four characters
    std::string_view text;  // the number as written, without leading blanks
    std::int32_t value = 0; // as read
};

// How a list value ended, for the checker.
struct ListEnd {
    bool complete = true;  // false: characters after the list are ignored
    bool numbersOk = true; // false: a number had no digits (it reads as 0)
    // The first code that is not four characters: a "," or a blank within its four, or the line
    // ending within them ("PMO" of "PMO,1"). Empty when every code has four.
    std::string shortCode;
    std::vector<ListParameter> parameters; // the numbers of a command list, in order
};

// Appends the items of a command list value ("POWR,1,MUTE VOLM,????"). A code needs four
// characters; a shorter rest of the line is left unread.
ListEnd ParseCommandList(const std::string& value, CommandList& list);
// Appends the codes of a code list value ("INPT,VOLM"), each with value 0.
ListEnd ParseCodeList(const std::string& value, CommandList& list);
// Appends the numbers of an identifier list value ("1001,1002").
ListEnd ParseIdList(const std::string& value, std::vector<std::int32_t>& ids);
// A numeric value; `complete` is false when text other than blanks follows the number or when
// there are no digits.
std::int32_t ParseValueNumber(const std::string& value, bool* complete = nullptr);
// A text value cut to kMaxPathLength characters.
std::string CutPath(std::string_view value);
// The path of a file a model file names (GAMMAFILEn), as the reader opens it: `folder` (ending in
// a separator) followed by the value, each cut to kMaxPathLength characters.
std::string ModelFilePath(std::string_view folder, std::string_view value);
// The path of a file a model file names (GAMMAFILEn, RESOURCEFILE) in the first of `folders`
// that holds something of that name: the model file's own folder first, then the other model
// folders. When none does, its path in the first folder, where it was expected.
std::string FindModelFilePath(const std::vector<std::string>& folders, std::string_view value);

} // namespace tonedesk
