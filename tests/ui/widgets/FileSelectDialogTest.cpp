#include "common/GuiTestKit.h"

#include "ui/widgets/FileSelectDialog.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

namespace tonedesk::test {
namespace {

const std::vector<std::string> kGamIni = {"*.gam", "*.ini"};

class FileSelectDialogTest : public GuiTest {};

TEST_F(FileSelectDialogTest, SetupSplitsTheInitialPathAndSelectsTheFirstType) {
    CFileSelectDialog dialog(true, kHideReadOnly | kNoTestFileCreate);
    const std::string folder = temp.Path().string() + "/";
    dialog.SetupDialog(QString(), "Gamma files\t*.gam\tModel files\t*.ini\t", folder, 0);
    EXPECT_EQ(dialog.Patterns(), kGamIni);
    EXPECT_EQ(dialog.InitialFolder(), folder);
    EXPECT_EQ(dialog.InitialName(), "");
    EXPECT_EQ(dialog.PreferredExtension(), "");
    EXPECT_EQ(dialog.FileType(), 1);
    EXPECT_EQ(QDir(dialog.directory()).absolutePath().toStdString() + "/", folder);
    EXPECT_EQ(dialog.nameFilters().size(), 2);

    CFileSelectDialog second(false, kHideReadOnly);
    second.SetupDialog(QStringLiteral("Save"), "A\t*.a\tB\t*.b\t", "", 1);
    EXPECT_EQ(second.FileType(), 2);
    EXPECT_EQ(second.PreferredExtension(), "*");
    EXPECT_EQ(second.windowTitle(), QStringLiteral("Save"));
}

// A dialog that refuses the first name it is offered.
class RefusingDialog : public CFileSelectDialog {
public:
    RefusingDialog() : CFileSelectDialog(false, kHideReadOnly) {}
    int refusals = 1;
    std::vector<std::string> offered;
    void Confirm() { accept(); }

protected:
    int OnFileNameOK() override {
        offered.push_back(GetChosenPath());
        return refusals-- > 0 ? 1 : 0;
    }
};

TEST_F(FileSelectDialogTest, AcceptanceHookKeepsTheDialogOpenAndSeesTheCompletedName) {
    RefusingDialog dialog;
    const std::string folder = temp.Path().string() + "/";
    dialog.SetupDialog(QString(), "Gamma files\t*.gam\t", folder, 0);
    // Typed before the dialog takes the focus (a focused name field is left alone).
    dialog.selectFile(QStringLiteral("curve"));
    ShowReady(dialog);

    dialog.Confirm();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);

    dialog.Confirm();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(dialog.offered.size(), 2u);
    EXPECT_EQ(dialog.offered[0], folder + "curve.gam");
    EXPECT_EQ(dialog.GetChosenPath(), folder + "curve.gam");
}

TEST_F(FileSelectDialogTest, CancelReturnsRejected) {
    CFileSelectDialog dialog(true, kHideReadOnly);
    dialog.SetupDialog(QString(), "Gamma files\t*.gam\t", "", 0);
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    EXPECT_NE(dialog.DoModal(), QDialog::Accepted);
}

} // namespace
} // namespace tonedesk::test
