#include "GammaDialogFixture.h"

#include "ProjectorSimulator.h"
#include "common/FakeSerialPort.h"
#include "common/GuiTestKit.h"
#include "common/SimulatorLink.h"
#include "gamma/CurveMath.h"
#include "gamma/GammaTransfer.h"
#include "link/ProjectorLink.h"
#include "support/Settings.h"
#include "ui/gamma/GammaGraphView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <filesystem>
#include <functional>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

TEST_F(GammaDialogTest, StartsDisabledWithThePowerQueryAndBothBanksFromTheModel) {
    EXPECT_TRUE(dialog->isWindow());
    EXPECT_FALSE(dialog->windowIcon().isNull());
    EXPECT_FALSE(dialog->isEnabled());
    EXPECT_TRUE(dialog->Pending());
    ASSERT_EQ(port->commandQueue.size(), 1u);
    EXPECT_EQ(port->commandQueue[0].kind, AnswerKind::Value);
    EXPECT_EQ(port->commandQueue[0].pause, 0);
    EXPECT_EQ(dialog->Timer().interval(), 50);
    for (int id : {kGammaExponentSlider, kGammaGainSlider, kGammaOffsetSlider}) {
        EXPECT_EQ(Control<QSlider>(id)->minimum(), -30);
        EXPECT_EQ(Control<QSlider>(id)->maximum(), 30);
        EXPECT_EQ(Control<QSlider>(id)->tickInterval(), 3);
    }
    // The power query is still unanswered: the tick waits.
    dialog->OnTimer();
    EXPECT_TRUE(dialog->Pending());

    Settle();
    EXPECT_EQ(line->WrittenText(), "POWR????\r");
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_EQ(Graph().ActiveBank(), 0);
    EXPECT_EQ(Graph().SelectedChannel(), kAllChannels); // the preset's channels are alike
    EXPECT_FALSE(Control(kGammaControlPanel)->isEnabled());
    EXPECT_FALSE(Control(kGammaWriteChannel)->isEnabled());
    EXPECT_FALSE(Control(kGammaExponentEdit)->isEnabled());

    // Bank 1 came from the second preset, whose green differs: red is selected there.
    Control<QComboBox>(kGammaBank)->setCurrentIndex(1);
    Settle();
    EXPECT_EQ(Graph().ActiveBank(), 1);
    EXPECT_EQ(Graph().SelectedChannel(), 0);
    EXPECT_EQ(Graph().Points(0).points[1], (ControlPoint{256, 256 + 40}));
    EXPECT_EQ(Graph().Points(1).points[1], (ControlPoint{256, 256 + 80}));
    EXPECT_TRUE(Control(kGammaWriteChannel)->isEnabled());
}

TEST_F(GammaDialogTest, EnterInAParameterFieldClampsCommitsAndKeepsTheDialogOpen) {
    Settle();
    ShowReady(*dialog);
    Click(kGammaFormula);
    Settle();
    auto* edit = Control<QLineEdit>(kGammaExponentEdit);
    ASSERT_TRUE(edit->isEnabled());
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "45");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Graph().Exponent(), 30);
    EXPECT_EQ(edit->selectedText(), edit->text());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->Pending());

    Settle();
    EXPECT_EQ(edit->text(), "30");
    EXPECT_EQ(Control<QSlider>(kGammaExponentSlider)->value(), 30);

    // Up moves a slider towards +30, Down towards -30.
    auto* gain = Control<QSlider>(kGammaGainSlider);
    QTest::keyClick(gain, Qt::Key_Up);
    EXPECT_EQ(Graph().Gain(), 1);
    QTest::keyClick(gain, Qt::Key_Down);
    QTest::keyClick(gain, Qt::Key_Down);
    EXPECT_EQ(Graph().Gain(), -1);
}

TEST_F(GammaDialogTest, LeavingLinkedChannelsCopiesRedsPointsFirst) {
    Settle();
    // An edit of the linked curve changes red's points; the others follow on propagation.
    Graph().Points(0).points[2].y += 100;
    Control<QComboBox>(kGammaChannel)->setCurrentIndex(2);
    EXPECT_EQ(Graph().SelectedChannel(), 1);
    EXPECT_TRUE(Graph().Points(1).SamePoints(Graph().Points(0)));
    EXPECT_TRUE(Graph().Points(2).SamePoints(Graph().Points(0)));
    EXPECT_EQ(Graph().Points(1).points[2].y, 512 + 100);
}

