#include "app/ConnectDialog.h"
#include "app/ConnectTestKit.h"
#include "app/ModelInstaller.h"
#include "link/PortAccess.h"
#include "support/FileRead.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <filesystem>

namespace tonedesk::test {
namespace {

// The dialog on a frame whose link the test services by hand, on virtual time; the 50 ms tick
// is called by the test as well.
class ConnectDialogTest : public ConnectTest {
protected:
    // The dialog joins the scan that start-up began.
    CConnectDialog& Open() {
        frame.Link().ScanPorts();
        dialog = std::make_unique<CConnectDialog>(frame, ports);
        return *dialog;
    }
    // Services the link (1 ms a pass) with a tick of the dialog every 50 passes, until the scan
    // has ended and the dialog has seen it.
    void ScanToEnd() {
        for (int pass = 1; pass < 100000 && frame.Link().Scanning(); ++pass) {
            frame.Link().Service();
            clock.Advance(1);
            if (pass % 50 == 0) {
                dialog->OnTimer();
            }
        }
        dialog->OnTimer();
    }
    QComboBox& List() const { return *Control<QComboBox>(kConnectProjectorList); }
    QPushButton& Button(int id) const { return *Control<QPushButton>(id); }
    template <typename T> T* Control(int id) const {
        auto* control = dialog->findChild<T*>(ControlName(id));
        EXPECT_NE(control, nullptr) << id;
        return control;
    }
    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (int i = 0; i < List().count(); ++i) {
            texts.push_back(List().itemText(i));
        }
        return texts;
    }

