#include "gamma/CurveGraph.h"

#include "gamma/CurveMath.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tonedesk {

namespace {

// Grid line offsets within the plot: tenths of full scale.
constexpr std::array<int, 11> kGridSteps{0, 25, 51, 76, 102, 128, 153, 179, 204, 230, 256};
// Hit test reach: a point within these distances (curve units) of the press is taken.
constexpr int kHitReachX = 32;
constexpr int kHitReachY = 192;
// Moves keep this distance (curve units) from the neighbouring points.
constexpr int kPointSpacing = 20;

std::int64_t Distance(std::int64_t a, std::int64_t b) {
    return a > b ? a - b : b - a;
}

} // namespace

void CCurveGraph::CreateSurface(const GraphRect& placeholder) {
    dragging_ = false;
    removed_ = false;
    const int left = placeholder.left + (placeholder.right - placeholder.left - kPlotSize) / 2;
    const int top = placeholder.top + (placeholder.bottom - placeholder.top - kPlotSize) / 2;
    square_ = {left, top, left + kPlotSize, top + kPlotSize};
    origin_ = {left + 10, top + 10};
    far_ = {left + 266, top + 266};
}

void CCurveGraph::DrawBackground(GraphPainter& surface) const {
    surface.FillRect({0, 0, kPlotSize, kPlotSize},
                     GraphColor::System(GraphColor::Kind::ButtonFace));
    const std::array<GraphPoint, 5> frame{{{5, 5}, {271, 5}, {271, 271}, {5, 271}, {5, 5}}};
    surface.Polyline(frame, GraphColor::System(GraphColor::Kind::ButtonText), PenStyle::Solid);
    const GraphColor grid = GraphColor::System(GraphColor::Kind::ButtonHighlight);
    for (int t : kGridSteps) {
        const std::array<GraphPoint, 2> line{{{10, t + 9}, {266, t + 9}}};
        surface.Polyline(line, grid, PenStyle::Dot);
    }
    for (int t : kGridSteps) {
        const std::array<GraphPoint, 2> line{{{t + 10, 10}, {t + 10, 266}}};
        surface.Polyline(line, grid, PenStyle::Dot);
    }
}

void CCurveGraph::DrawCurve(GraphPainter& painter, int originX, int originY,
                            const ControlPointList* points, const LevelTable& table, bool noMarkers,
                            GraphColor color, int selected) {
    if (points != nullptr && !noMarkers) {
        for (int k = 0; k < points->count; ++k) {
            const ControlPoint& p = points->points[k];
            const int left = originX + p.x / 4 - 2;
            const int top = originY + 253 - p.y / 4;
            painter.FillRect({left, top, left + 5, top + 5}, color);
            if (k == selected) {
                // A frame two pixels clear of the marker.
                const int l = left - 3;
                const int t = top - 3;
                const std::array<GraphPoint, 5> frame{
                    {{l, t}, {l + 10, t}, {l + 10, t + 10}, {l, t + 10}, {l, t}}};
                painter.Polyline(frame, color, PenStyle::Solid);
            }
        }
    }
    std::array<GraphPoint, kLevelCount + 1> line;
    std::array<double, kLevelCount + 1> exactY;
    line[0] = {originX, originY + 256 - table[0] / 4};
    exactY[0] = originY + 256 - table[0] / 4.0;
    for (int i = 0; i < kLevelCount; ++i) {
        line[i + 1] = {originX + i, originY + 256 - table[i] / 4};
        exactY[i + 1] = originY + 256 - table[i] / 4.0;
    }
    painter.Curve(line, exactY, color);
}

void CCurveGraph::Paint(GraphPainter& owner) const {
    owner.CopySurface(square_);
    if (displayedLevels_ != nullptr) {
        DrawCurve(owner, origin_.x, origin_.y, displayedPoints_, *displayedLevels_, false,
                  curveColor_, SelectedPoint());
    }
}

void CCurveGraph::ComputeDisplayedLevels() {
    if (displayedPoints_ != nullptr && displayedLevels_ != nullptr) {
        LevelsFromPoints(displayedPoints_, *displayedLevels_);
    }
}

