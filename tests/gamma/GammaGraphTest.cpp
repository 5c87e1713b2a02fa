#include "gamma/GammaGraph.h"
#include "gamma/CurveMath.h"
#include "support/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tonedesk {
namespace {

GammaFileTable Marks(std::initializer_list<std::pair<int, std::uint32_t>> redMarks) {
    GammaFileTable f = GammaFileTable::Identity();
    for (int c = 0; c < 3; ++c) {
        for (auto [line, level] : redMarks) {
            f.At(c, line) = kControlPointMark + level;
        }
    }
    return f;
}

struct GraphFixture : ::testing::Test {
    MemorySettings settings;
};

TEST_F(GraphFixture, SettingsAreReadAtConstruction) {
    {
        CGammaGraph g(settings);
        EXPECT_EQ(g.MinDiff(), 0);
        EXPECT_EQ(g.MinPoints(), 8);
        EXPECT_EQ(g.RetryCount(), 256);
    }
    for (int bad : {0, -5}) {
        settings.SetInt(kEnvSection, "GAMMA_MIN_POINTS", bad);
        CGammaGraph g(settings);
        EXPECT_EQ(g.MinPoints(), 1);
    }
}

TEST_F(GraphFixture, InitialStateIsIdentityWithAllChannelsLinked) {
    CGammaGraph g(settings);
    EXPECT_EQ(g.SelectedChannel(), -1);
    EXPECT_EQ(g.DisplayChannel(), 0);
    EXPECT_FALSE(g.FormulaMode());
    EXPECT_EQ(g.ActiveBank(), 0);
    EXPECT_EQ(g.UndoState(), 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(g.Points(c).count, 0);
        EXPECT_EQ(g.Levels(c), IdentityLevels());
    }
}

TEST_F(GraphFixture, FitOfTheIdentityIsItsTwoEnds) {
    CGammaGraph g(settings);
    g.FitPointsToLevels(1);
    const ControlPointList& list = g.Points(1);
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(list.points[0], (ControlPoint{0, 0}));
    EXPECT_EQ(list.points[1], (ControlPoint{1020, 1020}));
}

TEST_F(GraphFixture, FitStartsAtTheEndOfTheLeadingZerosAndTheStartOfFullScale) {
    settings.SetInt(kEnvSection, "GAMMA_RETRYCNT", 0); // end points only
    CGammaGraph g(settings);
    LevelTable& L = g.Levels(0);
    for (int i = 0; i < 256; ++i) {
        L[i] = static_cast<std::uint16_t>(i <= 40 ? 0 : (i >= 200 ? 1023 : 5 * (i - 40)));
    }
    g.FitPointsToLevels(0);
    ASSERT_EQ(g.Points(0).count, 2);
    EXPECT_EQ(g.Points(0).points[0], (ControlPoint{160, 0}));
    EXPECT_EQ(g.Points(0).points[1], (ControlPoint{800, 1023}));
}

TEST_F(GraphFixture, FitEndsWithoutARunBoundaryAreTheTableEnds) {
    settings.SetInt(kEnvSection, "GAMMA_RETRYCNT", 0);
    CGammaGraph g(settings);
    struct Case {
        int level0, rest, level255;
        ControlPoint first, last;
    } cases[] = {
        {5, 0, 0, {0, 5}, {1020, 0}},                // nothing after entry 0 rises
        {1023, 1023, 1000, {0, 1023}, {1020, 1000}}, // nothing before entry 255 is below full
    };
    for (const Case& c : cases) {
        // Stale points from an earlier fit must not survive.
        g.Points(0).count = 2;
        g.Points(0).points[0] = {400, 400};
        g.Points(0).points[1] = {404, 404};
        LevelTable& L = g.Levels(0);
        L.fill(static_cast<std::uint16_t>(c.rest));
        L[0] = static_cast<std::uint16_t>(c.level0);
        L[255] = static_cast<std::uint16_t>(c.level255);
        g.FitPointsToLevels(0);
        EXPECT_EQ(g.Points(0).points[0], c.first);
        EXPECT_EQ(g.Points(0).points[1], c.last);
    }
}

// A table no spline follows closely: a fine zigzag.
void Zigzag(LevelTable& L) {
    for (int i = 0; i < 256; ++i) {
        L[i] = static_cast<std::uint16_t>((i % 4 < 2) ? 100 + 3 * i : 900 - 3 * i);
    }
}

TEST_F(GraphFixture, FitStopsOnceThePointLimitIsPassed) {
    CGammaGraph g(settings);
    Zigzag(g.Levels(0));
    const LevelTable target = g.Levels(0);
    g.FitPointsToLevels(0);
    EXPECT_EQ(g.Points(0).count, 33);
    EXPECT_EQ(g.Levels(0), target); // the target itself is not touched
    for (int k = 1; k < g.Points(0).count; ++k) {
        EXPECT_LT(g.Points(0).points[k - 1].x, g.Points(0).points[k].x);
    }
}

TEST_F(GraphFixture, FitKeepsThePointsAscending) {
    // A level ahead of the first point, and narrow dips in a flat table, made candidates land
    // before point 0 and replace points past their neighbours.
    LevelTable ahead{};
    ahead[0] = 512;
    ahead[3] = 9;
    LevelTable dips;
    dips.fill(512);
    dips[91] = dips[151] = dips[235] = 0;
    dips[158] = 415;
    for (const LevelTable& table : {ahead, dips}) {
        CGammaGraph g(settings);
        g.Levels(0) = table;
        g.FitPointsToLevels(0);
        for (int k = 1; k < g.Points(0).count; ++k) {
            EXPECT_LT(g.Points(0).points[k - 1].x, g.Points(0).points[k].x) << "point " << k;
        }
    }
}

TEST_F(GraphFixture, FitWithTheSmallestSpacingNeverOverflowsTheList) {
    settings.SetInt(kEnvSection, "GAMMA_MIN_POINTS", 0);
    settings.SetInt(kEnvSection, "GAMMA_RETRYCNT", 100000);
    CGammaGraph g(settings);
    LevelTable& L = g.Levels(2);
    for (int i = 0; i < 256; ++i) {
        L[i] = static_cast<std::uint16_t>((i * 613) % 1024);
    }
    g.FitPointsToLevels(2);
    EXPECT_GE(g.Points(2).count, 2);
    EXPECT_LE(g.Points(2).count, 256);
}

TEST_F(GraphFixture, FitWithAHugeSpacingReplacesTheLastPoint) {
    // Every point lies within the spacing of any candidate: the one pass moves the last point
    // onto the worst entry, and the limit of 0 points ends the fit.
    settings.SetInt(kEnvSection, "GAMMA_MIN_POINTS", 1 << 30);
    CGammaGraph g(settings);
    LevelTable& L = g.Levels(0);
    for (int i = 0; i < 256; ++i) {
        L[i] = static_cast<std::uint16_t>(i == 100 ? 900 : 4 * i);
    }
    g.FitPointsToLevels(0);
    ASSERT_EQ(g.Points(0).count, 2);
    EXPECT_EQ(g.Points(0).points[0], (ControlPoint{0, 0}));
    EXPECT_EQ(g.Points(0).points[1], (ControlPoint{400, 900}));
}

TEST_F(GraphFixture, FitReachesTheToleranceWithinThePassLimit) {
    settings.SetInt(kEnvSection, "GAMMA_MIN_DIFF", 2);
    CGammaGraph g(settings);
    LevelTable& L = g.Levels(0);
    FormulaLevels(-20, 10, 0, L);
    g.FitPointsToLevels(0);
    LevelTable fitted{};
    LevelsFromPoints(&g.Points(0), fitted);
    for (int i = 0; i < 256; ++i) {
        ASSERT_LE(std::abs(fitted[i] - L[i]), 2) << i;
    }
    EXPECT_LE(g.Points(0).count, 33);
}

TEST_F(GraphFixture, LoadChannelsTakesMarksAsPointsAndFitsTheRest) {
    CGammaGraph g(settings);
    GammaFileTable f = GammaFileTable::Identity();
    f.At(0, 0) = kControlPointMark + 10;
    f.At(0, 128) = kControlPointMark + 600;
    f.At(0, 255) = kControlPointMark + 70000; // beyond 16 bits: the point keeps it, clamped later
    f.At(1, 7) = kControlPointMark + 300;     // a single mark: flat curve
    g.LoadChannels(f, -1);
    ASSERT_EQ(g.Points(0).count, 3);
    EXPECT_EQ(g.Points(0).points[1], (ControlPoint{512, 600}));
    EXPECT_EQ(g.Points(0).points[2], (ControlPoint{1020, 70000}));
    EXPECT_EQ(g.Levels(0)[0], 10);
    EXPECT_EQ(g.Levels(0)[255], 1023);
    ASSERT_EQ(g.Points(1).count, 1);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(g.Levels(1)[i], 300);
    }
    ASSERT_EQ(g.Points(2).count, 2); // fitted to the identity
    EXPECT_EQ(g.Points(2).points[1], (ControlPoint{1020, 1020}));