TEST_F(GammaDialogTest, AFallingCurveShowsItsWarningBesideTheReadouts) {
    Settle();
    auto* warning = Control<QLabel>(kGammaFallingWarning);
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->isHidden()) << "the model's curves rise";

    // Red's middle point pulled far above its right neighbour: the curve falls after it.
    Graph().Points(0).points[2].y = 1000;
    Control<QComboBox>(kGammaChannel)->setCurrentIndex(1);
    dialog->OnTimer();
    QApplication::processEvents();
    EXPECT_FALSE(warning->isHidden());
    EXPECT_EQ(warning->text(), LoadString(4111));
}

TEST_F(GammaDialogTest, FormulaModeFitsPointsWhenClearedAndKeepsEachChannelsParameters) {
    Settle();
    Control<QComboBox>(kGammaChannel)->setCurrentIndex(1); // red
    Click(kGammaFormula);
    Control<QSlider>(kGammaGainSlider)->setValue(12);
    Settle();
    Control<QComboBox>(kGammaChannel)->setCurrentIndex(2); // green
    Control<QSlider>(kGammaGainSlider)->setValue(-9);
    Settle();
    const LevelTable red = Graph().Levels(0);
    const LevelTable green = Graph().Levels(1);
    ASSERT_NE(red, green);

    Click(kGammaFormula);
    EXPECT_FALSE(Graph().FormulaMode());
    Settle();
    for (int channel : {0, 1}) {
        const LevelTable& formula = channel == 0 ? red : green;
        const ControlPointList& points = Graph().Points(channel);
        ASSERT_GT(points.count, 1);
        for (int i = 0; i < points.count; ++i) {
            const ControlPoint p = points.points[i];
            EXPECT_NEAR(p.y, formula[p.x / 4], 4) << "channel " << channel << " point " << i;
        }
    }

    Click(kGammaFormula);
    Settle();
    EXPECT_EQ(Graph().Gain(), -9);
    Control<QComboBox>(kGammaChannel)->setCurrentIndex(1);
    Settle();
    EXPECT_EQ(Graph().Gain(), 12);
    EXPECT_EQ(Control<QLineEdit>(kGammaGainEdit)->text(), "12");
}

TEST_F(GammaDialogTest, UndoIsOfferedOnlyInPointModeAndForgottenOnEveryBigChange) {
    Settle();
    const auto snapshot = [this] {
        Graph().TakeUndoSnapshot(Graph().ScreenX(512), Graph().ScreenY(512));
        dialog->UpdateControls();
        return Control(kGammaUndo)->isEnabled();
    };
    ASSERT_TRUE(snapshot());
    Click(kGammaUndo);
    Settle();
    EXPECT_EQ(Graph().UndoState(), -1);
    EXPECT_TRUE(Control(kGammaRedo)->isEnabled());
    EXPECT_FALSE(Control(kGammaUndo)->isEnabled());

    const std::string file = WriteFile("ramp.gam", FormatGammaFile(Graph().Active(), true));
    const std::vector<std::pair<const char*, std::function<void()>>> changes{
        {"channel", [this] { Control<QComboBox>(kGammaChannel)->setCurrentIndex(3); }},
        {"reload channel", [this] { Click(kGammaReloadChannel); }},
        {"reload all", [this] { Click(kGammaReloadAll); }},
        {"bank", [this] { Control<QComboBox>(kGammaBank)->setCurrentIndex(1); }},
        {"formula", [this] { Click(kGammaFormula); }},
        {"file",
         [&] {
             prompts.answers = {file};
             Click(kCommandFileOpen);
         }},
    };
    for (const auto& [name, change] : changes) {
        if (Graph().FormulaMode()) {
            Click(kGammaFormula);
            Settle();
        }
        ASSERT_TRUE(snapshot()) << name;
        change();
        Settle();
        EXPECT_EQ(Graph().UndoState(), 0) << name;
        EXPECT_FALSE(Control(kGammaUndo)->isEnabled()) << name;
    }
    // In formula mode a snapshot is not offered.
    ASSERT_TRUE(Graph().FormulaMode() || (Click(kGammaFormula), Settle(), true));
    EXPECT_FALSE(snapshot());
}

