#include "common/GuiTestKit.h"

#include "support/ui/FileSelectDialog.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

namespace tonedesk::test {
namespace {

const std::vector<std::string> kGamIni = {"*.gam", "*.ini"};

TEST(FileFilterTest, SplitsTabSeparatedPairs) {
    const auto one = ParseFilterText("Gamma files\t*.gam\t");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].description, "Gamma files");
    EXPECT_EQ(one[0].pattern, "*.gam");

    const auto two = ParseFilterText("A\t*.a\tB\t*.b\t");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].pattern, "*.b");

    // Without the final TAB the last pattern is not complete.
    EXPECT_EQ(ParseFilterText("A\t*.a\tB\t*.b").size(), 1u);
    EXPECT_TRUE(ParseFilterText("").empty());
    EXPECT_TRUE(ParseFilterText("only a description\t").empty());
}

TEST(FileFilterTest, PatternExtensions) {
    EXPECT_EQ(PatternExtension("*.gam", "x"), "gam");
    EXPECT_EQ(PatternExtension("*.*", "*"), "*");
    EXPECT_EQ(PatternExtension("*.*", "txt"), "txt");
    EXPECT_EQ(PatternExtension("*", "txt"), "");
}

TEST(FileFilterTest, CompletesTheChosenName) {
    struct Case {
        const char* typed;
        const char* preferred;
        int fileType;
        std::vector<std::string> patterns;
        const char* expected;
    };
    const std::vector<Case> cases = {
        // Started in a remembered folder (/data/): no preferred extension.
        {"/data/curve", "", 1, kGamIni, "/data/curve.gam"},
        {"/data/curve.txt", "", 1, kGamIni, "/data/curve.txt"},
        {"/data/curve.ini", "", 1, kGamIni, "/data/curve.ini"},
        {"/data/curve", "", 2, kGamIni, "/data/curve.ini"},
        // Started without an initial path: preferred extension "*".
        {"/work/curve", "*", 1, kGamIni, "/work/curve.gam"},
        {"/work/curve.ini", "*", 1, kGamIni, "/work/curve.gam"},
        {"/work/curve.INI", "*", 1, kGamIni, "/work/curve.gam"},
        {"/work/curve.txt", "*", 1, kGamIni, "/work/curve.txt.gam"},
        // An "all files" entry stands for the preferred extension, and a wildcard is never
        // written into a name.
        {"/work/notes", "*", 2, {"*.txt", "*.*"}, "/work/notes"},
        {"/work/notes.cfg", "*", 2, {"*.txt", "*.*"}, "/work/notes.cfg"},
        {"/work/notes.txt", "*", 2, {"*.txt", "*.*"}, "/work/notes.txt"},
        {"/work/notes.cfg", "txt", 2, {"*.txt", "*.*"}, "/work/notes.cfg.txt"},
        {"/work/notes", "", 2, {"*.txt", "*.*"}, "/work/notes"},
        // Dots in folder names are not extensions.
        {"/my.data/curve", "", 1, kGamIni, "/my.data/curve.gam"},
        {"/data/curve.", "", 1, kGamIni, "/data/curve.gam"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " pref " + c.preferred);
        EXPECT_EQ(CompleteChosenPath(c.typed, c.patterns, c.preferred, c.fileType), c.expected);
    }
}

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