    // One channel alone leaves the others.
    GammaFileTable other = GammaFileTable::Identity();
    g.LoadChannels(other, 1);
    EXPECT_EQ(g.Points(1).count, 2);
    EXPECT_EQ(g.Points(0).count, 3);
}

TEST_F(GraphFixture, OpenSelectsLinkedChannelsOnlyWhenIdentical) {
    CGammaGraph g(settings);
    g.SetFormulaMode(true);
    g.OpenTable(Marks({{0, 0}, {100, 300}, {255, 1023}}));
    EXPECT_FALSE(g.FormulaMode());
    EXPECT_EQ(g.SelectedChannel(), -1);
    EXPECT_TRUE(g.ChannelsIdentical());

    GammaFileTable f = Marks({{0, 0}, {100, 300}, {255, 1023}});
    f.At(2, 100) = kControlPointMark + 301;
    g.OpenTable(f);
    EXPECT_EQ(g.SelectedChannel(), 0);
    EXPECT_FALSE(g.ChannelsIdentical());
}

TEST_F(GraphFixture, ParametersFollowTheSelectedChannel) {
    CGammaGraph g(settings);
    g.SetExponent(5);
    EXPECT_TRUE(g.IsModified());
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(g.Active().exponent[c], 5);
    }
    g.ClearModified();
    g.SetExponent(5);
    EXPECT_FALSE(g.IsModified()); // nothing changed
    g.SelectChannel(2);
    EXPECT_EQ(g.CurveColor(), GraphColor::Rgb(0, 0, 255));
    g.SetGain(-7);
    g.SetOffset(30);
    EXPECT_TRUE(g.IsModified());
    EXPECT_EQ(g.Gain(), -7);
    EXPECT_EQ(g.Offset(), 30);
    EXPECT_EQ(g.Active().gain[0], 0);
    EXPECT_EQ(g.Active().offset[1], 0);

    g.SetFormulaMode(true);
    EXPECT_FALSE(g.ChannelsIdentical());
    g.SelectChannel(-1);
    EXPECT_EQ(g.CurveColor(), GraphColor::Rgb(0, 0, 0));
    g.PropagateLinked(); // red's parameters and table go to the others
    EXPECT_TRUE(g.ChannelsIdentical());
    EXPECT_EQ(g.Levels(2), g.Levels(0));
    EXPECT_EQ(g.DisplayedPoints(), nullptr); // formula mode shows no points
}

