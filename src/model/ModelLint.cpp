#include "model/ModelLint.h"

#include "model/FormScan.h"
#include "model/LintValues.h"
#include "model/ModelFile.h"
#include "model/ModelSyntax.h"
#include "support/FileRead.h"
#include "support/Notifier.h"
#include "support/PathName.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>
#include <set>

namespace tonedesk {

namespace {

std::string Quote(std::string_view text) {
    // Built by appending: GCC 12 at -O2 and above reports a false -Wrestrict overlap inside the
    // operator+ of a one-character literal and a temporary string.
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '\'';
    quoted.append(text);
    quoted += '\'';
    return quoted;
}

std::string SectionName(ModelSection section) {
    return std::string(SectionHeader(section));
}

std::string KeyName(std::int32_t key) {
    return std::string(kModelKeys[key]);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The word a line starts with when the line has the shape of a key line ("word = ..."), else
// empty.
std::string_view KeyShapedWord(std::string_view line) {
    std::size_t n = 0;
    while (n < line.size() &&
           (std::isalnum(static_cast<unsigned char>(line[n])) || line[n] == '_')) {
        ++n;
    }
    std::size_t p = n;
    while (p < line.size() && IsBlank(line[p])) {
        ++p;
    }
    return n > 0 && p < line.size() && line[p] == '=' ? line.substr(0, n) : std::string_view{};
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

bool IsNumericKey(std::int32_t key) {
    switch (key) {
    case kKeyAutoRecvElapse:
    case kKeyId:
    case kKeyMax:
    case kKeyMin:
    case kKeyFreq:
    case kKeyDefault:
    case kKeyMode:
    case kKeyElapse:
    case kKeyIncrement:
        return true;
    default:
        return false;
    }
}

bool IsCommandListKey(std::int32_t key) {
    return (key >= kKeyCommand && key <= kKeyCommand5) || key == kKeyDisable;
}

std::string JoinWithOr(const std::vector<std::string_view>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        text += i == 0 ? "" : i + 1 == words.size() ? " or " : ", ";
        text += words[i];
    }
    return text;
}

// The bitmap a bitmap label shows: its "bitmap" property when that is a number, else the
// label's own id; -1 for none.
int BitmapNumberOf(const FormWidget& widget) {
    std::string_view text = *widget.bitmap;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (!text.empty() && error == std::errc{} && end == text.data() + text.size()) {
        return number;
    }
    return FormControlId(widget.name);
}

// Whether a control of this kind shows the projector's values of its codes.
bool ShowsValues(ModelSection kind) {
    switch (kind) {
    case ModelSection::Radio:
    case ModelSection::Check:
    case ModelSection::ComboBox:
    case ModelSection::SliderBar:
    case ModelSection::Edit:
    case ModelSection::SpinButton:
        return true;
    default:
        return false;
    }
}

// Ids 20000 to 30000 of a form are commands of the program (20000 opens the gamma editor).
bool IsProgramCommandId(int id) {
    return id >= 20000 && id <= 30000;
}

// Most warnings of one kind given for one line.
constexpr int kMaxRepeatsPerLine = 3;

struct RelateUse {
    int line;
    std::int32_t id;
};

struct TabState {
    std::set<std::int32_t> controlIds;
    std::vector<RelateUse> relates;
};

class Linter {
public:
    // `folders`: the file's own folder first, then the other places the program looks in.
    Linter(std::vector<std::string> folders, BundleReader* bundles)
        : folders_(std::move(folders)), bundles_(bundles) {}

    std::vector<LintProblem> Run(std::string_view text) {
        ModelLineReader reader(text);
        ModelLine line;
        while (reader.Next(line)) {
            if (line.header != ModelSection::None) {
                Header(line);
            } else if (line.text.starts_with('[')) {
                UnknownHeader(line);
            } else if (line.key >= 0) {
                Key(line);
            } else {
                OtherLine(line);
            }
        }
        EndMark(text);
        model_.ParseModelText(text, projectorName_);
        CheckUnreadCodes();
        CheckControlRanges();
        CheckForms();
        Finish();
        return std::move(problems_);
    }

private:
    void Report(int line, std::string text) { problems_.push_back({line, std::move(text)}); }

    // The reader stops at a NUL or a Ctrl-Z; say so when anything follows it.
    void EndMark(std::string_view text) {
        const std::size_t stop = text.find_first_of(std::string_view("\0\x1a", 2));
        if (stop == std::string_view::npos || stop + 1 == text.size()) {
            return;
        }
        // Its line as an editor counts: CR LF is one break, any other CR or LF one each.
        int line = 1;
        for (std::size_t i = 0; i < stop; ++i) {
            if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == stop || text[i + 1] != '\n'))) {
                ++line;
            }
        }
        Report(line, std::string("text after ") + (text[stop] == '\0' ? "a NUL byte" : "Ctrl-Z") +
                         " is ignored (" + std::to_string(text.size() - stop - 1) + " bytes)");
    }

