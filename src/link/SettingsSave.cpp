#include "link/SettingsSave.h"

#include "support/FileReplace.h"
#include "support/Notifier.h"

#include <algorithm>

namespace tonedesk {

std::string FormatSettingsFile(std::string_view projectorName,
                               const std::vector<SavedSetting>& settings) {
    std::string text(projectorName);
    text += "\r\n";
    for (const SavedSetting& setting : settings) {
        std::string command = ValueCommand(setting.code, setting.value);
        if (setting.value == kNoValue || command.empty()) {
            continue;
        }
        text += command; // ends with CR
        text += '\n';
    }
    return text;
}

bool CSettingsSave::Start(CProjectorLink& link, std::string path, std::string projectorName) {
    running_ = false;
    queries_.clear();
    const PortEntry* port = link.CurrentPort();
    if (!port || !port->IsOpen()) {
        return false;
    }
    path_ = std::move(path);
    projectorName_ = std::move(projectorName);
    const CModelFile& model = link.Model();
    for (const CommandList* list : {&model.saveCommands, &model.saveCommands2}) {
        for (std::size_t i = list->readPosition; i < list->size(); ++i) {
            const std::string code(list->items[i].Code());
            const bool asked = std::any_of(queries_.begin(), queries_.end(),
                                           [&](const Query& q) { return q.code == code; });
            if (!asked) {
                Query& query = queries_.emplace_back(code);
                query.id = link.SendValue(code.c_str(), kNoValue, false);
                // A code the link cannot send (a NUL among its bytes) has no value to save.
                query.ended = query.id == 0;
            }
        }
    }
    running_ = true;
    return true;
}

bool CSettingsSave::CollectAnswers(const CProjectorLink& link) {
    for (Query& query : queries_) {
        if (query.ended) {
            continue;
        }
        const std::optional<CommandOutcome> outcome = link.Outcome(query.id);
        if (outcome && outcome->end == CommandEnd::Pending) {
            continue;
        }
        if (outcome && outcome->end == CommandEnd::Dropped) {
            return false;
        }
        query.ended = true;
        // The link keeps the answered value in the status table; an "OK", an "ERR" or a record
        // that is gone leaves no value of this query (an ERR stores kNoValue).
        if (!outcome || outcome->end == CommandEnd::Answered) {
            const auto* entry = link.Status().Find(CodeKey(query.code));
            query.value = entry ? entry->value : kNoValue;
        }
    }
    return true;
}

SaveState CSettingsSave::Poll(CProjectorLink& link, Notifier& notifier) {
    if (!running_) {
        return SaveState::Idle;
    }
    if (!CollectAnswers(link)) {
        Abandon();
        return SaveState::Abandoned;
    }
    if (std::any_of(queries_.begin(), queries_.end(), [](const Query& q) { return !q.ended; })) {
        return SaveState::Running;
    }
    running_ = false;
    return Write(notifier);
}

void CSettingsSave::Abandon() {
    running_ = false;
    queries_.clear();
}

SaveState CSettingsSave::Write(Notifier& notifier) {
    std::vector<SavedSetting> settings;
    std::string missing;
    for (const Query& query : queries_) {
        if (ValueCommand(query.code, query.value).empty() || query.value == kNoValue) {
            missing += (missing.empty() ? "" : ", ") + query.code;
        } else {
            settings.push_back({query.code, query.value});
        }
    }
    queries_.clear();
    if (WriteTextFile(path_, FormatSettingsFile(projectorName_, settings), notifier) != 0) {
        return SaveState::Failed;
    }
    if (!missing.empty()) {
        notifier.Message(kMessageSavedWithout, missing);
    }
    return SaveState::Written;
}

} // namespace tonedesk
