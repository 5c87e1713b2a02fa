#include "common/GammaGraphKit.h"
#include "gamma/CurveMath.h"
#include "gamma/GammaGraph.h"
#include "support/Settings.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonedesk {
namespace {

struct RecordingPainter final : GraphPainter {
    struct Fill {
        GraphRect rect;
        GraphColor color;
    };
    struct Line {
        std::vector<GraphPoint> points;
        GraphColor color;
        PenStyle style;
    };
    void FillRect(const GraphRect& rect, GraphColor color) override {
        fills.push_back({rect, color});
    }
    void Polyline(std::span<const GraphPoint> points, GraphColor color, PenStyle style) override {
        lines.push_back({{points.begin(), points.end()}, color, style});
    }
    void CopySurface(const GraphRect& target) override { copies.push_back(target); }
    std::vector<Fill> fills;
    std::vector<Line> lines;
    std::vector<GraphRect> copies;
};

struct RecordingHost final : GraphHost {
    void CurveChanged() override { ++curveChanges; }
    void SetMouseCapture(bool on) override { captures.push_back(on); }
    int curveChanges = 0;
    std::vector<bool> captures;
};

// A graph placed at a known spot, red displayed, with points (0,0) (512,512) (1020,1020).
struct DragFixture : ::testing::Test {
    DragFixture() : graph(settings, &host) {
        graph.CreateSurface({20, 30, 320, 330}); // square at (32, 42), origin (42, 52)
        LoadThreePoints();
    }
    void LoadThreePoints() { test::LoadThreeRedPoints(graph); }
    int MouseX(int x) const { return graph.ScreenX(x); }
    int MouseY(int y) const { return graph.ScreenY(y); }
    const ControlPointList& Points() { return graph.Points(0); }

    MemorySettings settings;
    RecordingHost host;
    CGammaGraph graph;
};

TEST_F(DragFixture, SurfaceIsCentredInThePlaceholder) {
    EXPECT_EQ(graph.PlotSquare(), (GraphRect{32, 42, 308, 318}));
    EXPECT_EQ(graph.Origin(), (GraphPoint{42, 52}));
    EXPECT_EQ(graph.FarCorner(), (GraphPoint{298, 308}));
    EXPECT_EQ(graph.ScreenX(1023), 42 + 255);
    EXPECT_EQ(graph.ScreenY(0), 52 + 256);
    EXPECT_EQ(graph.ScreenY(1023), 52 + 1);
    EXPECT_EQ(graph.CurveX(42 + 300), 1019);
    EXPECT_EQ(graph.CurveX(42 - 3), -12); // no lower limit
    EXPECT_EQ(graph.CurveY(52), 1023);
    EXPECT_EQ(graph.CurveY(52 + 300), 0);
}

TEST(CurveGraph, ReadoutTexts) {
    EXPECT_EQ(CCurveGraph::ReadoutText(1023), "100 %");
    EXPECT_EQ(CCurveGraph::ReadoutText(0), "  0 %");
    EXPECT_EQ(CCurveGraph::ReadoutText(1020), " 99 %");
    EXPECT_EQ(CCurveGraph::ReadoutText(512), " 50 %");
}

TEST_F(DragFixture, PressNearAPointGrabsItAndFartherInserts) {
    // 5 pixels right of (512, 512) and 10 above: dx = -20, dy = 40.
    graph.BeginDrag(MouseX(512) + 5, MouseY(512) - 10);
    EXPECT_TRUE(graph.IsDragging());
    EXPECT_EQ(graph.DragIndex(), 1);
    EXPECT_EQ(Points().count, 3);
    EXPECT_FALSE(graph.IsModified());
    graph.EndDrag();
    EXPECT_FALSE(graph.IsDragging());
    EXPECT_EQ(host.captures, (std::vector<bool>{true, false}));

    graph.BeginDrag(MouseX(512) + 10, MouseY(512) - 10);
    ASSERT_EQ(Points().count, 4);
    EXPECT_EQ(graph.DragIndex(), 2);
    EXPECT_EQ(Points().points[2], (ControlPoint{552, 552}));
    EXPECT_EQ(graph.ReadoutX(), " 53 %");
    EXPECT_EQ(graph.ReadoutY(), " 53 %");
    EXPECT_TRUE(graph.IsModified());
    EXPECT_GT(host.curveChanges, 0);
    EXPECT_EQ(graph.Levels(0)[138], 552); // recomputed with the new point
}

TEST_F(DragFixture, GrabReachEndsShortOfEightPixelsOnEitherSide) {
    // A point is grabbed less than 32 units (8 pixels) away across; from 8 pixels on, a press
    // at its level inserts a new point.
    const struct {
        int pixels;
        bool grabs;
    } kCases[] = {{-9, false}, {-8, false}, {-7, true}, {0, true},
                  {7, true},   {8, false},  {9, false}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pixels);
        graph.BeginDrag(MouseX(512) + c.pixels, MouseY(512));
        EXPECT_EQ(Points().count, c.grabs ? 3 : 4);
        EXPECT_EQ(graph.DragIndex(), c.pixels > 0 && !c.grabs ? 2 : 1);
        EXPECT_EQ(Points().points[c.grabs ? 1 : graph.DragIndex()].x,
                  c.grabs ? 512 : 512 + 4 * c.pixels);
        graph.EndDrag();
        LoadThreePoints();
    }
}

