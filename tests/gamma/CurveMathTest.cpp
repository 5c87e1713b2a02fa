#include "gamma/CurveMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tonedesk {
namespace {

ControlPointList MakeList(std::initializer_list<ControlPoint> points) {
    ControlPointList list;
    for (const ControlPoint& p : points) {
        list.Insert(list.count, p);
    }
    return list;
}

LevelTable Levels(const ControlPointList& list) {
    LevelTable t{};
    t.fill(0xBEEF);
    LevelsFromPoints(&list, t);
    return t;
}

TEST(LevelsFromPoints, StraightLinesAndFlatEnds) {
    const LevelTable identity = Levels(MakeList({{0, 0}, {1020, 1020}}));
    EXPECT_EQ(identity, IdentityLevels());

    const LevelTable full = Levels(MakeList({{0, 0}, {1023, 1023}}));
    EXPECT_EQ(full[1], 4);
    EXPECT_EQ(full[128], 512);
    EXPECT_EQ(full[254], 1016);
    EXPECT_EQ(full[255], 1023);

    const LevelTable flat = Levels(MakeList({{256, 100}, {768, 900}}));
    for (int j = 0; j <= 64; ++j) {
        ASSERT_EQ(flat[j], 100) << j;
    }
    for (int j = 192; j <= 255; ++j) {
        ASSERT_EQ(flat[j], 900) << j;
    }
    EXPECT_EQ(flat[128], 500); // halfway along the line

    const LevelTable single = Levels(MakeList({{400, 333}}));
    for (int j = 0; j < 256; ++j) {
        ASSERT_EQ(single[j], 333) << j;
    }
}

TEST(LevelsFromPoints, NoListOrEmptyListLeavesTheTable) {
    LevelTable t{};
    t.fill(7);
    LevelsFromPoints(nullptr, t);
    ControlPointList empty;
    LevelsFromPoints(&empty, t);
    EXPECT_EQ(t[0], 7);
    EXPECT_EQ(t[255], 7);
}

TEST(LevelsFromPoints, PassesThroughEveryKnotAndStaysInRange) {
    const ControlPointList list =
        MakeList({{0, 0}, {100, 600}, {200, 100}, {400, 1000}, {600, 20}, {800, 1023}, {1020, 0}});
    const LevelTable t = Levels(list);
    // At a knot the segment ending there is evaluated; its rounding may land just below the
    // knot's level, which truncation then takes one lower.
    for (int k = 0; k < list.count; ++k) {
        const int level = t[list.points[k].x / 4];
        EXPECT_TRUE(level == list.points[k].y || level == list.points[k].y - 1) << k;
    }
    for (std::uint16_t v : t) {
        ASSERT_LE(v, 1023);
    }
}

// The natural spline solved as a full linear system, to check the elimination.
std::vector<double> DenseCoefficients(const std::vector<double>& X, const std::vector<double>& Y) {
    const int n = static_cast<int>(X.size());
    std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
    a[0][0] = 1.0;
    a[n - 1][n - 1] = 1.0;
    for (int k = 1; k < n - 1; ++k) {
        const double h0 = X[k] - X[k - 1];
        const double h1 = X[k + 1] - X[k];
        a[k][k - 1] = h0;
        a[k][k] = 2.0 * (h0 + h1);
        a[k][k + 1] = h1;
        a[k][n] = (Y[k + 1] - Y[k]) / h1 - (Y[k] - Y[k - 1]) / h0;
    }
    for (int c = 0; c < n; ++c) {
        for (int r = c + 1; r < n; ++r) {
            const double m = a[r][c] / a[c][c];
            for (int j = c; j <= n; ++j) {
                a[r][j] -= m * a[c][j];
            }
        }
    }
    std::vector<double> K(n);
    for (int r = n - 1; r >= 0; --r) {
        double s = a[r][n];
        for (int j = r + 1; j < n; ++j) {
            s -= a[r][j] * K[j];
        }
        K[r] = s / a[r][r];
    }
    return K;
}

TEST(SplineSecondDerivatives, MatchesTheFullSystem) {
    for (int n : {3, 4, 7, 33, 256}) {
        SCOPED_TRACE(n);
        std::vector<double> X(n), Y(n), K(n);
        for (int k = 0; k < n; ++k) {
            X[k] = 4.0 * k + (k * 7 % 3);
            Y[k] = (k * 389 % 1024);
        }
        SplineSecondDerivatives(X.data(), Y.data(), K.data(), n);
        const std::vector<double> expected = DenseCoefficients(X, Y);
        for (int k = 0; k < n; ++k) {
            ASSERT_NEAR(K[k], expected[k], 1e-9 * (1 + std::fabs(expected[k]))) << k;
        }
        // The curve is continuous in value and slope at every inner knot.
        for (int k = 1; k < n - 1; ++k) {
            EXPECT_NEAR(SplineValue(X[k], X.data(), Y.data(), K.data(), n), Y[k], 1e-6);
            const double e = 1e-4;
            const double left = (SplineValue(X[k], X.data(), Y.data(), K.data(), n) -
                                 SplineValue(X[k] - e, X.data(), Y.data(), K.data(), n)) /
                                e;
            const double right = (SplineValue(X[k] + e, X.data(), Y.data(), K.data(), n) -
                                  SplineValue(X[k], X.data(), Y.data(), K.data(), n)) /
                                 e;
            EXPECT_NEAR(left, right, 1e-2 * (1 + std::fabs(left))) << k;
        }
    }
}

TEST(LevelsFromPoints, PointsSharingAnXAreEvaluatedWithoutDividingByZero) {
    struct Case {
        const char* name;
        ControlPointList list;
        ControlPointList equivalent; // the list the curve must equal
    } cases[] = {
        {"inner pair", MakeList({{0, 0}, {500, 300}, {500, 900}, {1020, 1020}}),
         MakeList({{0, 0}, {500, 900}, {1020, 1020}})},
        {"right edge", MakeList({{0, 0}, {1019, 1000}, {1019, 200}}),
         MakeList({{0, 0}, {1019, 200}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LevelTable t = Levels(c.list);
        for (std::uint16_t v : t) {
            ASSERT_LE(v, 1023);
        }
        EXPECT_EQ(t, Levels(c.equivalent));
    }
}

TEST(LevelsFromPoints, PointsOutOfOrderStayKnotsOfTheSpline) {
    // A fit can leave a point left of the one before it; the spline still runs through every
    // point as listed.
    const ControlPointList list = MakeList({{0, 0}, {600, 800}, {500, 100}, {1020, 1020}});
    const double X[] = {0, 600, 500, 1020};
    const double Y[] = {0, 800, 100, 1020};
    double K[4];
    SplineSecondDerivatives(X, Y, K, 4);
    const LevelTable t = Levels(list);
    for (int j = 1; j < 255; ++j) {
        const double v = SplineValue(4.0 * j, X, Y, K, 4);
        const int expected = v < 0 ? 0 : (v >= 1023 ? 1023 : static_cast<int>(v));
        ASSERT_EQ(t[j], expected) << j;
    }
}

TEST(LevelsFromPoints, LevelsFarOutOfRangeClamp) {
    const LevelTable t =
        Levels(MakeList({{0, -2000000000}, {300, 2000000000}, {700, -10000005}, {1020, 5000}}));
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[75], 1023);
    EXPECT_EQ(t[175], 0);
    EXPECT_EQ(t[255], 1023);
}

TEST(FormulaLevels, KnownValues) {
    struct Case {
        int a, b, c, entry, level;
    } cases[] = {
        {0, 0, 0, 0, 0},         {0, 0, 0, 1, 4},       {0, 0, 0, 255, 1020},
        {30, 0, 0, 64, 512},     {-30, 0, 0, 128, 362}, {-30, 0, 0, 64, 128},
        {0, 0, 30, 0, 51},       {0, 0, -30, 0, 0},     {0, 0, -30, 12, 0},
        {0, 0, -30, 13, 0},      {0, 0, -30, 14, 4},    {30, 30, 30, 255, 1023},
        {30, 30, 30, 230, 1023}, {0, -30, 0, 255, 918},
    };
    for (const Case& c : cases) {
        LevelTable t{};
        FormulaLevels(c.a, c.b, c.c, t);
        EXPECT_EQ(t[c.entry], c.level) << c.a << "," << c.b << "," << c.c << " entry " << c.entry;
    }
    LevelTable identity{};
    FormulaLevels(0, 0, 0, identity);
    EXPECT_EQ(identity, IdentityLevels());
}

TEST(FallingStretches, MarksEachRunOfFallingEntries) {
    EXPECT_TRUE(FallingStretches(IdentityLevels()).empty());
    LevelTable flat{};
    flat.fill(500);
    EXPECT_TRUE(FallingStretches(flat).empty());

    LevelTable t = IdentityLevels();
    t[10] = 5;   // 36 -> 5 -> 44: one falling step
    t[101] = 90; // 400 -> 90 -> 80 -> 412: two steps in a row
    t[102] = 80;
    t[255] = 0; // the last step
    const std::vector<LevelStretch> expected{{9, 10}, {100, 102}, {254, 255}};
    EXPECT_EQ(FallingStretches(t), expected);

    LevelTable down{};
    for (int i = 0; i < kLevelCount; ++i) {
        down[i] = static_cast<std::uint16_t>(1023 - 4 * i);
    }
    EXPECT_EQ(FallingStretches(down), (std::vector<LevelStretch>{{0, 255}}));
}

TEST(FallingStretches, SplineOvershootBetweenClosePointsFalls) {
    // A steep step between two close points: the natural spline swings past the upper level and
    // comes back down.
    const LevelTable overshoot = Levels(MakeList({{0, 0}, {400, 100}, {440, 900}, {1020, 1000}}));
    const std::vector<LevelStretch> falling = FallingStretches(overshoot);
    ASSERT_FALSE(falling.empty());
    for (const LevelStretch& s : falling) {
        EXPECT_LT(s.first, s.last);
        EXPECT_LT(overshoot[s.last], overshoot[s.first]);
    }
    // Spread points along a rising curve stay rising.
    EXPECT_TRUE(
        FallingStretches(Levels(MakeList({{0, 0}, {300, 500}, {700, 850}, {1020, 1023}}))).empty());
}

} // namespace
} // namespace tonedesk
