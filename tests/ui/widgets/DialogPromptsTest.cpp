#include "common/GuiTestKit.h"

#include "ui/widgets/DialogPrompts.h"
#include "ui/widgets/FileSelectDialog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <functional>

namespace tonedesk::test {
namespace {

class DialogPromptsTest : public GuiTest {
protected:
    // Acts on the next modal window as soon as it is up.
    template <typename Window> void OnNextWindow(std::function<void(Window&)> act) {
        QTimer::singleShot(0, [act]() {
            auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            act(*window);
        });
    }

    DialogPrompts prompts;
    const std::string filter = "Settings files\t*.txt\tAll files\t*.*\t";
};

TEST_F(DialogPromptsTest, SaveDialogStartsInTheFolderAndCompletesTheTypedName) {
    const std::string folder = temp.Path().string() + "/";
    bool saving = false;
    QString startFolder;
    OnNextWindow<CFileSelectDialog>([&](CFileSelectDialog& dialog) {
        saving = dialog.acceptMode() == QFileDialog::AcceptSave;
        startFolder = QDir(dialog.directory()).absolutePath() + u'/';
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("lobby"));
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_EQ(prompts.ChooseFile(FileDialogMode::Save, filter, folder), folder + "lobby.txt");
    EXPECT_TRUE(saving);
    EXPECT_EQ(startFolder.toStdString(), folder);
}

TEST_F(DialogPromptsTest, CancelledOpenDialogChoosesNothing) {
    bool opening = false;
    OnNextWindow<CFileSelectDialog>([&](CFileSelectDialog& dialog) {
        opening = dialog.acceptMode() == QFileDialog::AcceptOpen;
        dialog.reject();
    });
    EXPECT_EQ(prompts.ChooseFile(FileDialogMode::Open, filter, ""), std::nullopt);
    EXPECT_TRUE(opening);
}

TEST_F(DialogPromptsTest, TextIsShownUnderTheApplicationsName) {
    QString title;
    QString text;
    OnNextWindow<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        box.accept();
    });
    prompts.ShowText(QStringLiteral("Failed to ReadModelFile\n"));
    EXPECT_EQ(title, QStringLiteral("Vanto Tonedesk"));
    EXPECT_EQ(text, QStringLiteral("Failed to ReadModelFile\n"));
}

} // namespace
} // namespace tonedesk::test