    void Header(const ModelLine& line) {
        const std::string_view rest = line.text.substr(SectionHeader(line.header).size());
        if (!std::all_of(rest.begin(), rest.end(), IsBlank)) {
            Report(line.number, "text after " + SectionName(line.header) + " is ignored");
        }
        haveControl_ = false;
        if (line.header == ModelSection::Tab) {
            tabs_.emplace_back();
        } else if (IsControlSection(line.header)) {
            if (tabs_.empty()) {
                Report(line.number, "control section " + SectionName(line.header) +
                                        " before the first [TAB] is ignored with its keys");
            } else {
                haveControl_ = true;
                controlKind_ = line.header;
                controlId_ = -1;
            }
        }
    }

    void UnknownHeader(const ModelLine& line) {
        std::string text = "unknown section " + Quote(line.text) + ": its keys are ignored";
        if (MatchSection(Upper(line.text)) != ModelSection::None) {
            text += " (section headers are upper case)";
        }
        Report(line.number, text);
    }

    void OtherLine(const ModelLine& line) {
        const std::string_view trimmed =
            line.text.substr(std::min(line.text.find_first_not_of(" \t"), line.text.size()));
        if (trimmed.size() != line.text.size() &&
            (MatchSection(trimmed) != ModelSection::None || MatchKey(trimmed) >= 0)) {
            Report(line.number, "leading blanks: the line is ignored");
            return;
        }
        if (MatchKey(line.text) >= 0) {
            Report(line.number, "key line outside any section is ignored");
            return;
        }
        const std::string_view word = KeyShapedWord(line.text);
        if (word.empty()) {
            // Blank lines and ";" comments are the usual way to lay out a file.
            if (line.section != ModelSection::None && !line.text.starts_with(';') &&
                line.text.find('=') == std::string_view::npos &&
                !std::all_of(line.text.begin(), line.text.end(), IsBlank)) {
                Report(line.number,
                       "line without '=' in " + SectionName(line.section) + " is ignored");
            }
            return;
        }
        const std::string upper = Upper(word);
        const bool known =
            std::find(kModelKeys.begin(), kModelKeys.end(), upper) != kModelKeys.end();
        if (known) {
            Report(line.number, "key " + Quote(word) + " must be written " + upper + ": ignored");
        } else if (line.section != ModelSection::None) {
            Report(line.number, "unknown key " + Quote(word) + " is ignored");
        } else {
            Report(line.number, "key line outside any section is ignored");
        }
    }

    void Key(const ModelLine& line) {
        const std::int32_t key = line.key;
        const ModelSection section = line.section;
        if (!KeyCountsIn(key, section)) {
            Report(line.number, KeyName(key) + " does not count in " + SectionName(section));
            return;
        }
        if (IsControlSection(section) && !haveControl_) {
            return; // reported with the section
        }
        CheckValue(line);
        switch (key) {
        case kKeyProjectorName:
            ++projectorNames_;
            if (projectorNames_ == 1) {
                projectorName_ = line.value;
            }
            if (projectorNames_ > 1) {
                Report(line.number, "PROJECTOR_NAME again: a mismatch here stops the file");
            }
            if (line.value.empty()) {
                Report(line.number, "an empty PROJECTOR_NAME matches every projector");
            }
            break;
        case kKeyId:
            Identifier(line);
            break;
        case kKeyRelate:
            Relate(line);
            break;
        case kKeyMode:
            if (ParseValueNumber(line.value) == 1 && controlId_ == -1) {
                Report(line.number, "MODE=1 before ID: the tab's mode control gets id -1");
            }
            break;
        case kKeyIncrement:
            if (ParseValueNumber(line.value) == 0 && (controlKind_ == ModelSection::SliderBar ||
                                                      controlKind_ == ModelSection::SpinButton)) {
                Report(line.number, "INCREMENT 0 on a " + SectionName(controlKind_) +
                                        " control: its positions are divided by it");
            }
            break;
        case kKeyResourceFile:
            FileValue(line);
            break;
        default:
            if (key >= kKeyGammaFile1) {
                FileValue(line);
            }
            break;
        }
    }

