#pragma once

#include "support/Notifier.h"

namespace tonedesk {

// Tells the user with message boxes whose texts come from the current bundle's string table, and
// shows the program's work with override cursors.
class MessageNotifier final : public Notifier {
public:
    ~MessageNotifier() override;
    void Message(int stringId, const std::string& argument = {}) override;
    void FileError(const std::string& fileName, const std::string& reason) override;
    void SetCursorShape(CursorShape shape) override;

private:
    bool overriding_ = false;
};

} // namespace tonedesk