TEST_F(GammaDialogTest, EscapeNeverClosesTheDialogButCloseDoes) {
    Settle();
    ShowReady(*dialog);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QTest::keyClick(Control(kGammaChannel), Qt::Key_Escape);
    QTest::keyClick(Control(kGammaGainEdit), Qt::Key_Escape);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());

    QTest::mouseClick(Control(kGammaClose), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(GammaDialogTest, AWriteDisablesEverythingWithTheBusyCursorUntilTheLinkIsIdle) {
    Settle();
    Click(kGammaWriteAll);
    EXPECT_TRUE(dialog->Sending());
    EXPECT_FALSE(dialog->isEnabled());
    EXPECT_FALSE(dialog->View()->isEnabled());
    for (int id : {kGammaBank, kGammaChannel, kGammaFormula, kGammaWriteAll, kGammaClose,
                   kCommandFileOpen, kCommandFileSaveAs, kGammaReloadAll}) {
        EXPECT_FALSE(Control(id)->isEnabled()) << id;
    }
    EXPECT_EQ(dialog->cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(dialog->CurrentCursor(), CursorShape::AppStarting);
    ASSERT_EQ(port->commandQueue.size() - port->cursor, 12u);

    // Ticks while the link works change nothing.
    clock.Advance(60);
    link.Service();
    dialog->OnTimer();
    EXPECT_FALSE(dialog->isEnabled());
    EXPECT_EQ(dialog->cursor().shape(), Qt::BusyCursor);

    notifier.cursors.clear();
    Settle();
    EXPECT_FALSE(dialog->Sending());
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_TRUE(Control(kGammaClose)->isEnabled());
    EXPECT_EQ(dialog->cursor().shape(), Qt::ArrowCursor);
    // The program's cursor over every window is the frame's, not the editor's.
    EXPECT_TRUE(notifier.cursors.empty());
    EXPECT_TRUE(prompts.shown.empty()) << prompts.shown.front().toStdString();
}

TEST_F(GammaDialogTest, AWriteNotConfirmedByTheProjectorIsReportedWithItsBlocks) {
    Settle();
    Control<QComboBox>(kGammaChannel)->setCurrentIndex(2); // green: blocks 2 and 3
    Settle();
    Click(kGammaWriteChannel);
    Settle({"OK\r", "OK\r", "X7\r"});
    ASSERT_EQ(prompts.shown.size(), 1u);
    const QString text = prompts.shown.front();
    EXPECT_TRUE(text.contains("did not confirm")) << text.toStdString();
    EXPECT_TRUE(text.contains("green of bank 1")) << text.toStdString();
    EXPECT_TRUE(text.contains("block 3 announce")) << text.toStdString();
    EXPECT_TRUE(text.contains("X7")) << text.toStdString();
    EXPECT_FALSE(text.contains("red of")) << text.toStdString();
    EXPECT_TRUE(dialog->isEnabled());
}

TEST_F(GammaFileCommandTest, ExactLevelsAreWrittenAndSavedUntilAPointMoves) {
    Settle();
    LevelTable exact{};
    for (int i = 0; i < kLevelCount; ++i) {
        exact[i] = static_cast<std::uint16_t>(std::min(1023, 4 * i + (i % 3 == 0 ? 9 : 0)));
    }
    dialog->SetExactLevels(exact);
    EXPECT_EQ(*Graph().DisplayedLevels(), exact) << "shown at once";
    Settle();
    EXPECT_TRUE(Control(kGammaUndo)->isEnabled());

    line->written.clear();
    Click(kGammaWriteAll);
    Settle();
    EXPECT_EQ(line->written, WriteAllBytes({exact, exact, exact}));

    prompts.answers = {Path("exact.gam")};
    Click(kCommandFileSaveAs);
    GammaFileTable saved;
    ASSERT_EQ(ReadGammaFile(Path("exact.gam"), saved, notifier), GammaReadResult::Read);
    for (int channel = 0; channel < kChannelCount; ++channel) {
        for (int i = 0; i < kLevelCount; ++i) {
            ASSERT_EQ(saved.At(channel, i) % kControlPointMark, exact[i]) << channel << " " << i;
        }
    }

    Click(kGammaUndo);
    Settle();
    EXPECT_NE(Graph().Levels(0), exact);
    Click(kGammaRedo);
    Settle();
    EXPECT_EQ(Graph().Levels(2), exact);

    // One level up by key: every linked channel is the spline through its points again.
    QTest::keyClick(dialog->View(), Qt::Key_Tab);
    QTest::keyClick(dialog->View(), Qt::Key_Up);
    Settle();
    for (int channel = 0; channel < kChannelCount; ++channel) {
        EXPECT_FALSE(Graph().HasExactLevels(channel));
        LevelTable spline{};
        LevelsFromPoints(&Graph().Points(channel), spline);
        EXPECT_EQ(Graph().Levels(channel), spline);
    }
}

TEST_F(GammaDialogTest, KeysAndTypedValuesEditTheSelectedPointOneUndoStepEach) {
    Settle();
    // The preset's points: (0,0) (256,256) (512,512) (768,768) (1020,1020).
    CGammaGraphView* view = dialog->View();
    auto* input = Control<QLineEdit>(kGammaPointInput);
    auto* output = Control<QLineEdit>(kGammaPointOutput);
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    EXPECT_FALSE(input->isEnabled()) << "no point selected";
    const auto type = [](QLineEdit* edit, const char* text) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    };
    const struct {
        const char* step;
        std::function<void()> act;
        int selected;
        ControlPoint point; // the selected point afterwards
        int count;
    } kSteps[] = {
        {"tab", [&] { QTest::keyClick(view, Qt::Key_Tab); }, 0, {0, 0}, 5},
        {"tab", [&] { QTest::keyClick(view, Qt::Key_Tab); }, 1, {256, 256}, 5},
        {"up", [&] { QTest::keyClick(view, Qt::Key_Up); }, 1, {256, 257}, 5},
        {"shift+down",
         [&] { QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier); },
         1,
         {256, 247},
         5},
        {"shift+right",
         [&] { QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier); },
         1,
         {266, 247},
         5},
        {"left", [&] { QTest::keyClick(view, Qt::Key_Left); }, 1, {265, 247}, 5},
        {"typed input", [&] { type(input, "300"); }, 1, {300, 247}, 5},
        {"typed output", [&] { type(output, "1000"); }, 1, {300, 1000}, 5},
        {"typed past the neighbour", [&] { type(input, "900"); }, 1, {492, 1000}, 5},
        {"shift+tab", [&] { QTest::keyClick(view, Qt::Key_Backtab); }, 0, {0, 0}, 5},
        {"delete an end point", [&] { QTest::keyClick(view, Qt::Key_Delete); }, 0, {0, 0}, 5},
        {"tab", [&] { QTest::keyClick(view, Qt::Key_Tab); }, 1, {492, 1000}, 5},
        {"delete", [&] { QTest::keyClick(view, Qt::Key_Delete); }, 0, {0, 0}, 4},
    };
    const ControlPointList& points = Graph().Points(0);
    for (const auto& s : kSteps) {
        SCOPED_TRACE(s.step);
        const ControlPointList before = points;
        s.act();
        EXPECT_EQ(Graph().SelectedPoint(), s.selected);
        EXPECT_EQ(points.points[s.selected], s.point);
        EXPECT_EQ(points.count, s.count);
        EXPECT_EQ(input->text(), QString::number(s.point.x));
        EXPECT_EQ(output->text(), QString::number(s.point.y));
        EXPECT_TRUE(input->isEnabled());
        if (!before.SamePoints(points)) {
            // Each change is one undo step, offered at once.
            EXPECT_TRUE(Control(kGammaUndo)->isEnabled());
            Click(kGammaUndo);
            Settle();
            EXPECT_TRUE(Graph().Points(0).SamePoints(before));
            Click(kGammaRedo);
            Settle();
        }
        // The falling-curve warning follows the keys as it follows a drag.
        const bool falls = points.count == 5 && points.points[1].y > points.points[2].y;
        EXPECT_EQ(Control<QLabel>(kGammaFallingWarning)->isHidden(), !falls);
    }
}