    void CheckValue(const ModelLine& line) {
        const std::int32_t key = line.key;
        const std::string name = KeyName(key);
        if (IsNumericKey(key)) {
            bool complete = true;
            const std::int32_t n = ParseValueNumber(line.value, &complete);
            if (!complete) {
                Report(line.number, name + " " + Quote(line.value) +
                                        " is not a plain number (read as " + std::to_string(n) +
                                        ")");
            } else if (std::string wrapped = WrappedNumberProblem(name, line.value, n);
                       !wrapped.empty()) {
                Report(line.number, std::move(wrapped));
            }
            return;
        }
        ListEnd end;
        CommandList list;
        std::vector<std::int32_t> ids;
        if (IsCommandListKey(key)) {
            end = ParseCommandList(line.value, list);
        } else if (key == kKeyReload) {
            end = ParseCodeList(line.value, list);
        } else if (key == kKeyRelate) {
            end = ParseIdList(line.value, ids);
        }
        // After a code that is not four characters the rest of the list is misread anyway.
        if (!end.complete && end.shortCode.empty()) {
            Report(line.number, name + ": text after the list is ignored");
        }
        if (!end.numbersOk) {
            Report(line.number, name + ": a number without digits reads as 0");
        }
        for (std::string& problem :
             ListValueProblems(name, end, SendsListValues(key, line.section))) {
            Report(line.number, std::move(problem));
        }
    }

    // Sliders, spin controls and edit fields whose range reaches values no command can carry.
    void CheckControlRanges() {
        for (const ModelTab& tab : model_.tabs) {
            for (const ModelControl& control : tab.controls) {
                const auto idLine = ids_.find(control.id);
                if (idLine == ids_.end()) {
                    continue;
                }
                if (std::string problem = ControlRangeProblem(control); !problem.empty()) {
                    Report(idLine->second, std::move(problem));
                }
            }
        }
    }

    void Identifier(const ModelLine& line) {
        const std::int32_t id = ParseValueNumber(line.value);
        const auto [it, added] = ids_.emplace(id, line.number);
        if (!added) {
            Report(line.number, "identifier " + std::to_string(id) + " repeats the one of line " +
                                    std::to_string(it->second) + ": the file fails to load");
        }
        if (line.section != ModelSection::Tab) {
            controlId_ = id;
            tabs_.back().controlIds.insert(id);
        }
    }

    void Relate(const ModelLine& line) {
        if (controlId_ == -1) {
            Report(line.number, "RELATE before ID: a control related to itself is not noticed");
        }
        std::vector<std::int32_t> ids;
        ParseIdList(line.value, ids);
        for (std::int32_t id : ids) {
            tabs_.back().relates.push_back({line.number, id});
        }
    }

    void FileValue(const ModelLine& line) {
        const std::string name = KeyName(line.key);
        if (!line.value.empty() && IsBlank(line.value.back())) {
            Report(line.number, name + ": trailing blanks belong to the file name");
        }
        if (line.value.size() > kMaxPathLength) {
            Report(line.number, name + ": the name is cut to 259 characters");
        }
        std::error_code ec;
        const auto status = std::filesystem::status(FindModelFilePath(folders_, line.value), ec);
        if (line.value.empty() || !std::filesystem::exists(status)) {
            Report(line.number,
                   name + ": file " + Quote(line.value) + " not found in " + FolderList());
        } else if (!std::filesystem::is_regular_file(status)) {
            Report(line.number, name + ": " + Quote(line.value) + " is not a regular file");
        }
    }

