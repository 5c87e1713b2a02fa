#pragma once

#include <cstdint>
#include <span>

namespace tonedesk {

struct GraphPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const GraphPoint&, const GraphPoint&) = default;
};

// A rectangle whose right and bottom edges lie just outside it.
struct GraphRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const GraphRect&, const GraphRect&) = default;
};

// A colour of the graph: one of the system's button colours or a fixed RGB value.
struct GraphColor {
    enum class Kind : std::uint8_t { Rgb, ButtonFace, ButtonText, ButtonHighlight };
    Kind kind = Kind::Rgb;
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    static constexpr GraphColor Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return {Kind::Rgb, red, green, blue};
    }
    static constexpr GraphColor System(Kind k) { return {k, 0, 0, 0}; }
    friend bool operator==(const GraphColor&, const GraphColor&) = default;
};

enum class PenStyle { Solid, Dot };

// Where the graph draws: its off-screen background or the owner's plot. The widgets implement
// it; every coordinate is given exactly as it is to be drawn.
class GraphPainter {
public:
    virtual ~GraphPainter() = default;
    virtual void FillRect(const GraphRect& rect, GraphColor color) = 0;
    // Connected 1-pixel lines through the points, each line drawn without its end pixel.
    virtual void Polyline(std::span<const GraphPoint> points, GraphColor color, PenStyle style) = 0;
    // A level curve: the solid polyline through `points`, whose heights before truncation to
    // whole pixels are `exactY` (one per point). By default the 1-pixel polyline; a painter with
    // finer pixels than the graph's may draw it at the exact heights.
    virtual void Curve(std::span<const GraphPoint> points, std::span<const double> exactY,
                       GraphColor color) {
        (void)exactY;
        Polyline(points, color, PenStyle::Solid);
    }
    // Copies the off-screen background, unchanged, onto `target` of the owner.
    virtual void CopySurface(const GraphRect& target) = 0;
};

// What the graph tells its owner.
class GraphHost {
public:
    virtual ~GraphHost() = default;
    // The displayed curve changed: paint the plot again.
    virtual void CurveChanged() {}
    // The read-outs of the dragged point changed.
    virtual void ReadoutsChanged() {}
    // Mouse capture for the owner, taken at a press and released at the end of a drag.
    virtual void SetMouseCapture(bool) {}
};

} // namespace tonedesk