TEST_F(GammaFileCommandTest, SavesBothLayoutsAndOpensThemIntoTheActiveBank) {
    Settle();
    // An edit of the linked curve, as a drag leaves it.
    Graph().Points(0).points[2].y = 700;
    Graph().PropagateLinked();
    Graph().RecomputeLevels();
    const GammaTable saved = Graph().Active();
    prompts.answers = {Path("four.gam"), Path("three.gam")};
    prompts.fileTypes = {1, 2};
    Click(kCommandFileSaveAs);
    Click(kCommandFileSaveAs);
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_FALSE(prompts.asked[0].open);
    EXPECT_EQ(prompts.asked[0].filter, LoadString(2053).toStdString());
    EXPECT_EQ(std::filesystem::file_size(Path("four.gam")), 256u * kFourColumnLineLength);
    EXPECT_EQ(std::filesystem::file_size(Path("three.gam")), 256u * kThreeColumnLineLength);
    EXPECT_EQ(EnvText(settings, "GAMMAPATH"), Folder());
    EXPECT_TRUE(prompts.questions.empty());

    for (const char* name : {"four.gam", "three.gam"}) {
        Control<QComboBox>(kGammaBank)->setCurrentIndex(1);
        Settle();
        prompts.answers = {Path(name)};
        Click(kCommandFileOpen);
        Settle();
        EXPECT_EQ(prompts.asked.back().initialPath, Folder());
        EXPECT_TRUE(prompts.asked.back().open);
        EXPECT_EQ(Graph().ActiveBank(), 1);
        for (int c = 0; c < kChannelCount; ++c) {
            EXPECT_TRUE(Graph().Points(c).SamePoints(saved.points[c])) << name << c;
            EXPECT_EQ(Graph().Levels(c), saved.levels[c]) << name << c;
        }
        Control<QComboBox>(kGammaBank)->setCurrentIndex(0);
        Settle();
    }
}