void CCurveGraph::Redraw() {
    ComputeDisplayedLevels();
    if (host_ != nullptr) {
        host_->CurveChanged();
    }
}

int CCurveGraph::SelectedPoint() const {
    if (displayedPoints_ == nullptr || selected_ >= displayedPoints_->count) {
        return -1;
    }
    return selected_;
}

bool CCurveGraph::SelectNextPoint(int step) {
    const int n = displayedPoints_ == nullptr ? 0 : displayedPoints_->count;
    const int current = SelectedPoint();
    const int next = current < 0 ? (step > 0 ? 0 : n - 1) : current + step;
    if (n <= 0 || next < 0 || next >= n) {
        selected_ = -1;
        return false;
    }
    selected_ = next;
    SetReadouts(displayedPoints_->points[next]);
    if (host_ != nullptr) {
        host_->CurveChanged();
    }
    return true;
}

bool CCurveGraph::MoveSelectedTo(int x, int y) {
    const int i = SelectedPoint();
    if (i < 0) {
        return false;
    }
    auto& P = displayedPoints_->points;
    const int n = displayedPoints_->count;
    const int lo = i == 0 ? 0 : P[i - 1].x + kPointSpacing;
    const int hi = i < n - 1 ? P[i + 1].x - kPointSpacing : 1023;
    // Neighbours closer than the spacing leave the point no room: its x stays.
    const int nx = lo > hi ? P[i].x : std::clamp(x, lo, hi);
    const int ny = std::clamp(y, 0, kMaxLevel);
    const ControlPoint moved{nx, ny};
    if (P[i] == moved) {
        return false;
    }
    BeforePointEdit();
    P[i] = moved;
    PointChanged(moved);
    return true;
}

bool CCurveGraph::NudgeSelected(int dx, int dy) {
    const int i = SelectedPoint();
    if (i < 0) {
        return false;
    }
    const ControlPoint& p = displayedPoints_->points[i];
    // A point read from a file may lie outside 0..1023: the move starts from the clamped value.
    const auto start = [](std::int32_t v, int limit) {
        return std::clamp<std::int32_t>(v, 0, limit);
    };
    return MoveSelectedTo(start(p.x, 1023) + dx, start(p.y, kMaxLevel) + dy);
}

bool CCurveGraph::RemoveSelected() {
    const int i = SelectedPoint();
    if (i <= 0 || i >= displayedPoints_->count - 1) {
        return false;
    }
    BeforePointEdit();
    displayedPoints_->Remove(i);
    selected_ = i - 1;
    PointChanged(displayedPoints_->points[i - 1]);
    return true;
}

void CCurveGraph::PointChanged(ControlPoint shown) {
    PointsEdited();
    SetReadouts(shown);
    Redraw();
    SetModified();
}

int CCurveGraph::CurveX(int mouseX) const {
    const int px = 4 * (mouseX - origin_.x);
    return px > 1019 ? 1019 : px;
}

int CCurveGraph::CurveY(int mouseY) const {
    const int py = 4 * (origin_.y + 256 - mouseY);
    return py < 0 ? 0 : (py > kMaxLevel ? kMaxLevel : py);
}

std::string CCurveGraph::ReadoutText(int value) {
    char text[32];
    std::snprintf(text, sizeof text, "%3d %%", static_cast<int>(value * 100LL / kMaxLevel));
    return text;
}

void CCurveGraph::SetReadouts(ControlPoint p) {
    readoutX_ = ReadoutText(p.x);
    readoutY_ = ReadoutText(p.y);
    if (host_ != nullptr) {
        host_->ReadoutsChanged();
    }
}

void CCurveGraph::BeginDrag(int mouseX, int mouseY) {
    dragIndex_ = -1;
    removed_ = false;
    if (host_ != nullptr) {
        host_->SetMouseCapture(true);
    }
    if (square_.Contains(mouseX, mouseY)) {
        dragging_ = true;
        DragTo(mouseX, mouseY);
    }
}