TEST_F(DragFixture, PressesBeyondTheEndsTakeTheEndPoints) {
    // The margin left of the plot, far below the first point's level: first point.
    graph.BeginDrag(graph.Origin().x - 5, MouseY(600));
    EXPECT_EQ(graph.DragIndex(), 0);
    EXPECT_EQ(Points().count, 3);
    graph.EndDrag();
    // At the right edge the press maps to 1019, left of the last point (1020): far below it, a
    // new point goes in one unit before it.
    graph.BeginDrag(graph.PlotSquare().right - 1, MouseY(0));
    EXPECT_EQ(graph.DragIndex(), 2);
    ASSERT_EQ(Points().count, 4);
    EXPECT_EQ(Points().points[2], (ControlPoint{1019, 0}));
    EXPECT_EQ(graph.Levels(0)[254], 0);
    EXPECT_EQ(graph.Levels(0)[255], 1020);
    graph.EndDrag();
    // Outside the square: no drag.
    graph.BeginDrag(5, 5);
    EXPECT_FALSE(graph.IsDragging());
    EXPECT_EQ(graph.DragIndex(), -1);
}

TEST_F(DragFixture, KeyboardMovesTheSelectedPointWithinItsNeighbours) {
    // Point 1 (512, 512) between (0, 0) and (1020, 1020); moves keep 20 units from them.
    const struct {
        int point;
        int dx;
        int dy;
        bool moves;
        ControlPoint expected;
    } kCases[] = {
        {1, 0, 1, true, {512, 513}},    {1, 0, -10, true, {512, 502}},
        {1, 10, 0, true, {522, 512}},   {1, -1, 0, true, {511, 512}},
        {1, 600, 0, true, {1000, 512}}, {1, -600, 0, true, {20, 512}},
        {1, 0, 900, true, {512, 1023}}, {1, 0, -900, true, {512, 0}},
        {0, -1, 0, false, {0, 0}},      {0, 0, -10, false, {0, 0}},
        {2, 10, 0, true, {1023, 1020}}, {2, -600, 0, true, {532, 1020}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.point << " by " << c.dx << "," << c.dy);
        LoadThreePoints();
        graph.ClearModified();
        graph.ClearUndo();
        for (int k = 0; k <= c.point; ++k) {
            ASSERT_TRUE(graph.SelectNextPoint(1));
        }
        EXPECT_EQ(graph.NudgeSelected(c.dx, c.dy), c.moves);
        EXPECT_EQ(Points().points[c.point], c.expected);
        EXPECT_EQ(graph.IsModified(), c.moves);
        EXPECT_EQ(graph.UndoState(), c.moves ? 1 : 0);
        LevelTable spline{};
        LevelsFromPoints(&Points(), spline);
        EXPECT_EQ(graph.Levels(0), spline);
    }
}

