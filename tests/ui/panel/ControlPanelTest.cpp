#include "common/FakeSerialPort.h"
#include "common/GuiTestKit.h"

#include "support/Settings.h"
#include "ui/panel/ControlPanelHost.h"
#include "ui/panel/ControlPanelTables.h"
#include "ui/panel/ControlSheet.h"
#include "ui/panel/TabPage.h"
#include "ui/widgets/BitmapStatic.h"
#include "ui/widgets/RepeatButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <climits>
#include <map>

namespace tonedesk::test {
namespace {

// Tab 500 holds one control of every kind, 501 a tab that shows a pattern while it is open, 502
// a tab whose bundle file is missing.
constexpr char kModel[] = R"([PROPERTY]
PROJECTOR_NAME=PANEL-1
AUTORECVELAPSE=5

[TAB]
ID=500
RESOURCEFILE=panel.rcc

[CHECK]
ID=1001
COMMAND=MUTE,1,MUTE,0

[COMBOBOX]
ID=1002
COMMAND=INPT,0,INPT,1,INPT,2
COMMAND2=SRCE,10,SRCE,11,SRCE,12

[SLIDER BAR]
ID=1003
MAX=1000
INCREMENT=10
COMMAND=BRIT

[SPINBUTTON]
ID=1004
MIN=-40
MAX=40
INCREMENT=0
COMMAND=KEYS

[EDIT]
ID=1005
MAX=100
COMMAND=VOLM

[BUTTON]
ID=1006
ELAPSE=200
COMMAND=FOCN,1

[BUTTON]
ID=1007
MODE=2
RELATE=1003,1004,1101

[BUTTON]
ID=1008
COMMAND=POWR,0
DISABLE=POWR,0

[BUTTON]
ID=1009
COMMAND=PATT,1
RELOAD=INPT,VOLM
RELATE=

[STATUS]
ID=1010

[STATUSBUTTON]
ID=1011
MODE=2
COMMAND=TLOG,1

[RADIO]
ID=1012
COMMAND=INPT,1

[BUTTON]
ID=1013
COMMAND=LAMP

[TAB]
ID=501
RESOURCEFILE=panel.rcc
COMMAND=PATT
COMMAND2=PATT,1

[COMBOBOX]
ID=1101
MODE=1
COMMAND=PATT,0,PATT,1,PATT,2

[TAB]
ID=502
RESOURCEFILE=missing.rcc

[CHECK]
ID=1201
COMMAND=MOUT,1,MOUT,0
)";

class PanelHost final : public ControlPanelHost {
public:
    PanelHost(CProjectorLink& link, const Clock& clock) : link_(link), clock_(clock) {}
    CProjectorLink& PanelLink() override { return link_; }
    std::int32_t PanelInteractionBits() const override { return bits; }
    void SetPanelDragging(bool dragging) override { bits = dragging ? bits | 1 : bits & ~1; }
    const Clock& PanelClock() const override { return clock_; }
    UserPrompts& PanelPrompts() override { return prompts; }
    Notifier& PanelNotifier() override { return notifier; }
    bool RunPanelCommand(int command) override {
        commands.push_back(command);
        return true;
    }
    bool IsPanelCommandEnabled(int) override { return commandsEnabled; }
    void RunReceivedTextDialog() override {
        const PortEntry* port = link_.CurrentPort();
        textAnswerAtDialog.push_back(port ? port->textAnswer.size() : 99);
    }

