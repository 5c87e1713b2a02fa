#pragma once

#include "gamma/GammaTable.h"

#include <vector>

namespace tonedesk {

// Natural cubic spline through (X[k], Y[k]), k < n, no two neighbouring X equal, n <= kMaxPoints.
// K receives the second derivatives divided by 6 (K[0] = K[n-1] = 0).
void SplineSecondDerivatives(const double* X, const double* Y, double* K, int n);

// The spline at x; an x equal to a knot X[k] (k > 0) is evaluated on the segment ending there.
double SplineValue(double x, const double* X, const double* Y, const double* K, int n);

// Fills `table` from the points: flat at the first point's level left of it and at the last
// point's level right of it, the spline between, every entry clamped to 0..1023. A point with
// the same x as the point before it (the graph and the fit can make such lists) is merged into
// that earlier knot, the later point's level winning, so no segment is ever 0 wide; points out
// of order (the fit can make those) stay knots as listed. Does nothing without a list or
// without points.
void LevelsFromPoints(const ControlPointList* list, LevelTable& table);

// The formula curve of one channel: exponent parameter a, gain parameter b, offset parameter c.
void FormulaLevels(int a, int b, int c, LevelTable& table);

// Entries first..last of a level table, first < last, over which every entry lies below the one
// before it.
struct LevelStretch {
    int first = 0;
    int last = 0;
    friend bool operator==(const LevelStretch&, const LevelStretch&) = default;
};

// The longest stretches over which the table falls (L[i + 1] < L[i] for every step inside), in
// ascending order; empty for a table that never falls. A spline overshooting between close points
// makes such stretches, which a projector shows as banding.
std::vector<LevelStretch> FallingStretches(const LevelTable& table);

} // namespace tonedesk
