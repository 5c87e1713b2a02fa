#include "GammaDialogFixture.h"

#include "color/CalFile.h"
#include "color/IccVcgt.h"
#include "color/Target.h"
#include "ui/gamma/GammaTargetDialog.h"
#include "ui/widgets/ResourceBundle.h"

#include <QComboBox>
#include <QDoubleSpinBox>

namespace tonedesk::test {
namespace {

// Three different curves, none of them a spline through few points.
ChannelLevels Distinct() {
    ChannelLevels levels{};
    for (int i = 0; i < kLevelCount; ++i) {
        levels[0][i] = static_cast<std::uint16_t>(std::min(1023, 4 * i + (i % 3 == 0 ? 7 : 0)));
        levels[1][i] = static_cast<std::uint16_t>(2 * i + (i % 5));
        levels[2][i] = static_cast<std::uint16_t>(1023 - 4 * i);
    }
    return levels;
}

class GammaCurveImportTest : public GammaFileCommandTest {
protected:
    ChannelLevels Levels() { return {Graph().Levels(0), Graph().Levels(1), Graph().Levels(2)}; }
    void Import(const std::string& path) {
        prompts.answers = {path};
        Click(kGammaImport);
    }
};

TEST_F(GammaCurveImportTest, ImportedCurvesAreWrittenExactlyAndUndoneInOneStep) {
    const ChannelLevels distinct = Distinct();
    std::string error;
    WriteFile("curves.icc", *IccVcgt::Format(distinct, &error));
    // Red rises from 0.25, green from 0 to 0.5, blue is clamped from 1.5 to 1.
    WriteFile("ramp.cal", CalFileText("0 0.25 0 0\n1 1 0.5 1.5\n"));
    ChannelLevels ramp{};
    for (int i = 0; i < kLevelCount; ++i) {
        const double x = i / 255.0;
        ramp[0][i] = LevelFromValue(0.25 + 0.75 * x);
        ramp[1][i] = LevelFromValue(0.5 * x);
        ramp[2][i] = LevelFromValue(x); // the sample, not the curve, is clamped
    }
    WriteFile("bad.cal", CalFileText("0 0 0 0\n0 1 1 1\n"));
    WriteFile("bad.icc", "not a profile");
    WriteFile("bad.gam", "no numbers here\r\n");

    const struct {
        const char* file;
        int channel;            // selected before the import, -1 linked
        ChannelLevels expected; // of the three channels after the import
        int selectedAfter;      // the channel selection after it
        const char* shown;      // a part of the one text shown, empty: none
        const char* error;      // a part of the file error, empty: none
    } cases[] = {
        {"curves.icc", kAllChannels, distinct, 0, "", ""},
        {"ramp.cal", kAllChannels, ramp, 0, "clamped", ""},
        {"curves.icc", 1, {}, 1, "", ""},
        {"bad.cal", kAllChannels, {}, kAllChannels, "", "ascend"},
        {"bad.icc", kAllChannels, {}, kAllChannels, "", "ICC profile"},
        {"bad.gam", kAllChannels, {}, kAllChannels, "", "not a gamma file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + std::to_string(c.channel));
        link.Model().presetGamma[0] = Preset(0, 0);
        Click(kGammaReloadAll);
        Settle();
        Control<QComboBox>(kGammaChannel)->setCurrentIndex(c.channel + 1);
        Settle();
        const ChannelLevels before = Levels();
        ChannelLevels expected = c.expected;
        if (c.channel != kAllChannels) {
            // A single channel takes the same channel of the file; the others stay.
            expected = before;
            expected[c.channel] = distinct[c.channel];
        } else if (*c.error) {
            expected = before;
        }
        prompts.shown.clear();
        notifier.fileErrors.clear();

        Import(Path(c.file));
        EXPECT_EQ(Levels(), expected) << "shown at once";
        EXPECT_EQ(Graph().SelectedChannel(), c.selectedAfter);
        ASSERT_EQ(notifier.fileErrors.size(), *c.error ? 1u : 0u);
        if (*c.error) {
            EXPECT_EQ(notifier.fileErrors[0].fileName, Path(c.file));
            EXPECT_NE(notifier.fileErrors[0].reason.find(c.error), std::string::npos)
                << notifier.fileErrors[0].reason;
            EXPECT_FALSE(dialog->Pending()) << "nothing changed";
            continue;
        }
        ASSERT_EQ(prompts.shown.size(), *c.shown ? 1u : 0u);
        if (*c.shown) {
            EXPECT_TRUE(prompts.shown[0].contains(c.shown)) << prompts.shown[0].toStdString();
            EXPECT_TRUE(prompts.shown[0].contains(c.file)) << prompts.shown[0].toStdString();
        }
        Settle();
        EXPECT_EQ(Levels(), expected) << "kept by the tick";

        line->written.clear();
        Click(kGammaWriteAll);
        Settle();
        EXPECT_EQ(line->written, WriteAllBytes(expected));

        ASSERT_TRUE(Control(kGammaUndo)->isEnabled());
        Click(kGammaUndo);
        Settle();
        EXPECT_EQ(Levels(), before);
    }
    EXPECT_EQ(prompts.asked.back().filter, LoadString(2054).toStdString());
    EXPECT_TRUE(prompts.asked.back().open);
    EXPECT_EQ(EnvText(settings, "GAMMAPATH"), Folder());
}

TEST_F(GammaCurveImportTest, AGammaFileImportsAsItOpens) {
    Settle();
    // Bank 1's preset, whose green differs, saved and opened into bank 1 ...
    Control<QComboBox>(kGammaBank)->setCurrentIndex(1);
    Settle();
    prompts.answers = {Path("preset.gam")};
    prompts.fileTypes = {1};
    Click(kCommandFileSaveAs);
    const ChannelLevels opened = Levels();
    // ... is imported into linked bank 0 with the same levels, exact from then on.
    Control<QComboBox>(kGammaBank)->setCurrentIndex(0);
    Settle();
    ASSERT_EQ(Graph().SelectedChannel(), kAllChannels);
    ASSERT_NE(Levels(), opened);
    Import(Path("preset.gam"));
    Settle();
    EXPECT_EQ(Levels(), opened);
    EXPECT_EQ(Graph().SelectedChannel(), 0) << "the channels differ now";
    EXPECT_TRUE(Graph().HasExactLevels(1));
}

// Each kind of file written by Export reads back with the levels it was written from: a bank
// of spline curves in all four, exactly set levels in the kinds that hold levels alone.
TEST_F(GammaCurveImportTest, ExportedFilesImportWithTheSameLevels) {
    Settle();
    const struct {
        const char* file;
        bool exact; // the bank holds Distinct() exactly, else the preset's splines
    } cases[] = {
        {"bank.gam", false}, {"bank.cal", false}, {"bank.icc", false},
        {"bank.ICM", false}, {"exact.cal", true}, {"exact.icc", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Click(kGammaReloadAll);
        Settle();
        if (c.exact) {
            dialog->SetExactLevels(Distinct());
            Settle();
        }
        const ChannelLevels exported = Levels();
        prompts.answers = {Path(c.file)};
        Click(kGammaExport);
        EXPECT_FALSE(prompts.asked.back().open);
        ASSERT_TRUE(notifier.fileErrors.empty()) << notifier.fileErrors[0].reason;
        for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                << "no temporary file is left";
        }

        Click(kGammaReloadAll);
        Settle();
        Graph().SelectChannel(kAllChannels);
        Import(Path(c.file));
        Settle();
        EXPECT_EQ(Levels(), exported);
    }
    // A name the user will not have replaced keeps its file.
    const std::string kept = WriteFile("kept.cal", "old");
    prompts.answers = {kept};
    prompts.replies = {false};
    Click(kGammaExport);
    EXPECT_EQ(TempDir::Read(kept), "old");
}

TEST_F(GammaCurveImportTest, TheTargetDialogSetsTheCoresLevelsAndShowsEachRange) {
    Settle();
    CGammaTargetDialog target;
    const struct {
        TargetKind kind;
        bool hasParameter;
        double minimum, maximum, initial;
    } ranges[] = {
        {TargetKind::Power, true, 1.0, 3.0, 2.2},  {TargetKind::Srgb, false, 0, 0, 0},
        {TargetKind::Bt1886, true, 0.0, 0.1, 0.0}, {TargetKind::Lstar, false, 0, 0, 0},
        {TargetKind::Pq, true, 100, 10000, 1000},  {TargetKind::Hlg, false, 0, 0, 0},
    };
    for (const auto& r : ranges) {
        target.SelectKind(r.kind);
        EXPECT_EQ(target.Chosen().kind, r.kind);
        EXPECT_EQ(target.ParameterBox()->isEnabled(), r.hasParameter);
        if (r.hasParameter) {
            EXPECT_DOUBLE_EQ(target.ParameterBox()->minimum(), r.minimum);
            EXPECT_DOUBLE_EQ(target.ParameterBox()->maximum(), r.maximum);
            EXPECT_DOUBLE_EQ(target.Chosen().parameter, r.initial);
        }
    }
    target.SelectKind(TargetKind::Power);
    target.SetParameter(7.5);
    EXPECT_DOUBLE_EQ(target.Chosen().parameter, 3.0) << "held within its range";

    bool cancel = true;
    dialog->SetTargetChooser([&](QWidget*) -> std::optional<Target> {
        if (cancel) {
            return std::nullopt;
        }
        CGammaTargetDialog chooser;
        chooser.SelectKind(TargetKind::Pq);
        chooser.SetParameter(1000);
        return chooser.Chosen();
    });
    const ChannelLevels before = Levels();
    Click(kGammaTarget);
    EXPECT_FALSE(dialog->Pending());
    EXPECT_EQ(Levels(), before) << "cancelled";

    cancel = false;
    Click(kGammaTarget);
    Settle();
    std::string error;
    const LevelTable pq = Target::Parse("pq:1000", &error)->Levels();
    EXPECT_EQ(Graph().SelectedChannel(), kAllChannels);
    EXPECT_EQ(Levels(), (ChannelLevels{pq, pq, pq}));
    line->written.clear();
    Click(kGammaWriteAll);
    Settle();
    EXPECT_EQ(line->written, WriteAllBytes({pq, pq, pq}));
    Click(kGammaUndo);
    Settle();
    EXPECT_EQ(Levels(), before);
}

} // namespace
} // namespace tonedesk::test