    std::int32_t bits = 0;
    RecordingPrompts prompts;
    RecordingNotifier notifier;
    std::vector<int> commands;
    bool commandsEnabled = false;
    std::vector<std::size_t> textAnswerAtDialog;

private:
    CProjectorLink& link_;
    const Clock& clock_;
};

struct Queued {
    std::string text;
    AnswerKind kind;
    std::int32_t pause;
    bool operator==(const Queued&) const = default;
};

void PrintTo(const Queued& q, std::ostream* out) {
    *out << '"' << q.text.substr(0, 8) << "\" kind " << static_cast<int>(q.kind) << " pause "
         << q.pause;
}

Queued Set(const std::string& text) {
    return {text + "\r", AnswerKind::Plain, 0};
}
Queued Ask(const std::string& code) {
    return {code + "????\r", AnswerKind::Value, 0};
}

class ControlPanelTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        settings.SetInt(kPortsSection, "SYSTEM", 0);
        line = ports.AddLine(3);
        link.StopScanning();
        port = link.UsePort(3);
        ASSERT_NE(port, nullptr);
        WriteFile("panel.ini", kModel);
        link.Model().SetFolder(temp.Path().string() + "/");
        ASSERT_EQ(link.Model().ReadModelFile("PANEL-1"), ModelLookup::Found);
        clock.Set(100000);
        tables.Prepare(link.Model());
        tables.AddBundle("panel.rcc", ResourceBundle::Embedded(QStringLiteral(":/panel-test")));
        sheet = std::make_unique<CControlSheet>(host, tables);
    }
    void TearDown() override {
        sheet.reset();
        GuiTest::TearDown();
    }

    // Shows the sheet at tab `index`; its page's timer is driven by the test, and its poll
    // waits as if a cycle had just ended.
    void Open(int index = 0) {
        sheet->Tabs()->setCurrentIndex(index);
        sheet->show();
        page = sheet->ActivePage();
        ASSERT_NE(page, nullptr);
        page->Timer().stop();
        page->refreshStamp = clock.Now();
    }
    template <typename T> T* Item(int id) { return qobject_cast<T*>(page->Item(id)); }
    std::int32_t& Status(const char* code) { return link.Status().FindOrAdd(CodeKey(code)).value; }

    // The commands waiting in the queue.
    std::vector<Queued> Waiting() const {
        std::vector<Queued> out;
        for (std::size_t i = port->cursor; i < port->commandQueue.size(); ++i) {
            const QueuedCommand& c = port->commandQueue[i];
            out.push_back(
                {std::string(reinterpret_cast<const char*>(port->sendBuffer.data()) + c.offset,
                             static_cast<std::size_t>(c.length)),
                 c.kind, c.pause});
        }
        return out;
    }
    // The projector answers everything queued: a query with its value (ERR when it has none),
    // a set with OK.
    void Answer() {
        for (int i = 0; i < 2000 && link.IsBusy(); ++i) {
            clock.Advance(10);
            link.Service();
            if (!port->IsAwaitingAnswer() || !line->incoming.empty()) {
                continue;
            }
            if (*port->pendingKind == AnswerKind::Text) {
                line->Feed("done\x04");
                continue;
            }
            const std::string written = line->WrittenText();
            const std::string command = written.substr(written.size() - 9);
            const std::string code = command.substr(0, 4);
            if (command.substr(4, 4) == "????") {
                const auto it = projector.find(code);
                line->Feed(it != projector.end() ? std::to_string(it->second) + "\r" : "ERR\r");
            } else {
                projector[code] = std::stoi(command.substr(4, 4));
                line->Feed("OK\r");
            }
        }
        ASSERT_FALSE(link.IsBusy());
    }
    // Timer ticks, each after the projector answered what the last one queued.
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            Answer();
            page->OnTimer();
        }
    }

    MemorySettings settings;
    ManualClock clock;
    FakeSerialPortFactory ports;
    RecordingNotifier linkNotifier;
    CProjectorLink link{settings, clock, ports, linkNotifier};
    PanelHost host{link, clock};
    ControlPanelTables tables;
    std::unique_ptr<CControlSheet> sheet;
    std::shared_ptr<FakeLine> line;
    PortEntry* port = nullptr;
    CTabPage* page = nullptr;
    std::map<std::string, int> projector{{"POWR", 1}, {"MOUT", 0}};
};

TEST_F(ControlPanelTest, PlainCheckBoxSendsTheOtherPositionAndFollowsOnlyTheProjector) {
    Status("MUTE") = 1;
    Open();
    auto* mute = Item<QCheckBox>(1001);
    EXPECT_TRUE(mute->isChecked());

    mute->click(); // checked: position 1, MUTE 0
    EXPECT_EQ(Waiting(), (std::vector{Set("MUTE   0"), Ask("MUTE")}));
    EXPECT_TRUE(mute->isChecked()) << "the click itself does not toggle it";
    Tick(); // the projector's answer shows at the next idle tick
    EXPECT_FALSE(mute->isChecked());

    mute->click();
    EXPECT_EQ(Waiting(), (std::vector{Set("MUTE   1"), Ask("MUTE")}));
    Tick();
    EXPECT_TRUE(mute->isChecked());
}

