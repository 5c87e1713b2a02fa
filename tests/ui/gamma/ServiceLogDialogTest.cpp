#include "ui/gamma/ServiceLogDialog.h"
#include "GammaDialogFixture.h"
#include "link/ServiceLog.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace tonedesk::test {
namespace {

class ServiceLogDialogTest : public GammaDialogTest {
protected:
    std::string Joined() const {
        std::string text;
        for (const std::string& l : log.Lines()) {
            text += l + '\n';
        }
        return text;
    }

    ServiceLog log{clock, [] { return std::int64_t{1796722321123}; }};
};

TEST_F(ServiceLogDialogTest, ButtonWorksOnlyWithALog) {
    QWidget* button = Control(kGammaServiceLog);
    ASSERT_NE(button, nullptr) << "the editor's form has no Service log... button";
    Settle();
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(dialog->OnCommand(kGammaServiceLog));
    dialog->SetServiceLog(&log);
    EXPECT_TRUE(button->isEnabled());
}

// The dialog shows the lines of a gamma write and saves exactly them; a cancelled or failed
// save writes nothing.
TEST_F(ServiceLogDialogTest, ShowsTheWriteAndSavesItsLines) {
    link.SetExchangeSink(log.Sink());
    Settle();
    Click(kGammaWriteAll);
    Settle();
    ASSERT_GE(log.Lines().size(), 24u); // six announces and blocks, each answered

    CServiceLogDialog view(log, prompts, notifier);
    const std::string shown = view.TextBox()->toPlainText().toStdString() + '\n';
    EXPECT_EQ(shown, Joined());
    EXPECT_NE(shown.find("COM1 >> gamma block 5, 257 bytes, checksum ok\n"), std::string::npos)
        << shown;

    const std::string saved = (temp.Path() / "session.log").string();
    const std::string unwritable = (temp.Path() / "gone" / "session.log").string();
    prompts.answers = {std::nullopt, unwritable, saved};
    EXPECT_FALSE(view.SaveAs()); // cancelled
    EXPECT_TRUE(notifier.fileErrors.empty());
    EXPECT_FALSE(view.SaveAs());
    ASSERT_EQ(notifier.fileErrors.size(), 1u);
    EXPECT_EQ(notifier.fileErrors[0].fileName, unwritable);
    view.SaveButton()->click();
    EXPECT_EQ(TempDir::Read(saved), Joined());
}

} // namespace
} // namespace tonedesk::test
