#pragma once

// Shared ground of the widget tests: a QApplication on the offscreen platform, a temporary
// profile folder (XDG_CONFIG_HOME) and runtime folder (XDG_RUNTIME_DIR) for the whole run, the
// program's resource bundle as the current bundle, temporary files and ready windows, and a
// recording stand-in for the file dialogs and message boxes.

#include "common/TestKit.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tonedesk::test {

// The folder of the built programs and the bundle lumidesk.rcc.
QString ProgramDir();
// The program's bundle, loaded once for the test run.
const ResourceBundle& ProgramBundle();
// The temporary folders of this run.
QString ConfigHome();
QString RuntimeDir();

// Answers file dialogs from a script (then cancels) and records every question and text.
class RecordingPrompts final : public UserPrompts {
public:
    struct Ask {
        bool open; // an open dialog, else a save dialog
        std::string filter;
        std::string initialPath;
        QString title;
    };
    struct Question {
        QString text;
        QString caption;
    };

    std::optional<std::string> ChooseFile(FileDialogMode mode, const std::string& filterText,
                                          const std::string& initialPath, const QString& title = {},
                                          int* fileType = nullptr) override;
    void ShowText(const QString& text, const QString& caption = {}) override {
        shown.push_back(text);
        shownCaptions.push_back(caption);
    }
    bool AskYesNo(const QString& text, const QString& caption = {}) override;

    std::deque<std::optional<std::string>> answers; // the user's choices, in order
    std::deque<int> fileTypes; // the file type selected with each choice; 1 when none is left
    std::vector<Ask> asked;
    std::vector<QString> shown;
    std::vector<QString> shownCaptions; // beside `shown`, empty for the default caption
    std::deque<bool> replies;           // answers to the questions, in order; No when none is left
    std::vector<Question> questions;
};

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows a window and waits until it is exposed.
    static void ShowReady(QWidget& window);
    // Writes a file into the test's temporary folder; its full path.
    std::string WriteFile(const std::string& name, const std::string& content) {
        return temp.Write(name, content).string();
    }

    TempDir temp;
};

} // namespace tonedesk::test