TEST_F(ControlPanelTest, ComboBoxShowsTheMatchingPositionAndSendsEveryListsItemOfTheSelection) {
    Status("INPT") = 2;
    Status("SRCE") = 12;
    Open();
    auto* combo = Item<QComboBox>(1002);
    EXPECT_EQ(combo->currentIndex(), 2);
    Status("SRCE") = 11; // no position matches every list
    page->RefreshForCode("SRCE");
    EXPECT_EQ(combo->currentIndex(), 0);

    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(Waiting(), (std::vector{Set("INPT   1"), Ask("INPT"), Set("SRCE  11"), Ask("SRCE")}));
    Answer();
    combo->setCurrentIndex(0); // the first entry sends like any other
    emit combo->activated(0);
    EXPECT_EQ(Waiting(), (std::vector{Set("INPT   0"), Ask("INPT"), Set("SRCE  10"), Ask("SRCE")}));
}

TEST_F(ControlPanelTest, SliderAndSpinScaleByTheirIncrement) {
    Status("BRIT") = 7;
    Status("KEYS") = 3;
    Open();
    auto* slider = Item<QSlider>(1003);
    auto* spin = Item<QSpinBox>(1004);
    EXPECT_EQ(slider->value(), 70);
    EXPECT_EQ(spin->value(), -3) << "INCREMENT 0 counts as 1";

    // A drag queries while it moves and sends the value at its end.
    slider->setSliderDown(true);
    slider->setSliderPosition(55);
    EXPECT_EQ(host.bits, 1);
    EXPECT_EQ(Waiting(), std::vector{Ask("BRIT")});
    slider->setSliderDown(false);
    EXPECT_EQ(host.bits, 0);
    EXPECT_EQ(Waiting(), (std::vector{Ask("BRIT"), Set("BRIT   5"), Ask("BRIT")}));
    Answer();

    spin->stepDown(); // -4
    EXPECT_EQ(Waiting(), (std::vector{Ask("KEYS"), Set("KEYS   4"), Ask("KEYS")}));
    EXPECT_EQ(host.bits, 0);
}

TEST_F(ControlPanelTest, SliderAtTheLowestPositionOfARangeDownToIntMinDoesNotOverflow) {
    ModelControl& brit = link.Model().tabs[0].controls[2];
    ASSERT_EQ(brit.id, 1003);
    brit.min = INT_MIN;
    brit.increment = -1;
    Open();
    auto* slider = Item<QSlider>(1003);
    ASSERT_EQ(slider->minimum(), INT_MIN);
    slider->triggerAction(QAbstractSlider::SliderToMinimum);
    // Its value, 2^31, has no four-column form: only the read-back queries go out.
    EXPECT_EQ(Waiting(), (std::vector{Ask("BRIT"), Ask("BRIT")}));
}

TEST_F(ControlPanelTest, EditCommitsAClampedNumberOnLeavingOnlyWhenItDiffers) {
    Status("VOLM") = 40;
    Open();
    ShowReady(*sheet);
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
    auto* edit = Item<QLineEdit>(1005);
    EXPECT_EQ(edit->text(), "40");

    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "150");
    EXPECT_EQ(page->editingControlId, 1005);
    // Typing holds the poll once a cycle has run.
    page->refreshStamp = clock.Now() - 6000;
    page->OnTimer();
    EXPECT_TRUE(Waiting().empty());

    Item<QWidget>(1003)->setFocus();
    EXPECT_EQ(page->editingControlId, -1);
    EXPECT_EQ(Waiting(), (std::vector{Set("VOLM 100"), Ask("VOLM")}));
    Answer();

    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "100");
    Item<QWidget>(1003)->setFocus();
    EXPECT_TRUE(Waiting().empty()) << "the projector holds 100 already";
}