    std::unique_ptr<CConnectDialog> dialog;
};

TEST_F(ConnectDialogTest, ProjectorsAreListedInPortOrderAndOkChoosesTheSelectedPort) {
    Projector(11, "BETA-11", 38400);
    Projector(2, "ALPHA-2");
    Model("ALPHA-2");
    Model("BETA-11");
    Open();
    EXPECT_TRUE(dialog->IsBuilt());
    EXPECT_TRUE(dialog->isWindow());
    EXPECT_EQ(dialog->parentWidget(), nullptr);

    // COM2 answers at once, COM11 only after the 9600 attempts failed: the first text is
    // selected, and the later one leaves the selection alone.
    for (int pass = 0; pass < 50 && List().count() == 0; ++pass) {
        frame.Link().Service();
        dialog->OnTimer();
    }
    ASSERT_EQ(Texts(), std::vector<QString>{"COM2 / ALPHA-2 / 9600"});
    EXPECT_EQ(List().currentIndex(), 0);
    EXPECT_TRUE(Button(1).isEnabled());
    EXPECT_FALSE(Button(kConnectRescan).isEnabled()) << "the scan runs";
    EXPECT_EQ(dialog->cursor().shape(), Qt::BusyCursor);
    ScanToEnd();
    EXPECT_EQ(Texts(), (std::vector<QString>{"COM2 / ALPHA-2 / 9600", "COM11 / BETA-11 / 38400"}));
    EXPECT_EQ(List().currentIndex(), 0);
    EXPECT_EQ(List().itemData(1, Qt::ToolTipRole).toString(), "fake:COM11");
    EXPECT_TRUE(Button(kConnectRescan).isEnabled());
    EXPECT_EQ(dialog->cursor().shape(), Qt::ArrowCursor);

    List().setCurrentIndex(1);
    Button(1).click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_NE(dialog->ChosenPort(), nullptr);
    EXPECT_EQ(dialog->ChosenPort()->ComNumber(), 11);
    EXPECT_EQ(&frame.Link().Ports()[static_cast<std::size_t>(dialog->ChosenEntry())],
              dialog->ChosenPort());
    EXPECT_TRUE(notifier.recorder.messages.empty());
}

TEST_F(ConnectDialogTest, OkEndsTheScanAtOnce) {
    Projector(3, "GAMMA-3", 38400);
    Projector(1, "ALPHA-1");
    Model("GAMMA-3");
    Model("ALPHA-1");
    Open();
    for (int pass = 0; pass < 50 && List().count() == 0; ++pass) {
        frame.Link().Service();
        dialog->OnTimer();
    }
    ASSERT_TRUE(frame.Link().Scanning()) << "COM3 is still being probed";
    Button(1).click();
    EXPECT_FALSE(frame.Link().Scanning());
    EXPECT_EQ(dialog->ChosenPort()->ComNumber(), 1);
    EXPECT_EQ(dialog->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ConnectDialogTest, TextNamesPortProjectorAndRate) {
    Projector(3, "DEMO-100", 38400);
    Model("DEMO-100");
    Open();
    ScanToEnd();
    EXPECT_EQ(Texts(), std::vector<QString>{"COM3 / DEMO-100 / 38400"});
    EXPECT_EQ(List().itemData(0, Qt::ToolTipRole).toString(), "fake:COM3");
}

TEST_F(ConnectDialogTest, WithoutAnyPortTheListStaysEmptyAndOkDisabledUntilARescan) {
    Open();
    ScanToEnd();
    EXPECT_TRUE(dialog->IsBuilt());
    EXPECT_EQ(List().count(), 0);
    EXPECT_FALSE(List().isEnabled());
    EXPECT_FALSE(Button(1).isEnabled());
    EXPECT_TRUE(Button(kConnectRescan).isEnabled());
    Button(1).click();
    EXPECT_EQ(dialog->ChosenEntry(), -1);

    // A projector plugged in meanwhile is found by a new scan, which the frame's timer drives.
    Projector(6, "ALPHA-6");
    Model("ALPHA-6");
    Button(kConnectRescan).click();
    EXPECT_TRUE(frame.Link().Scanning());
    EXPECT_TRUE(frame.ServiceTimer().isActive());
    EXPECT_FALSE(Button(kConnectRescan).isEnabled());
    EXPECT_EQ(dialog->cursor().shape(), Qt::BusyCursor);
    ScanToEnd();
    EXPECT_EQ(Texts(), std::vector<QString>{"COM6 / ALPHA-6 / 9600"});
    EXPECT_TRUE(Button(1).isEnabled());
}

// A projector without a model file is left out until the user installs one; the next refresh
// lists it without probing again.
TEST_F(ConnectDialogTest, ModelInstalledFromTheDialogListsItsProjectorWithoutANewScan) {
    const auto line = Projector(4, "GAMMA-4");
    Open();
    ScanToEnd();
    EXPECT_EQ(List().count(), 0);
    const std::size_t opened = ports.openAttempts.size();

    const std::string source = WriteFile("source/GAMMA-4.ini", ModelText("GAMMA-4"));
    WriteFile("source/GAMMA-4/cstrgb.gam", "rgb");
    WriteFile("source/GAMMA-4/cstvideo.gam", "video");
    prompts.answers = {source};
    Button(kConnectInstallModel).click();
    EXPECT_TRUE(std::filesystem::exists(models / "GAMMA-4.ini"));
    EXPECT_EQ(prompts.shown,
              std::vector<QString>{FormatMessageText(
                  LoadString(kStringModelInstalled),
                  QString::fromStdString(models.string()) +
                      "/:\n\nGAMMA-4.ini\nGAMMA-4/cstrgb.gam\nGAMMA-4/cstvideo.gam")});
    EXPECT_EQ(Texts(), std::vector<QString>{"COM4 / GAMMA-4 / 9600"});
    EXPECT_EQ(List().currentIndex(), 0);
    EXPECT_TRUE(Button(1).isEnabled());
    EXPECT_EQ(ports.openAttempts.size(), opened);
    EXPECT_EQ(line->openCount, 1);
}

// A faulty model file is reported at every refresh, once: a tick that comes while the message
// is shown is ignored. Once corrected, the projector is listed.
TEST_F(ConnectDialogTest, FaultyModelIsReportedAtEachRefreshUntilCorrected) {
    Projector(5, "DELTA-5");
    WriteFile("models/DELTA-5.ini", ModelText("DELTA-5") + "[TAB]\nID=1\n[TAB]\nID=1\n");
    Open();
    // A message box runs an event loop: the next tick comes while it is shown.
    const std::vector<int>& messages = notifier.recorder.messages;
    std::size_t nested = 0;
    notifier.whileShown = [&] {
        const std::size_t before = messages.size();
        dialog->OnTimer();
        nested += messages.size() - before;
    };
    ScanToEnd();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages, std::vector<int>(messages.size(), kMessageFaultyModel));
    EXPECT_EQ(nested, 0u);
    const std::size_t shown = messages.size();
    dialog->Refresh();
    EXPECT_EQ(messages.size(), shown + 1);
    EXPECT_EQ(List().count(), 0);

    notifier.whileShown = {};
    Model("DELTA-5");
    dialog->Refresh();
    EXPECT_EQ(messages.size(), shown + 1);
    EXPECT_EQ(Texts(), std::vector<QString>{"COM5 / DELTA-5 / 9600"});
}

// A model file that cannot be read hides none after it; it is named under the list, as is a file
// left for a repeated identifier, until a new scan finds them gone.
TEST_F(ConnectDialogTest, ModelFilesPassedOverAreNamedUnderTheList) {
    Projector(1, "ALPHA-1");
    Projector(2, "ZETA-2");
    std::filesystem::create_symlink("gone.ini", models / "0.ini");
    Model("ALPHA-1");
    WriteFile("models/ZETA.ini", ModelText("ZETA") + "[TAB]\nID=1\n[TAB]\nID=1\n");
    Open();
    QLabel& note = *Control<QLabel>(kConnectPassedOverNote);
    EXPECT_FALSE(note.isVisibleTo(dialog.get()));
    ScanToEnd();
    EXPECT_EQ(Texts(), std::vector<QString>{"COM1 / ALPHA-1 / 9600"});
    EXPECT_TRUE(note.isVisibleTo(dialog.get()));
    const QStringList lines = note.text().split(u'\n');
    ASSERT_EQ(lines.size(), 3) << note.text().toStdString();
    EXPECT_EQ(lines[0], LoadString(kStringModelFilesPassedOver));
    const QString folder = QString::fromStdString(models.string() + "/");
    EXPECT_EQ(lines[1], folder + "0.ini: " + QString::fromStdString(FileReadReason(ENOENT)));
    EXPECT_EQ(lines[2], folder + "ZETA.ini: " + LoadString(kStringRepeatsIdentifier));

    std::filesystem::remove(models / "0.ini");
    std::filesystem::remove(models / "ZETA.ini");
    Button(kConnectRescan).click();
    EXPECT_FALSE(note.isVisibleTo(dialog.get()));
    ScanToEnd();
    EXPECT_FALSE(note.isVisibleTo(dialog.get()));
}

// Ports the scan was not let open are explained once, when the scan has found nothing; a port that
// failed otherwise is not counted, and a projector that answers shows access works.
TEST_F(ConnectDialogTest, DeniedPortsAreExplainedOnceWhenNoProjectorAnswered) {
    for (const int com : {2, 3, 6}) {
        const auto line = ports.AddLine(com);
        line->refuseOpen = true;
        line->refusal = com == 6 ? PortOpenError::kFailed : PortOpenError::kAccessDenied;
    }
    const RecordingNotifier& shown = notifier.recorder;
    Open();
    ScanToEnd();
    dialog->OnTimer();
    ASSERT_EQ(shown.messages, std::vector<int>{kMessagePortAccess});
    EXPECT_EQ(shown.arguments[0],
              PortAccessAdvice(std::vector<std::string>{"fake:COM2", "fake:COM3"}));
    EXPECT_NE(shown.arguments[0].find("sudo usermod -aG dialout $USER"), std::string::npos);

    Projector(4, "EPS-4");
    Button(kConnectRescan).click();
    ScanToEnd();
    EXPECT_EQ(shown.messages.size(), 1u);
}

} // namespace
} // namespace tonedesk::test