void CCurveGraph::EndDrag() {
    dragging_ = false;
    if (host_ != nullptr) {
        host_->SetMouseCapture(false);
    }
}

void CCurveGraph::DragTo(int mouseX, int mouseY) {
    ControlPointList* list = displayedPoints_;
    // No list in formula mode; an empty list (a channel never loaded) has nothing to grab.
    if (list == nullptr || list->count <= 0) {
        return;
    }
    auto& P = list->points;
    const int n = list->count;

    if (dragIndex_ < 0) {
        grabMouse_ = {mouseX, mouseY};
        const int px = CurveX(mouseX);
        const int py = CurveY(mouseY);
        int index = 0;
        bool grab = false;
        int near = -1;
        for (int k = 0; k < n; ++k) {
            const std::int64_t dx = static_cast<std::int64_t>(P[k].x) - px;
            const std::int64_t dy = Distance(P[k].y, py);
            if (dx < 0) {
                if (dx > -kHitReachX && dy < kHitReachY) {
                    near = k;
                }
                index = k + 1;
                continue;
            }
            if (dx < kHitReachX && dy < kHitReachY) {
                grab = true;
            } else if (near != -1) {
                index = near;
                grab = true;
            }
            if (n >= kMaxPoints) {
                grab = true;
            }
            break;
        }
        if (index == 0 || index == n || n >= kMaxPoints) {
            grab = true;
            if (index >= n) {
                index = n - 1;
            }
        }
        dragIndex_ = index;
        selected_ = index;
        if (grab) {
            grabbed_ = P[index];
            Move(mouseX, mouseY);
            return;
        }
        removed_ = false;
        grabbed_ = {px, py};
        list->Insert(index, grabbed_);
        PointsEdited();
        SetReadouts(grabbed_);
        Redraw();
        SetModified();
        return;
    }

    if (square_.Contains(mouseX, mouseY)) {
        if (!removed_) {
            Move(mouseX, mouseY);
            return;
        }
        removed_ = false;
        list->Insert(dragIndex_, removedPoint_);
        selected_ = dragIndex_;
        grabbed_ = removedPoint_;
        grabMouse_ = {mouseX, mouseY};
        PointsEdited();
        SetReadouts(grabbed_);
        Redraw();
        SetModified();
        return;
    }
    if (removed_) {
        return;
    }
    if (dragIndex_ == 0 || dragIndex_ == n - 1) {
        Move(mouseX, mouseY);
        return;
    }
    removedPoint_ = P[dragIndex_];
    removed_ = true;
    list->Remove(dragIndex_);
    selected_ = -1;
    PointsEdited();
    Redraw();
    SetModified();
}

void CCurveGraph::Move(int mouseX, int mouseY) {
    ControlPointList& list = *displayedPoints_;
    auto& P = list.points;
    const int n = list.count;
    const int i = dragIndex_;
    const int lo = i == 0 ? 0 : P[i - 1].x + kPointSpacing;
    const int hi = i < n - 1 ? P[i + 1].x - kPointSpacing : 1023;
    // Wide arithmetic: a point read from a file may carry any 32-bit level.
    std::int64_t nx = grabbed_.x + 4LL * (mouseX - grabMouse_.x);
    std::int64_t ny = grabbed_.y + 4LL * (grabMouse_.y - mouseY);
    if (nx < lo) {
        nx = lo;
    }
    if (ny < 0) {
        ny = 0;
    }
    if (nx > hi) {
        nx = hi;
    }
    if (ny > kMaxLevel) {
        ny = kMaxLevel;
    }
    // Neighbours closer than the spacing would push the point past its left neighbour (or the
    // first point below 0): it keeps its x instead, so the list stays in ascending order.
    if (nx < (i == 0 ? 0 : P[i - 1].x)) {
        nx = P[i].x;
    }
    const ControlPoint moved{static_cast<std::int32_t>(nx), static_cast<std::int32_t>(ny)};
    if (P[i] == moved) {
        return;
    }
    P[i] = moved;
    PointsEdited();
    SetReadouts(P[i]);
    Redraw();
    SetModified();
}

} // namespace tonedesk
