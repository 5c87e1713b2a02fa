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
    static void DrawCurve(GraphPainter& painter, int originX, int originY,
                          const ControlPointList* points, const LevelTable& table, bool noMarkers,
                          GraphColor color);

    void BeginDrag(int mouseX, int mouseY);
    void DragTo(int mouseX, int mouseY);

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
    void ClearDisplayedPoints() { displayedPoints_ = nullptr; }

private:
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
    GraphPoint grabMouse_{};
    ControlPoint removedPoint_{};
    ControlPoint grabbed_{};
    std::string readoutX_;
    std::string readoutY_;
    GraphColor curveColor_ = GraphColor::System(GraphColor::Kind::ButtonText);
};

} // namespace tonedesk