TEST_F(ControlPanelTest, RepeatButtonHeldOneSecondSendsFiveTimesAndOnceMoreOnRelease) {
    Open();
    ShowReady(*sheet);
    auto* button = Item<QPushButton>(1006);
    auto* repeat = button->findChild<CRepeatButton*>();
    ASSERT_NE(repeat, nullptr);
    EXPECT_EQ(repeat->Interval(), 200);
    QTest::mousePress(button, Qt::LeftButton);
    clock.Advance(1000);
    repeat->PostDueRepeats();
    QTest::mouseRelease(button, Qt::LeftButton);
    QCoreApplication::processEvents();
    int sets = 0;
    for (const Queued& q : Waiting()) {
        sets += q == Set("FOCN   1") ? 1 : 0;
    }
    EXPECT_EQ(sets, 6);
}

TEST_F(ControlPanelTest, RelatedControlsSendTheirOwnStateWithTheOperatedControlsMode) {
    Status("BRIT") = 7;
    Status("KEYS") = 3;
    Open();
    Item<QPushButton>(1007)->click();
    // 1101 belongs to tab 501: nothing is sent for it, though this form has a widget of that
    // name (nor for 1001, which is at its position here).
    EXPECT_EQ(Waiting(), (std::vector<Queued>{{"BRIT   7\r", AnswerKind::Text, 0},
                                              {"KEYS   3\r", AnswerKind::Text, 0}}));
    Answer();

    // An empty RELATE relates to nothing: the control sends its own commands, then the reloads.
    EXPECT_TRUE(link.Model().tabs[0].controls[8].relatedIds.empty());
    Item<QPushButton>(1009)->click();
    EXPECT_EQ(Waiting(), (std::vector{Set("PATT   1"), Ask("PATT"), Ask("INPT"), Ask("VOLM")}));
    Answer();

    // An item without a value sets nothing; its read-back is still asked.
    Item<QPushButton>(1013)->click();
    EXPECT_EQ(Waiting(), std::vector{Ask("LAMP")});
}

TEST_F(ControlPanelTest, NonAutomaticRadioButtonSendsOnlyWhileShownChecked) {
    Status("INPT") = 0;
    Open();
    auto* radio = Item<QRadioButton>(1012);
    radio->click();
    EXPECT_FALSE(radio->isChecked());
    EXPECT_TRUE(Waiting().empty());
    Status("INPT") = 1;
    page->RefreshForCode("INPT");
    radio->click();
    EXPECT_TRUE(radio->isChecked());
    EXPECT_EQ(Waiting(), (std::vector{Set("INPT   1"), Ask("INPT")}));
}

TEST_F(ControlPanelTest, PowerOffAsksUnlessTheMenuIsShown) {
    Status("POWR") = 1;
    Open();
    auto* off = Item<QPushButton>(1008);
    EXPECT_TRUE(off->isEnabled());

    projector["MOUT"] = 1;
    off->click();
    EXPECT_EQ(Waiting(), std::vector{Ask("MOUT")});
    Tick();
    EXPECT_EQ(Waiting(), (std::vector{Set("POWR   0"), Ask("POWR")}));
    EXPECT_TRUE(host.prompts.questions.empty());
    Answer();
    page->RefreshForCode("POWR");
    EXPECT_FALSE(off->isEnabled()) << "DISABLE=POWR,0";
    page->refreshStamp = clock.Now();

    projector["MOUT"] = 0;
    off->setEnabled(true);
    off->click();
    Tick(); // No
    ASSERT_EQ(host.prompts.questions.size(), 1u);
    EXPECT_EQ(host.prompts.questions[0].text, LoadString(kStringPowerOffQuestion));
    EXPECT_EQ(Waiting(), std::vector{Ask("POWR")});
    EXPECT_TRUE(host.notifier.messages.empty());
    Answer();

    off->setEnabled(true);
    off->click();
    host.prompts.replies = {true};
    Tick();
    EXPECT_EQ(Waiting(), (std::vector{Set("POWR   0"), Ask("POWR")}));
    EXPECT_EQ(host.notifier.messages, std::vector{kStringPowerOffNotice});
}

