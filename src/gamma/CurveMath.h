#pragma once

#include "gamma/GammaTable.h"

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

} // namespace tonedesk