TEST_F(GammaFileCommandTest, AFileThatCannotBeReadAsksAgainAndChangesNothing) {
    Settle();
    const GammaTable before = Graph().Active();
    prompts.answers = {Path("missing.gam")};
    Click(kCommandFileOpen);
    EXPECT_EQ(notifier.fileErrors.size(), 1u);
    EXPECT_EQ(prompts.asked.size(), 2u); // shown again, then cancelled
    EXPECT_FALSE(dialog->Pending());
    for (int c = 0; c < kChannelCount; ++c) {
        EXPECT_EQ(Graph().Levels(c), before.levels[c]);
        EXPECT_TRUE(Graph().Points(c).SamePoints(before.points[c]));
    }
}

TEST_F(GammaFileCommandTest, ARefusedOverwriteKeepsTheOldFileAndAsksForAnotherName) {
    Settle();
    const std::string old = WriteFile("old.gam", "not gamma data\r\n");
    prompts.answers = {old};
    prompts.replies = {false};
    Click(kCommandFileSaveAs);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_TRUE(prompts.questions[0].text.startsWith("old.gam"))
        << prompts.questions[0].text.toStdString();
    EXPECT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(TempDir::Read(old), "not gamma data\r\n");

    prompts.answers = {old};
    prompts.replies = {true};
    Click(kCommandFileSaveAs);
    EXPECT_EQ(std::filesystem::file_size(old), 256u * kFourColumnLineLength);
}

// The dialog on a link to projector-sim over a pseudo-terminal.
class GammaDialogSimulatorTest : public GuiTest {
protected:
    void Start() {
        sim = std::make_unique<SimulatorLink>(
            std::vector<std::string>{"--dump-gamma", dump.string()}, 38400);
        ASSERT_EQ(sim->Error(), "");
        sim->Link().Model().presetGamma[0] = Preset(30, 30);
        sim->Link().Model().presetGamma[1] = Preset(-20, 60);
        dialog = std::make_unique<CGammaDialog>(sim->Link(), settings, notifier, prompts);
        Tick();
        ASSERT_TRUE(dialog->isEnabled());
    }
    void Tick() {
        sim->ServiceUntilIdle(30s);
        ASSERT_FALSE(sim->Link().IsBusy());
        dialog->OnTimer();
    }
    // The dump the simulator writes after receiving the data entries of this write.
    std::string Expected(int bank, int channel) {
        return ExpectedGammaDump(bank, dialog->Graph().Active(), channel);
    }
    std::string Written() {
        EXPECT_EQ(sim->Simulator().Stop(10s), 0);
        return TempDir::Read(dump);
    }

    MemorySettings settings;
    RecordingNotifier notifier;
    RecordingPrompts prompts;
    std::filesystem::path dump = temp.Path() / "gamma.txt";
    std::unique_ptr<SimulatorLink> sim;
    std::unique_ptr<CGammaDialog> dialog;
};

TEST_F(GammaDialogSimulatorTest, WriteAllDeliversTheActiveBanksTwelveBlocks) {
    Start();
    FindControl<QComboBox>(dialog.get(), kGammaBank)->setCurrentIndex(1);
    Tick();
    FindControl<QAbstractButton>(dialog.get(), kGammaWriteAll)->click();
    EXPECT_FALSE(dialog->isEnabled());
    Tick();
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(sim->Messages().empty());
    EXPECT_EQ(Written(), Expected(1, kAllChannels));
}

TEST_F(GammaDialogSimulatorTest, WriteChannelDeliversGreensFourBlocks) {
    Start();
    FindControl<QComboBox>(dialog.get(), kGammaChannel)->setCurrentIndex(2);
    Tick();
    FindControl<QAbstractButton>(dialog.get(), kGammaWriteChannel)->click();
    Tick();
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(Written(), Expected(0, 1));
}

} // namespace
} // namespace tonedesk::test
