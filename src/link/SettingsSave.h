#pragma once

#include "link/ProjectorLink.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

class Notifier;

// Message id: the settings file was saved without the codes it names.
inline constexpr int kMessageSavedWithout = 4114;

// Where a settings save stands.
enum class SaveState {
    Idle,      // no save runs
    Running,   // the projector is being asked for its values
    Written,   // the file was written
    Failed,    // the file could not be written (the user was told why)
    Abandoned, // the queries were dropped: nothing was written
};

// One value of a settings file.
struct SavedSetting {
    std::string code; // four characters
    std::int32_t value = 0;
};

// The text of a settings file, as OpenSettingsFile reads it: the projector name on the first line,
// then one set command per line, code + "%4d" of its value; every line ended by CR LF. Settings
// whose value does not fit in four columns are not written.
std::string FormatSettingsFile(std::string_view projectorName,
                               const std::vector<SavedSetting>& settings);

// Saves the projector's settings into a settings file. Start asks the projector for the value of
// every code of the model's save lists; Poll, called after each Service of the link, writes the
// file once every query has ended. Loading the file with OpenSettingsFile sets the projector back
// to the saved values.
class CSettingsSave {
public:
    // Queues a query "CODE????\r" (Value, no pause, like the other status queries) on the current
    // port for every code of the model's save lists from their read positions on: saveCommands,
    // then saveCommands2, each code once, in list order (PrepareSettingsSave rewinds them to
    // their first items). A save that was running is forgotten. False, and nothing started, when
    // there is no open current port.
    bool Start(CProjectorLink& link, std::string path, std::string projectorName);

    // Call after every Service of the link: a query's value is taken from the status table when
    // its end is first seen. Running while queries are pending. Once all have ended, writes the
    // file (safely: a temporary file renamed over the target) and returns Written, or Failed after
    // the file-error box. Codes the projector gave no value for are left out of the file and named
    // in message kMessageSavedWithout. Abandoned, with nothing written, when a query was dropped.
    // Idle when no save runs; after anything but Running the save is over.
    SaveState Poll(CProjectorLink& link, Notifier& notifier);

    // Ends a running save without writing anything (the link dropped its queue).
    void Abandon();

    bool Running() const { return running_; }
    const std::string& Path() const { return path_; }

private:
    struct Query {
        explicit Query(std::string c) : code(std::move(c)) {}
        std::string code;
        CommandId id = 0;
        bool ended = false;
        std::int32_t value = kNoValue; // what the projector answered, once ended
    };

    // Notes the end of every query that ended since the last look; false when one was dropped.
    bool CollectAnswers(const CProjectorLink& link);
    SaveState Write(Notifier& notifier);

    bool running_ = false;
    std::string path_;
    std::string projectorName_;
    std::vector<Query> queries_;
};

} // namespace tonedesk