TEST_F(DragFixture, TabSelectionRunsOffBothEndsAndTheSelectedPointIsFramed) {
    EXPECT_EQ(graph.SelectedPoint(), -1);
    EXPECT_FALSE(graph.RemoveSelected());
    EXPECT_FALSE(graph.NudgeSelected(0, 1));
    for (int expected : {0, 1, 2}) {
        ASSERT_TRUE(graph.SelectNextPoint(1));
        EXPECT_EQ(graph.SelectedPoint(), expected);
    }
    EXPECT_FALSE(graph.SelectNextPoint(1)); // past the last: focus leaves the graph
    EXPECT_EQ(graph.SelectedPoint(), -1);
    ASSERT_TRUE(graph.SelectNextPoint(-1));
    EXPECT_EQ(graph.SelectedPoint(), 2);
    EXPECT_EQ(graph.ReadoutX(), " 99 %");
    EXPECT_FALSE(graph.RemoveSelected());
    ASSERT_TRUE(graph.SelectNextPoint(-1));
    EXPECT_TRUE(graph.MoveSelectedTo(300, 2000));
    EXPECT_EQ(Points().points[1], (ControlPoint{300, 1023}));

    // A drag selects the point it moves; the selected point is drawn with a frame.
    graph.ClearSelection();
    graph.BeginDrag(MouseX(300), MouseY(1023));
    graph.EndDrag();
    EXPECT_EQ(graph.SelectedPoint(), 1);
    RecordingPainter painter;
    graph.Paint(painter);
    ASSERT_EQ(painter.lines.size(), 2u); // the frame, then the curve
    EXPECT_EQ(painter.lines[0].points.front(), (GraphPoint{MouseX(300) - 5, MouseY(1023) - 6}));
    graph.SelectChannel(1);
    EXPECT_EQ(graph.SelectedPoint(), -1);
}

TEST_F(DragFixture, MovesStopShortOfTheNeighbours) {
    graph.BeginDrag(MouseX(512), MouseY(512));
    ASSERT_EQ(graph.DragIndex(), 1);
    graph.DragTo(MouseX(512) + 125, MouseY(512) - 10);
    EXPECT_EQ(Points().points[1], (ControlPoint{1000, 552}));
    EXPECT_EQ(graph.ReadoutX(), " 97 %");
    graph.DragTo(MouseX(512) - 130, graph.PlotSquare().bottom - 1);
    EXPECT_EQ(Points().points[1], (ControlPoint{20, 0}));
    graph.DragTo(MouseX(512), 0 + graph.PlotSquare().top);
    EXPECT_EQ(Points().points[1].y, 1023);
}

TEST_F(DragFixture, DraggingOutRemovesAndBackRestores) {
    graph.BeginDrag(MouseX(512), MouseY(512));
    graph.DragTo(MouseX(512) + 3, MouseY(512));
    EXPECT_EQ(Points().points[1], (ControlPoint{524, 512}));
    graph.ClearModified();
    graph.DragTo(graph.PlotSquare().right + 10, MouseY(512));
    EXPECT_TRUE(graph.IsRemoved());
    EXPECT_TRUE(graph.IsModified());
    ASSERT_EQ(Points().count, 2);
    EXPECT_EQ(graph.Levels(0)[131], 524);                     // the curve without it
    graph.DragTo(graph.PlotSquare().right + 20, MouseY(100)); // still out: nothing
    ASSERT_EQ(Points().count, 2);

    const int backX = graph.PlotSquare().right - 50;
    const int backY = MouseY(300);
    graph.DragTo(backX, backY);
    EXPECT_FALSE(graph.IsRemoved());
    ASSERT_EQ(Points().count, 3);
    EXPECT_EQ(Points().points[1], (ControlPoint{524, 512})); // where it was
    // The drag continues from the new mouse position.
    graph.DragTo(backX - 2, backY - 1);
    EXPECT_EQ(Points().points[1], (ControlPoint{516, 516}));
}