TEST_F(GraphFixture, LinkedPointsAreCopiedFromRed) {
    CGammaGraph g(settings);
    GammaFileTable f = Marks({{0, 0}, {255, 1023}});
    f.At(1, 100) = kControlPointMark + 900;
    g.LoadChannels(f, -1);
    g.SelectChannel(-1);
    g.PropagateLinked();
    EXPECT_TRUE(g.ChannelsIdentical());
    EXPECT_EQ(g.Levels(1), g.Levels(0));
    EXPECT_EQ(g.DisplayedPoints(), &g.Points(0));
}

TEST_F(GraphFixture, UndoSwapsCurvesOnlyAfterAPressInThePlot) {
    CGammaGraph g(settings);
    g.OpenTable(Marks({{0, 0}, {255, 1020}}));
    g.RecomputeLevels();
    g.TakeUndoSnapshot(300, 300); // outside the square
    EXPECT_EQ(g.UndoState(), 0);
    g.SwapUndo();
    EXPECT_EQ(g.Points(0).count, 2);

    g.TakeUndoSnapshot(100, 100);
    EXPECT_EQ(g.UndoState(), 1);
    g.Points(0).Insert(1, {500, 100});
    g.RecomputeLevels();
    const LevelTable edited = g.Levels(0);
    g.SwapUndo();
    EXPECT_EQ(g.UndoState(), -1);
    EXPECT_EQ(g.Points(0).count, 2);
    EXPECT_EQ(g.Levels(0), IdentityLevels());
    g.SwapUndo();
    EXPECT_EQ(g.UndoState(), 1);
    EXPECT_EQ(g.Points(0).count, 3);
    EXPECT_EQ(g.Levels(0), edited);
    g.ClearUndo();
    g.SwapUndo();
    EXPECT_EQ(g.Points(0).count, 3);
}

