#include "model/ModelFile.h"

#include "model/ModelSyntax.h"
#include "support/FileRead.h"
#include "support/FolderScan.h"
#include "support/Notifier.h"

#include <limits>

namespace tonedesk {

namespace {

// seconds x 1000, held at the ends of the 32-bit range.
std::int32_t SecondsToMs(std::int32_t seconds) {
    const std::int64_t ms = static_cast<std::int64_t>(seconds) * 1000;
    if (ms > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (ms < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(ms);
}

// Appends a list value and gives every new code an entry in `table` with kNoValue.
void AddCommands(const std::string& value, CommandList& list, KeyValueTable& table) {
    const std::size_t first = list.size();
    ParseCommandList(value, list);
    for (std::size_t i = first; i < list.size(); ++i) {
        table.FindOrAdd(list[i].Key()).value = kNoValue;
    }
}

// Enters an identifier with its 1-based position; false when it is there already (a stored
// position is never 0, so 0 means just added).
bool EnterId(KeyValueTable& index, std::int32_t id, std::size_t position) {
    KeyValueTable::Entry& entry = index.FindOrAdd(static_cast<std::uint32_t>(id));
    if (entry.value != 0) {
        return false;
    }
    entry.value = static_cast<std::int32_t>(position);
    return true;
}

// A name as the projector gave it: it ends at its first NUL.
std::string_view CutAtNul(std::string_view name) {
    return name.substr(0, name.find('\0'));
}

} // namespace

CModelFile::CModelFile(Notifier& notifier, std::string folder) : notifier_(notifier) {
    if (folder.empty()) {
        SetFolders(DefaultModelFolders());
    } else {
        SetFolder(std::move(folder));
    }
    Reset();
}

void CModelFile::Reset() {
    autoReceiveElapse = kDefaultAutoReceiveElapse;
    tabs.clear();
    disableCodes.Clear();
    statusTable.Clear();
    idIndex.Clear();
    saveCommands = {};
    saveCommands2 = {};
    presetGamma.fill(GammaFileTable::Identity());
    gammaReferences_.clear();
}

void CModelFile::SetFolder(std::string folder) {
    SetFolders({folder.empty() ? ProgramFolder() : WithSeparator(std::move(folder)), {}});
}

void CModelFile::SetFolders(ModelFolders folders) {
    folders_ = std::move(folders);
    const std::vector<std::string> order = folders_.SearchOrder();
    folder_ = order.empty() ? ProgramFolder() : order.front();
}

std::string CModelFile::PathBeside(std::string_view value) const {
    std::vector<std::string> folders{folder_};
    for (std::string& folder : folders_.SearchOrder()) {
        if (folder != folder_) {
            folders.push_back(std::move(folder));
        }
    }
    return FindModelFilePath(folders, value);
}

ModelLookup CModelFile::ParseModelText(std::string_view text, std::string_view projectorName) {
    Reset();
    projectorName = CutAtNul(projectorName);
    bool matched = false;
    bool haveControl = false; // the current control section has a control to fill

    ModelLineReader reader(text);
    ModelLine line;
    while (reader.Next(line)) {
        if (line.header != ModelSection::None) {
            haveControl = false;
            if (line.header == ModelSection::Tab) {
                tabs.emplace_back();
            } else if (IsControlSection(line.header) && !tabs.empty()) {
                // A control section before the first [TAB] has no tab to join: it is skipped
                // with its keys.
                tabs.back().controls.emplace_back().kind = line.header;
                haveControl = true;
            }
            continue;
        }
        if (line.key < 0 || !KeyCountsIn(line.key, line.section)) {
            continue;
        }
        const std::int32_t key = line.key;
        const std::string& value = line.value;

        if (line.section == ModelSection::Property) {
            if (key == kKeyProjectorName) {
                if (!projectorName.starts_with(value)) {
                    return ModelLookup::NotFound;
                }
                matched = true;
            } else if (key == kKeyAutoRecvElapse) {
                autoReceiveElapse = SecondsToMs(ParseValueNumber(value));
            } else if (key >= kKeyGammaFile1) {
                gammaReferences_.push_back(
                    {static_cast<std::size_t>(key - kKeyGammaFile1), PathBeside(value)});
            }
            continue;
        }
        if (line.section == ModelSection::Save) {
            if (key == kKeyCommand || key == kKeyCommand2) {
                AddCommands(value, key == kKeyCommand ? saveCommands : saveCommands2, statusTable);
            }
            continue;
        }

        if (line.section == ModelSection::Tab) {
            ModelTab& tab = tabs.back(); // a [TAB] section always has its tab
            if (key == kKeyResourceFile) {
                tab.resourceFile = CutPath(value);
            } else if (key == kKeyId) {
                tab.id = ParseValueNumber(value);
                if (!EnterId(idIndex, tab.id, tabs.size())) {
                    return ModelLookup::RepeatedId;
                }
            } else if (key == kKeyCommand || key == kKeyCommand2) {
                AddCommands(value, key == kKeyCommand ? tab.leaveCommands : tab.enterCommands,
                            statusTable);
            }
            continue;
        }
        if (!haveControl) {
            continue; // a control section before the first [TAB]
        }

        ModelTab& tab = tabs.back();
        ModelControl& control = tab.controls.back();
        switch (key) {
        case kKeyId: {
            control.id = ParseValueNumber(value);
            if (!EnterId(idIndex, control.id, tab.controls.size())) {
                return ModelLookup::RepeatedId;
            }
            if (control.kind == ModelSection::Status) {
                tab.statusControlId = control.id;
            }
            break;
        }
        case kKeyMax:
            control.max = ParseValueNumber(value);
            break;
        case kKeyMin:
            control.min = ParseValueNumber(value);
            break;
        case kKeyFreq:
            control.freq = ParseValueNumber(value);
            break;
        case kKeyDefault:
            control.defaultValue = ParseValueNumber(value);
            break;
        case kKeyCommand:
        case kKeyCommand2:
        case kKeyCommand3:
        case kKeyCommand4:
        case kKeyCommand5: {
            const auto n = static_cast<std::size_t>(key - kKeyCommand + 1);
            control.commandLists.resize(n);
            AddCommands(value, control.commandLists[n - 1], statusTable);
            break;
        }
        case kKeyRelate:
            ParseIdList(value, control.relatedIds);
            if (control.relatedIds.size() == 1 && control.relatedIds[0] == control.id) {
                control.relatedIds.clear(); // related only to itself: unrelated
            }
            break;
        case kKeyMode:
            control.mode = ParseValueNumber(value);
            if (control.mode == 1) {
                tab.modeControlId = control.id;
            }
            break;
        case kKeyElapse:
            control.elapse = ParseValueNumber(value);
            break;
        case kKeyIncrement:
            control.increment = ParseValueNumber(value);
            break;
        case kKeyDisable:
            AddCommands(value, control.disableList, disableCodes);
            break;
        case kKeyReload:
            ParseCodeList(value, control.reloadCodes);
            break;
        default:
            break;
        }
    }
    return matched ? ModelLookup::Found : ModelLookup::NotFound;
}

// The search for a projector's model file among the model folders.
ModelLookup CModelFile::ReadModelFile(std::string_view projectorName) {
    fileName_.clear();
    skippedFiles_.clear();
    std::string text;
    for (const std::string& folder : folders_.SearchOrder()) {
        std::vector<FolderEntry> candidates;
        ScanFolder(folder, "*.ini", kAttrDirectory, candidates);
        for (const FolderEntry& candidate : candidates) {
            folder_ = folder;
            fileName_ = candidate.name;
            const std::string path = FilePath();
            // One file that cannot be read must not hide the model files after it.
            if (const int error = ReadWholeFile(path, text); error != 0) {
                skippedFiles_.push_back({path, FileReadReason(error)});
                Reset();
                continue;
            }
            const ModelLookup result = ParseModelText(text, projectorName);
            if (result == ModelLookup::RepeatedId) {
                return result;
            }
            if (result == ModelLookup::Found) {
                // The presets are read once the file is known to be the projector's own, so
                // that another model's gamma files are neither read nor reported. A preset is
                // read over its ramp: what a short line leaves out keeps the ramp's value.
                for (const GammaReference& gamma : gammaReferences_) {
                    ReadGammaFile(gamma.path, presetGamma[gamma.preset], notifier_,
                                  GammaReadBase::Current);
                }
                return ModelLookup::Found;
            }
        }
    }
    return ModelLookup::NotFound;
}

} // namespace tonedesk