TEST_F(ControlPanelTest, PollCycleWaitsForItsIntervalAndForTheUser) {
    Open();
    page->refreshStamp = 0;
    page->OnTimer();
    EXPECT_EQ(Waiting(), std::vector{Ask("POWR")});
    Tick(); // on: the tab's leave values are asked (none here), then the cycle ends
    Tick();
    EXPECT_EQ(page->refreshStamp, clock.Now());
    Tick();
    EXPECT_TRUE(Waiting().empty()) << "five seconds have not passed";

    clock.Advance(5000);
    host.bits = 1; // a drag
    page->OnTimer();
    EXPECT_TRUE(Waiting().empty());
    host.bits = 0;
    page->OnTimer();
    EXPECT_EQ(Waiting(), std::vector{Ask("POWR")});

    // Without an interval a page polls once.
    link.Model().autoReceiveElapse = 0;
    Tick(3);
    clock.Advance(600000);
    Tick(3);
    EXPECT_TRUE(Waiting().empty());
}

TEST_F(ControlPanelTest, TabPutsItsEntryValuesBackWhenLeftAfterAFullCycle) {
    projector["PATT"] = 2;
    Open(1);
    page->refreshStamp = 0;
    page->OnTimer();
    Tick();
    EXPECT_EQ(Waiting(), std::vector{Ask("PATT")});
    Tick();
    // The MODE=1 combo box asks for its code as well.
    EXPECT_EQ(Waiting(), (std::vector{Set("PATT   1"), Ask("PATT"), Ask("PATT")}));
    EXPECT_EQ(page->restorePending, 1);
    EXPECT_EQ(Item<QComboBox>(1101)->currentIndex(), 2);
    Answer();
    page->OnTimer(); // the projector's new value shows at the next idle tick
    EXPECT_EQ(Item<QComboBox>(1101)->currentIndex(), 1);

    sheet->Tabs()->setCurrentIndex(0);
    EXPECT_EQ(Waiting(), (std::vector<Queued>{{"PATT   2\r", AnswerKind::Value, 1}}));
    ASSERT_NE(sheet->ActivePage(), nullptr);
    EXPECT_EQ(sheet->ActivePage()->TemplateId(), 500);
}

TEST_F(ControlPanelTest, PageIsBuiltFromItsBundleOrFromTheCurrentOne) {
    Open();
    EXPECT_EQ(sheet->Tabs()->tabText(0), "Main");
    // The bitmap static draws from the tab's bundle.
    auto* bitmap = Item<QLabel>(1014)->findChild<CBitmapStatic*>();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->SourceBundle(), tables.Bundle("panel.rcc"));
    EXPECT_EQ(bitmap->BitmapNumber(), 7);

    // missing.rcc is not there: the form comes from the current bundle.
    const auto current = ResourceBundle::Embedded(QStringLiteral(":/panel-test"));
    SetCurrentBundle(current.get());
    sheet->Tabs()->setCurrentIndex(2);
    ASSERT_NE(sheet->ActivePage(), nullptr);
    EXPECT_NE(sheet->ActivePage()->Item(1201), nullptr);
    SetCurrentBundle(&ProgramBundle());
}

TEST_F(ControlPanelTest, BusyTextStatusButtonAndFrameCommands) {
    Status("POWR") = 0;
    Open();
    auto* status = Item<QLabel>(1010);
    Item<QPushButton>(1011)->click();
    EXPECT_EQ(status->text(), "Telling...");
    EXPECT_EQ(Waiting(), (std::vector<Queued>{{"TLOG   1\r", AnswerKind::Text, 0}}));
    EXPECT_EQ(host.textAnswerAtDialog, std::vector<std::size_t>{0});
    Tick();
    EXPECT_EQ(status->text(), "");

    auto* gamma = Item<QPushButton>(20000);
    EXPECT_FALSE(gamma->isEnabled());
    Status("POWR") = 1;
    page->RefreshForCode("POWR");
    gamma->click();
    EXPECT_EQ(host.commands, std::vector{kCommandGammaDialog});

    QPushButton* save = sheet->CommandButton(kCommandFileSaveAs);
    EXPECT_FALSE(save->isEnabled());
    host.commandsEnabled = true;
    sheet->UpdateCommandButtons();
    save->click();
    sheet->CommandButton(kCommandFileOpen)->click();
    EXPECT_EQ(host.commands,
              (std::vector{kCommandGammaDialog, kCommandFileSaveAs, kCommandFileOpen}));
}

} // namespace
} // namespace tonedesk::test
