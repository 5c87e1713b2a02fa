#pragma once

#include "gamma/GammaTable.h"

#include <optional>
#include <string>

namespace tonedesk {

// The standard responses a bank can be set to.
enum class TargetKind {
    Power,  // gamma:G, y = x^G, 1 <= G <= 3
    Srgb,   // srgb, the sRGB decoding
    Bt1886, // bt1886:B, the reference display EOTF for black level B = Lb / Lw, 0 <= B <= 0.1
    Lstar,  // lstar, the relative luminance of L* = 100 x
    Pq,     // pq:P, the perceptual quantiser EOTF on a display of peak P cd/m2, 100..10000
    Hlg,    // hlg, the hybrid log-gamma inverse OETF (scene light, no OOTF)
};

// A target and its parameter (unused by the kinds without one).
struct Target {
    TargetKind kind = TargetKind::Power;
    double parameter = 0;

    // Reads NAME[:PARAM]; nothing for an unknown name or a parameter out of range, `error`
    // then saying why.
    static std::optional<Target> Parse(const std::string& text, std::string* error);

    // The target's output in [0, 1] at input x in [0, 1].
    double Value(double x) const;
    // Entry i the level of Value(i / 255).
    LevelTable Levels() const;
};

} // namespace tonedesk