TEST_F(DragFixture, EndPointsStayWhenDraggedOut) {
    graph.BeginDrag(MouseX(0), MouseY(0));
    ASSERT_EQ(graph.DragIndex(), 0);
    graph.DragTo(graph.PlotSquare().left - 40, graph.PlotSquare().bottom + 40);
    EXPECT_FALSE(graph.IsRemoved());
    ASSERT_EQ(Points().count, 3);
    EXPECT_EQ(Points().points[0], (ControlPoint{0, 0}));
    graph.EndDrag();
    graph.BeginDrag(MouseX(1020), MouseY(1020));
    ASSERT_EQ(graph.DragIndex(), 2);
    graph.DragTo(graph.PlotSquare().right + 40, graph.PlotSquare().top - 40);
    EXPECT_EQ(Points().points[2], (ControlPoint{1023, 1023}));
}

TEST_F(DragFixture, ASqueezedPointKeepsItsOrder) {
    // Neighbours 12 apart leave no room for the 20-unit spacing.
    graph.Points(0).Insert(2, {520, 512});
    graph.Points(0).Insert(2, {516, 512});
    graph.BeginDrag(MouseX(516), MouseY(512)); // (512), (516), (520): grabs 516 (index 2)
    ASSERT_EQ(graph.DragIndex(), 2);
    graph.DragTo(MouseX(516) + 30, MouseY(512) - 10);
    EXPECT_EQ(Points().points[2], (ControlPoint{516, 552}));
    for (int k = 1; k < Points().count; ++k) {
        EXPECT_LT(Points().points[k - 1].x, Points().points[k].x);
    }
}

TEST_F(DragFixture, CloseNeighboursPinThePointAtTheRightLimit) {
    // Neighbours 30 apart: the point goes to 20 short of its right neighbour, still after its
    // left one, wherever the mouse goes.
    graph.Points(0).Insert(2, {542, 512});
    graph.Points(0).Insert(2, {524, 512});
    graph.BeginDrag(MouseX(524), MouseY(512)); // (512), (524), (542): grabs 524 (index 2)
    ASSERT_EQ(graph.DragIndex(), 2);
    EXPECT_EQ(Points().points[2], (ControlPoint{522, 512}));
    graph.DragTo(MouseX(524) - 40, MouseY(512) - 10);
    EXPECT_EQ(Points().points[2], (ControlPoint{522, 552}));
    graph.EndDrag();

    // A last point whose neighbour lies within 20 of the right edge goes to the edge.
    graph.Points(0).count = 0;
    graph.Points(0).Insert(0, {0, 0});
    graph.Points(0).Insert(1, {1008, 900});
    graph.Points(0).Insert(2, {1020, 1000});
    graph.BeginDrag(MouseX(1020), MouseY(1000));
    ASSERT_EQ(graph.DragIndex(), 2);
    EXPECT_EQ(Points().points[2], (ControlPoint{1023, 1000}));
}

TEST_F(DragFixture, FormulaModeAndEmptyListsIgnoreDrags) {
    graph.SetFormulaMode(true);
    graph.RecomputeLevels();
    graph.BeginDrag(MouseX(512) + 10, MouseY(300));
    EXPECT_EQ(Points().count, 3);
    EXPECT_FALSE(graph.IsModified());
    graph.EndDrag();

    MemorySettings settings2;
    CGammaGraph fresh(settings2);
    fresh.RecomputeLevels(); // displays red's empty list
    fresh.BeginDrag(100, 100);
    EXPECT_EQ(fresh.Points(0).count, 0);
}

TEST_F(DragFixture, AFullListNeverGrows) {
    ControlPointList& list = graph.Points(0);
    list.count = 0;
    for (int k = 0; k < 256; ++k) {
        list.Insert(k, {4 * k, 4 * k});
    }
    graph.BeginDrag(MouseX(402), MouseY(900));
    EXPECT_EQ(list.count, 256);
    EXPECT_GE(graph.DragIndex(), 0);
}