    // Codes that controls show but that the page never asks for: they show DEFAULT until used.
    // The page reads the tab's leave and enter lists, POWR, the RELOAD codes after a control
    // sends, and at every poll the first item of each list of the tab's MODE=1 control (or of
    // the controls it relates to).
    void CheckUnreadCodes() {
        for (const ModelTab& tab : model_.tabs) {
            const auto idLine = ids_.find(tab.id);
            if (idLine == ids_.end()) {
                continue;
            }
            std::set<std::uint32_t> read{CodeKey("POWR")};
            const auto readAll = [&](const CommandList& list) {
                for (const CommandItem& item : list) {
                    read.insert(item.Key());
                }
            };
            readAll(tab.leaveCommands);
            readAll(tab.enterCommands);
            std::vector<std::int32_t> polled;
            for (const ModelControl& control : tab.controls) {
                readAll(control.reloadCodes);
                if (control.id != -1 && control.id == tab.modeControlId) {
                    polled =
                        control.relatedIds.empty() ? std::vector{control.id} : control.relatedIds;
                }
            }
            for (const ModelControl& control : tab.controls) {
                if (std::find(polled.begin(), polled.end(), control.id) == polled.end()) {
                    continue;
                }
                for (const CommandList& list : control.commandLists) {
                    if (!list.empty()) {
                        read.insert(list[0].Key());
                    }
                }
            }
            std::string unread;
            for (const ModelControl& control : tab.controls) {
                if (!ShowsValues(control.kind)) {
                    continue;
                }
                for (const CommandList& list : control.commandLists) {
                    for (const CommandItem& item : list) {
                        if (read.insert(item.Key()).second) { // unread, and not listed yet
                            unread += (unread.empty() ? "" : ", ") + std::string(item.Code());
                        }
                    }
                }
            }
            if (!unread.empty()) {
                Report(idLine->second,
                       "no MODE=1 control of this tab reads " + unread +
                           ": their controls show DEFAULT until used (a refresh button with "
                           "MODE=1 and RELATE naming them reads them at every poll)");
            }
        }
    }

    // The tabs' forms, read from their bundles, against the controls of the model.
    void CheckForms() {
        if (!bundles_) {
            return;
        }
        for (const ModelTab& tab : model_.tabs) {
            const auto idLine = ids_.find(tab.id);
            std::error_code ec;
            const std::string path = FindModelFilePath(folders_, tab.resourceFile);
            if (idLine == ids_.end() || tab.resourceFile.empty() ||
                !std::filesystem::is_regular_file(path, ec)) {
                continue; // no form to look for, or reported with RESOURCEFILE
            }
            const std::string bundle = Quote(tab.resourceFile);
            if (std::string problem; !bundles_->Open(path, problem)) {
                Report(idLine->second,
                       "RESOURCEFILE " + bundle + " is not a valid resource bundle: " + problem);
                continue;
            }
            const std::string form = "dialogs/" + std::to_string(tab.id) + ".ui";
            const auto formText = bundles_->Read(form);
            const auto widgets = formText ? ScanFormWidgets(*formText) : std::nullopt;
            if (!widgets) {
                Report(idLine->second,
                       bundle + " has no form " + form + ": the tab's page stays empty");
                continue;
            }
            CheckForm(tab, *widgets, form + " of " + bundle, idLine->second);
        }
    }

    void CheckForm(const ModelTab& tab, const std::vector<FormWidget>& widgets,
                   const std::string& form, int tabLine) {
        std::map<int, const FormWidget*> byId;
        for (const FormWidget& widget : widgets) {
            if (const int id = FormControlId(widget.name); id >= 0) {
                byId.emplace(id, &widget);
            }
        }
        std::set<int> controlIds;
        for (const ModelControl& control : tab.controls) {
            const auto idLine = ids_.find(control.id);
            if (control.id == -1 || idLine == ids_.end()) {
                continue;
            }
            const int line = idLine->second;
            const std::string name = "id" + std::to_string(control.id);
            controlIds.insert(control.id);
            const auto found = byId.find(control.id);
            if (found == byId.end()) {
                Report(line, form + " has no widget " + name + ": the control is not on the page");
                continue;
            }
            const FormWidget& widget = *found->second;
            const auto classes = WidgetClassesFor(control.kind);
            if (std::find(classes.begin(), classes.end(), widget.className) == classes.end()) {
                Report(line, name + " is a " + widget.className + " in " + form + "; a " +
                                 SectionName(control.kind) + " control is a " +
                                 JoinWithOr(classes));
            }
            if (control.kind == ModelSection::ComboBox && !control.commandLists.empty() &&
                static_cast<std::size_t>(widget.entries) != control.commandLists[0].size()) {
                Report(line, name + " has " + std::to_string(widget.entries) + " entries in " +
                                 form + " for " + std::to_string(control.commandLists[0].size()) +
                                 " command positions");
            }
        }
        for (const auto& [id, widget] : byId) {
            if (controlIds.count(id) == 0 && !IsProgramCommandId(id)) {
                Report(tabLine, form + ": widget " + widget->name +
                                    " is no control of this tab and does nothing");
            }
        }
        for (const FormWidget& widget : widgets) {
            if (!widget.bitmap) {
                continue;
            }
            const int number = BitmapNumberOf(widget);
            const std::string label = Quote(widget.name);
            if (number < 0) {
                Report(tabLine, form + ": bitmap label " + label + " names no bitmap number");
                continue;
            }
            const std::string stem = "bitmaps/" + std::to_string(number);
            if (!bundles_->Read(stem + ".png") && !bundles_->Read(stem + ".bmp")) {
                Report(tabLine, form + ": bitmap label " + label + " shows " + stem +
                                    ".png (or .bmp), which is not in the bundle");
            }
        }
    }

