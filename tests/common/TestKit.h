#pragma once

#include "support/Notifier.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tonedesk::test {

// Records what the core tells the user.
class RecordingNotifier final : public Notifier {
public:
    struct FileErrorCall {
        std::string fileName;
        std::string reason;
    };
    void Message(int stringId, const std::string& argument) override {
        messages.push_back(stringId);
        arguments.push_back(argument);
    }
    void FileError(const std::string& fileName, const std::string& reason) override {
        fileErrors.push_back({fileName, reason});
    }
    void SetCursorShape(CursorShape shape) override { cursors.push_back(shape); }

    std::vector<int> messages;
    std::vector<std::string> arguments;
    std::vector<FileErrorCall> fileErrors;
    std::vector<CursorShape> cursors;
};

// A notifier that can act while its "message box" is open, as a real one runs an event loop.
class ScriptedNotifier final : public Notifier {
public:
    void Message(int stringId, const std::string& argument) override {
        recorder.Message(stringId, argument);
        if (whileShown) {
            whileShown();
        }
    }
    void FileError(const std::string& fileName, const std::string& reason) override {
        recorder.FileError(fileName, reason);
    }
    void SetCursorShape(CursorShape shape) override { recorder.SetCursorShape(shape); }

    RecordingNotifier recorder;
    std::function<void()> whileShown;
};

// A fresh folder below the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes a file below the folder and returns its full path.
    std::filesystem::path Write(const std::string& name, const std::string& content) const;
    // The whole content of a file.
    static std::string Read(const std::filesystem::path& file);

private:
    std::filesystem::path path_;
};

// Where a compiled resource bundle's names begin (its header's big-endian word at byte 16); its
// tree follows them to the end of the file.
std::size_t BundleNamesOffset(const std::string& bundle);

// The text of a calibration (.cal) file with these data rows, one a line, under the fields named
// (four of them); `keywords` go into the header, when given.
std::string CalFileText(const std::string& rows, const std::string& keywords = {},
                        const std::string& fields = "RGB_I RGB_R RGB_G RGB_B");

} // namespace tonedesk::test
