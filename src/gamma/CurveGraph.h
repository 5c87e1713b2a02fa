#pragma once

#include "gamma/GammaTable.h"
#include "gamma/GraphPainter.h"

#include <array>
#include <string>

namespace tonedesk {

// Side of the plot square and of the off-screen background, in pixels.
inline constexpr int kPlotSize = 276;

// The curve graph without a window: coordinate mapping, drawing geometry through a
// GraphPainter, and the mouse handling that adds, moves and removes control points.
class CCurveGraph {
public:
    explicit CCurveGraph(GraphHost* host = nullptr) : host_(host) {}
    virtual ~CCurveGraph() = default;
    CCurveGraph(const CCurveGraph&) = delete;
    CCurveGraph& operator=(const CCurveGraph&) = delete;

    // The owner that repaints, shows the read-outs and captures the mouse (none: nobody).
    void SetHost(GraphHost* host) { host_ = host; }

    // Places the plot square centred in `placeholder` (owner client coordinates).
    void CreateSurface(const GraphRect& placeholder);
    virtual void EndDrag();
    // Recomputes the displayed table from the displayed points and asks for a repaint.
    virtual void Redraw();
    // The static background into the off-screen surface (its own coordinates 0..275).
    virtual void DrawBackground(GraphPainter& surface) const;

    // The background copied onto the plot square, then the current curve with its markers.
    void Paint(GraphPainter& owner) const;
    // `selected` (an index into `points`, or -1) gets a frame around its marker.
    static void DrawCurve(GraphPainter& painter, int originX, int originY,
                          const ControlPointList* points, const LevelTable& table, bool noMarkers,
                          GraphColor color, int selected = -1);

    void BeginDrag(int mouseX, int mouseY);
    void DragTo(int mouseX, int mouseY);

    // The selected point of the displayed list (-1: none). A drag selects the point it moves.
    int SelectedPoint() const;
    // Selects the next (step 1) or previous (step -1) point; with none selected, the first or
    // the last. False, leaving nothing selected, when the step runs past either end.
    bool SelectNextPoint(int step);
    void ClearSelection() { selected_ = -1; }
    // Moves the selected point to (x, y), kept within its neighbours and 0..1023 as a drag
    // keeps it. False when there is no selected point or it stays where it is.
    bool MoveSelectedTo(int x, int y);
    // Moves the selected point by (dx, dy) levels.
    bool NudgeSelected(int dx, int dy);
    // Removes the selected point unless it is the first or the last; the previous one is
    // selected then.
    bool RemoveSelected();

    // Mapping between curve space and the owner's client coordinates.
    int ScreenX(int x) const { return origin_.x + x / 4; }
    int ScreenY(int level) const { return origin_.y + 256 - level / 4; }
    int CurveX(int mouseX) const;
    int CurveY(int mouseY) const;

    // "%3d %%" of value x 100 / 1023.
    static std::string ReadoutText(int value);

    const GraphRect& PlotSquare() const { return square_; }
    GraphPoint Origin() const { return origin_; }
    GraphPoint FarCorner() const { return far_; }
    bool IsDragging() const { return dragging_; }
    bool IsRemoved() const { return removed_; }
    bool IsModified() const { return modified_; }
    void ClearModified() { modified_ = false; }
    int DragIndex() const { return dragIndex_; }
    const std::string& ReadoutX() const { return readoutX_; }
    const std::string& ReadoutY() const { return readoutY_; }
    GraphColor CurveColor() const { return curveColor_; }
    const ControlPointList* DisplayedPoints() const { return displayedPoints_; }
    const LevelTable* DisplayedLevels() const { return displayedLevels_; }

protected:
    void SetModified() { modified_ = true; }
    void SetCurveColor(GraphColor color) { curveColor_ = color; }
    void SetDisplayed(ControlPointList* points, LevelTable* levels) {
        displayedPoints_ = points;
        displayedLevels_ = levels;
    }
    void ClearDisplayedPoints() {
        displayedPoints_ = nullptr;
        selected_ = -1;
    }
    // Fills the displayed level table for Redraw: by default the spline through the points.
    virtual void ComputeDisplayedLevels();
    // Called before a point is changed from the keyboard (a drag's press is the owner's).
    virtual void BeforePointEdit() {}
    // Called after the displayed points changed, by a drag or from the keyboard.
    virtual void PointsEdited() {}

private:
    // Shows the point, redraws and marks the curve modified after a change of the points.
    void PointChanged(ControlPoint shown);
    void SetReadouts(ControlPoint p);
    void Move(int mouseX, int mouseY);

    GraphHost* host_;
    GraphPoint origin_{10, 10};
    GraphPoint far_{266, 266};
    GraphRect square_{0, 0, kPlotSize, kPlotSize};
    bool dragging_ = false;
    bool removed_ = false;
    bool modified_ = false;
    ControlPointList* displayedPoints_ = nullptr;
    LevelTable* displayedLevels_ = nullptr;
    int dragIndex_ = -1;
    int selected_ = -1;
    GraphPoint grabMouse_{};
    ControlPoint removedPoint_{};
    ControlPoint grabbed_{};
    std::string readoutX_;
    std::string readoutY_;
    GraphColor curveColor_ = GraphColor::System(GraphColor::Kind::ButtonText);
};

} // namespace tonedesk