TEST_F(DragFixture, BackgroundGeometry) {
    RecordingPainter p;
    graph.SelectChannel(1);
    graph.DrawBackground(p);
    ASSERT_EQ(p.fills.size(), 1u);
    EXPECT_EQ(p.fills[0].rect, (GraphRect{0, 0, 276, 276}));
    EXPECT_EQ(p.fills[0].color, GraphColor::System(GraphColor::Kind::ButtonFace));
    ASSERT_EQ(p.lines.size(), 1u + 22u + 2u);
    EXPECT_EQ(p.lines[0].points,
              (std::vector<GraphPoint>{{5, 5}, {271, 5}, {271, 271}, {5, 271}, {5, 5}}));
    EXPECT_EQ(p.lines[0].style, PenStyle::Solid);
    EXPECT_EQ(p.lines[0].color, GraphColor::System(GraphColor::Kind::ButtonText));
    const int steps[] = {0, 25, 51, 76, 102, 128, 153, 179, 204, 230, 256};
    for (int k = 0; k < 11; ++k) {
        EXPECT_EQ(p.lines[1 + k].points,
                  (std::vector<GraphPoint>{{10, steps[k] + 9}, {266, steps[k] + 9}}));
        EXPECT_EQ(p.lines[12 + k].points,
                  (std::vector<GraphPoint>{{steps[k] + 10, 10}, {steps[k] + 10, 266}}));
        EXPECT_EQ(p.lines[1 + k].style, PenStyle::Dot);
        EXPECT_EQ(p.lines[12 + k].color, GraphColor::System(GraphColor::Kind::ButtonHighlight));
    }
    // The other channels, red then blue, at the surface's own origin.
    EXPECT_EQ(p.lines[23].color, GraphColor::Rgb(255, 0, 0));
    EXPECT_EQ(p.lines[24].color, GraphColor::Rgb(0, 0, 255));
    EXPECT_EQ(p.lines[24].points[0], (GraphPoint{10, 266}));
    EXPECT_EQ(p.lines[24].points[256], (GraphPoint{265, 266 - 255}));

    RecordingPainter linked;
    graph.SelectChannel(-1);
    graph.DrawBackground(linked);
    EXPECT_EQ(linked.lines.size(), 23u);
}

TEST_F(DragFixture, ANewChannelShowsTheOldCurveWithoutMarkersUntilRecomputed) {
    graph.Points(2).points[1] = {1020, 0};
    graph.Levels(2).fill(0);
    graph.SelectChannel(2);
    RecordingPainter p;
    graph.Paint(p);
    EXPECT_TRUE(p.fills.empty());
    ASSERT_EQ(p.lines.size(), 1u);
    EXPECT_EQ(p.lines[0].color, GraphColor::Rgb(0, 0, 255));
    EXPECT_EQ(p.lines[0].points[129], (GraphPoint{42 + 128, 308 - 128})); // red's table
    graph.RecomputeLevels();
    RecordingPainter after;
    graph.Paint(after);
    EXPECT_EQ(after.lines[0].points[129], (GraphPoint{42 + 128, 308}));
}

TEST_F(DragFixture, PaintGeometry) {
    RecordingPainter p;
    graph.Paint(p);
    EXPECT_EQ(p.copies, (std::vector<GraphRect>{graph.PlotSquare()}));
    ASSERT_EQ(p.fills.size(), 3u);
    // Point (512, 512): left = 42 + 128 - 2, top = 52 + 253 - 128.
    EXPECT_EQ(p.fills[1].rect, (GraphRect{168, 177, 173, 182}));
    EXPECT_EQ(p.fills[2].rect,
              (GraphRect{42 + 255 - 2, 52 + 253 - 255, 42 + 255 + 3, 52 + 258 - 255}));
    EXPECT_EQ(p.fills[0].color, GraphColor::Rgb(255, 0, 0));
    ASSERT_EQ(p.lines.size(), 1u);
    const auto& line = p.lines[0].points;
    ASSERT_EQ(line.size(), 257u);
    EXPECT_EQ(line[0], (GraphPoint{42, 308}));
    EXPECT_EQ(line[1], (GraphPoint{42, 308}));
    EXPECT_EQ(line[2], (GraphPoint{43, 307}));
    EXPECT_EQ(line[256], (GraphPoint{42 + 255, 308 - 255}));
}

} // namespace
} // namespace tonedesk
