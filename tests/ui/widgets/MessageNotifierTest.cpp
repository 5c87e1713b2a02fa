#include "common/GuiTestKit.h"

#include "ui/widgets/MessageNotifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace tonedesk::test {
namespace {

class MessageNotifierTest : public GuiTest {
protected:
    // Closes the next message box as soon as it is up and keeps its title and text.
    void CloseNextBox() {
        QTimer::singleShot(0, [this]() {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            box->accept();
        });
    }

    MessageNotifier notifier;
    QString title;
    QString text;
};

TEST_F(MessageNotifierTest, ShowsTheStringOfItsIdFormattedWithTheArgument) {
    CloseNextBox();
    notifier.Message(4104, "curve.gam");
    EXPECT_EQ(title, QStringLiteral("Vanto Tonedesk"));
    EXPECT_EQ(text, FormatMessageText(LoadString(4104), QStringLiteral("curve.gam")));
    EXPECT_TRUE(text.startsWith(QStringLiteral("curve.gam")));

    CloseNextBox();
    notifier.Message(4098);
    EXPECT_EQ(text, LoadString(4098));
}

TEST_F(MessageNotifierTest, FileErrorNamesTheFileAndTheReason) {
    CloseNextBox();
    notifier.FileError("/data/a.gam", "Permission denied");
    EXPECT_TRUE(text.contains(QStringLiteral("/data/a.gam")));
    EXPECT_TRUE(text.contains(QStringLiteral("Permission denied")));
}

// The link hints at its work with every command it queues; the program's cursor follows the
// link's state from one owner instead, so the hints must not set a cursor nobody takes away.
TEST_F(MessageNotifierTest, CursorHintsLeaveTheProgramsCursorAlone) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    for (const CursorShape shape : {CursorShape::AppStarting, CursorShape::Wait}) {
        notifier.SetCursorShape(shape);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

} // namespace
} // namespace tonedesk::test
