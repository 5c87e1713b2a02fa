#pragma once

#include <string>

namespace tonedesk {

// Mouse cursor shapes the program shows while it works.
enum class CursorShape {
    Arrow,       // idle
    AppStarting, // commands are queued and run in the background
    Wait,        // the user has to wait
};

// How the core reaches the user. The widgets show message boxes whose texts come from the
// string table of the resource bundle; tests record the calls.
class Notifier {
public:
    virtual ~Notifier() = default;

    // A message box with an OK button; `stringId` names the text in the string table, and
    // `argument`, when not empty, fills its printf-style placeholder.
    virtual void Message(int stringId, const std::string& argument = {}) = 0;

    // The file-error box: which file and the system's reason (for example "No such file or
    // directory").
    virtual void FileError(const std::string& fileName, const std::string& reason) = 0;

    // The cursor the program shows; the core says when it has queued work.
    virtual void SetCursorShape(CursorShape) {}
};

// A notifier that tells nobody: for tools that report by other means.
class SilentNotifier final : public Notifier {
public:
    void Message(int, const std::string&) override {}
    void FileError(const std::string&, const std::string&) override {}
};

} // namespace tonedesk