    void Finish() {
        for (const TabState& tab : tabs_) {
            // A long list of strangers gives a few warnings and a count, not one line per item.
            int line = 0;
            int repeats = 0;
            const auto more = [&] {
                if (repeats > kMaxRepeatsPerLine) {
                    Report(line, "RELATE names " + std::to_string(repeats - kMaxRepeatsPerLine) +
                                     " more identifiers that are not controls of this tab");
                }
            };
            for (const RelateUse& use : tab.relates) {
                if (tab.controlIds.count(use.id) != 0) {
                    continue;
                }
                if (use.line != line) {
                    more();
                    line = use.line;
                    repeats = 0;
                }
                if (++repeats <= kMaxRepeatsPerLine) {
                    Report(use.line, "RELATE names " + std::to_string(use.id) +
                                         ", which is not a control of this tab");
                }
            }
            more();
        }
        std::stable_sort(
            problems_.begin(), problems_.end(),
            [](const LintProblem& a, const LintProblem& b) { return a.line < b.line; });
        if (projectorNames_ == 0) {
            Report(0, "no PROJECTOR_NAME in [PROPERTY]: the file is never chosen");
        }
    }

    // The folders looked in, quoted: "'a/' or 'b/'".
    std::string FolderList() const {
        std::string list;
        for (const std::string& folder : folders_) {
            list += (list.empty() ? "" : " or ") + Quote(folder);
        }
        return list;
    }

    std::vector<std::string> folders_;
    BundleReader* bundles_;
    SilentNotifier notifier_;
    CModelFile model_{notifier_, folders_.front()}; // the file as the program reads it
    std::string projectorName_;
    std::vector<LintProblem> problems_;
    std::vector<TabState> tabs_;
    std::map<std::int32_t, int> ids_; // identifier -> line of its first ID
    bool haveControl_ = false;
    ModelSection controlKind_ = ModelSection::None;
    std::int32_t controlId_ = -1;
    int projectorNames_ = 0;
};

} // namespace

std::vector<std::string_view> WidgetClassesFor(ModelSection kind) {
    switch (kind) {
    case ModelSection::Button:
    case ModelSection::StatusButton:
        return {"QPushButton", "QToolButton", "QCommandLinkButton"};
    case ModelSection::Radio:
        return {"QRadioButton"};
    case ModelSection::Check:
        return {"QCheckBox"};
    case ModelSection::ComboBox:
        return {"QComboBox", "QFontComboBox"};
    case ModelSection::SliderBar:
        return {"QSlider", "QDial", "QScrollBar"};
    case ModelSection::Status:
        return {"QLabel"};
    case ModelSection::Edit:
        return {"QLineEdit"};
    case ModelSection::SpinButton:
        return {"QScrollBar", "QSpinBox", "QSlider", "QDial"};
    default:
        return {};
    }
}

std::vector<LintProblem> LintModelText(std::string_view text, const std::string& folder,
                                       BundleReader* bundles,
                                       const std::vector<std::string>& otherFolders) {
    std::vector<std::string> folders{WithSeparator(folder)};
    for (const std::string& other : otherFolders) {
        if (std::find(folders.begin(), folders.end(), other) == folders.end()) {
            folders.push_back(other);
        }
    }
    return Linter(std::move(folders), bundles).Run(text);
}

std::vector<LintProblem> LintModelFile(const std::string& path, BundleReader* bundles,
                                       const std::vector<std::string>& otherFolders) {
    std::string text;
    if (const int error = ReadWholeFile(path, text); error != 0) {
        return {{0, "cannot read " + Quote(path) + ": " + FileReadReason(error)}};
    }
    return LintModelText(text, GetFolder(path), bundles, otherFolders);
}

} // namespace tonedesk