// Levels with a ripple every third entry: no spline through fitted points gives them back.
LevelTable Rippled() {
    LevelTable t{};
    for (int i = 0; i < kLevelCount; ++i) {
        t[i] = static_cast<std::uint16_t>(std::min(4 * i + (i % 3 == 0 ? 9 : 0), 1023));
    }
    return t;
}

TEST_F(GraphFixture, ExactLevelsStayAsTheyAreUntilAPointMoves) {
    const LevelTable exact = Rippled();
    const struct {
        int channel; // the selected channel; -1 linked
        bool formula;
        std::vector<int> exactChannels;
    } kCases[] = {{1, false, {1}}, {-1, false, {0, 1, 2}}, {2, true, {2}}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.channel);
        CGammaGraph g(settings);
        g.OpenTable(Marks({{0, 0}, {255, 1020}}));
        g.SelectChannel(c.channel);
        g.SetFormulaMode(c.formula);
        g.RecomputeLevels();
        const GammaTable before = g.Active();
        g.SetExactLevels(exact);
        g.RecomputeLevels();
        g.Redraw();
        EXPECT_FALSE(g.FormulaMode());
        EXPECT_EQ(g.UndoState(), c.formula ? 0 : 1);
        for (int ch : c.exactChannels) {
            EXPECT_TRUE(g.HasExactLevels(ch));
            EXPECT_EQ(g.Levels(ch), exact);
            ASSERT_GE(g.Points(ch).count, 2); // editable
            LevelTable spline{};
            LevelsFromPoints(&g.Points(ch), spline);
            EXPECT_NE(spline, exact);
        }
        if (!c.formula) {
            g.SwapUndo();
            EXPECT_EQ(g.Active().levels, before.levels);
            EXPECT_EQ(g.Active().points[0].count, before.points[0].count);
            EXPECT_FALSE(g.HasExactLevels(c.exactChannels[0]));
            g.SwapUndo();
            EXPECT_TRUE(g.HasExactLevels(c.exactChannels[0]));
        }
        // Moving a point brings back the spline, on every linked channel.
        ASSERT_TRUE(g.SelectNextPoint(1));
        ASSERT_TRUE(g.NudgeSelected(0, 1));
        g.RecomputeLevels();
        for (int ch : c.exactChannels) {
            EXPECT_FALSE(g.HasExactLevels(ch));
            LevelTable spline{};
            LevelsFromPoints(&g.Points(ch), spline);
            EXPECT_EQ(g.Levels(ch), spline);
        }
    }
}

TEST_F(GraphFixture, BanksKeepTheirWholeState) {
    CGammaGraph g(settings);
    EXPECT_FALSE(g.SwitchBank(0));
    EXPECT_FALSE(g.SwitchBank(2));
    EXPECT_FALSE(g.SwitchBank(-1));
    ASSERT_TRUE(g.SwitchBank(1));
    g.OpenTable(Marks({{0, 0}, {64, 700}, {255, 1023}}));
    g.SelectChannel(1);
    g.SetFormulaMode(true);
    g.SetExponent(12);
    g.TakeUndoSnapshot(100, 100);
    ASSERT_TRUE(g.SwitchBank(0));
    EXPECT_EQ(g.SelectedChannel(), -1);
    EXPECT_FALSE(g.FormulaMode());
    EXPECT_EQ(g.Points(0).count, 0);
    EXPECT_EQ(g.Exponent(), 0);
    ASSERT_TRUE(g.SwitchBank(1));
    EXPECT_EQ(g.ActiveBank(), 1);
    EXPECT_EQ(g.SelectedChannel(), 1);
    EXPECT_EQ(g.CurveColor(), GraphColor::Rgb(0, 255, 0));
    EXPECT_TRUE(g.FormulaMode());
    EXPECT_EQ(g.Exponent(), 12);
    EXPECT_EQ(g.Points(1).count, 3);
    EXPECT_EQ(g.UndoState(), 0); // cleared for the bank that becomes active
}

} // namespace
} // namespace tonedesk
