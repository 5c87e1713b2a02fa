#include "common/GuiTestKit.h"

#include "ui/widgets/ReceivedTextDialog.h"

#include <QPlainTextEdit>
#include <QTimer>

namespace tonedesk::test {
namespace {

// The port's text answer as the link keeps it: lines joined by CR LF, a 0 byte after the last.
ByteBuffer Answer(const std::string& lines) {
    ByteBuffer b(lines.begin(), lines.end());
    b.push_back(0);
    return b;
}

class ReceivedTextDialogTest : public GuiTest {
protected:
    ByteBuffer answer;
    bool havePort = true;
    CReceivedTextDialog dialog{[this]() { return havePort ? &answer : nullptr; }};
};

TEST_F(ReceivedTextDialogTest, AppendsTheAnswerAsItGrows) {
    EXPECT_EQ(dialog.Timer().interval(), 10);
    EXPECT_TRUE(dialog.Timer().isActive());
    dialog.Refresh();
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QString());

    answer = Answer("X");
    dialog.Refresh();
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QStringLiteral("X"));
    EXPECT_EQ(dialog.Shown(), 2);

    dialog.Refresh(); // nothing new
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QStringLiteral("X"));

    answer = Answer("X\r\nY");
    dialog.Refresh();
    answer = Answer("X\r\nY\r\nZ");
    dialog.Refresh();
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QStringLiteral("X\nY\nZ"));
    EXPECT_EQ(dialog.Shown(), 8);
}

TEST_F(ReceivedTextDialogTest, ShowsACompleteAnswerWholeAtTheFirstLook) {
    answer = Answer("first\r\nsecond\r\nthird");
    dialog.Refresh();
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QStringLiteral("first\nsecond\nthird"));
}

TEST_F(ReceivedTextDialogTest, AShrinkingAnswerIsShownFromItsStart) {
    answer = Answer("old line\r\nmore");
    dialog.Refresh();
    answer = Answer("new");
    dialog.Refresh();
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QStringLiteral("new"));
    answer = Answer("new\r\nnext");
    dialog.Refresh();
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QStringLiteral("new\nnext"));
}

TEST_F(ReceivedTextDialogTest, WithoutAPortNothingIsShownAndTheDialogCloses) {
    havePort = false;
    dialog.Refresh();
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QString());
    QTimer::singleShot(30, &dialog, &QDialog::accept);
    EXPECT_EQ(dialog.DoModal(), QDialog::Accepted);
}

TEST_F(ReceivedTextDialogTest, TimerAppendsWhileTheDialogRuns) {
    QTimer::singleShot(0, [this]() { answer = Answer("A"); });
    QTimer::singleShot(40, [this]() { answer = Answer("A\r\nB"); });
    QTimer::singleShot(100, &dialog, &QDialog::accept);
    dialog.DoModal();
    EXPECT_EQ(dialog.TextBox()->toPlainText(), QStringLiteral("A\nB"));
}

} // namespace
} // namespace tonedesk::test
