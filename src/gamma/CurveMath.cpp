#include "gamma/CurveMath.h"

#include <array>
#include <cmath>

namespace tonedesk {

namespace {

// A computed level as stored: truncated toward zero and clamped to 0..1023 (NaN gives 0).
std::uint16_t ClampLevel(double v) {
    if (!(v >= 0.0)) {
        return 0;
    }
    if (v >= static_cast<double>(kMaxLevel)) {
        return kMaxLevel;
    }
    return static_cast<std::uint16_t>(v);
}

} // namespace

void SplineSecondDerivatives(const double* X, const double* Y, double* K, int n) {
    if (n <= 0) {
        return;
    }
    K[0] = 0.0;
    K[n - 1] = 0.0;
    if (n <= 2) {
        return;
    }
    std::array<double, kMaxPoints> H; // segment widths
    std::array<double, kMaxPoints> S; // slopes, then pivots (S[k - 1] holds the pivot of row k)
    for (int k = 0; k <= n - 2; ++k) {
        H[k] = X[k + 1] - X[k];
        S[k] = (Y[k + 1] - Y[k]) / H[k];
    }
    // Forward elimination. Row k's pivot replaces S[k - 1], which is no longer needed once
    // row k + 1's right-hand side has been formed.
    K[1] = S[1] - S[0];
    double pivot = 2.0 * (X[2] - X[0]);
    for (int k = 1; k <= n - 3; ++k) {
        const double m = H[k] / pivot;
        K[k + 1] = (S[k + 1] - S[k]) - m * K[k];
        S[k - 1] = pivot;
        pivot = 2.0 * (X[k + 2] - X[k]) - m * H[k];
    }
    S[n - 3] = pivot;
    for (int k = n - 2; k >= 1; --k) {
        K[k] = (K[k] - H[k] * K[k + 1]) / S[k - 1];
    }
}

double SplineValue(double x, const double* X, const double* Y, const double* K, int n) {
    if (n <= 0) {
        return 0.0;
    }
    if (n == 1) {
        return Y[0];
    }
    int lo = 0;
    int hi = n - 1;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (X[mid] < x) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    const int i = lo == 0 ? 0 : lo - 1;
    const double h = X[i + 1] - X[i];
    if (h == 0.0) {
        return Y[i + 1];
    }
    const double d = x - X[i];
    const double b = (Y[i + 1] - Y[i]) / h - h * (2.0 * K[i] + K[i + 1]);
    return Y[i] + d * (b + d * (3.0 * K[i] + d * (K[i + 1] - K[i]) / h));
}

void LevelsFromPoints(const ControlPointList* list, LevelTable& table) {
    if (list == nullptr || list->count <= 0) {
        return;
    }
    const int n = list->count < kMaxPoints ? list->count : kMaxPoints;
    std::array<double, kMaxPoints> X;
    std::array<double, kMaxPoints> Y;
    std::array<double, kMaxPoints> K;
    int knots = 0;
    for (int k = 0; k < n; ++k) {
        const double x = list->points[k].x;
        const double y = list->points[k].y;
        if (knots > 0 && x == X[knots - 1]) {
            Y[knots - 1] = y;
            continue;
        }
        X[knots] = x;
        Y[knots] = y;
        ++knots;
    }
    SplineSecondDerivatives(X.data(), Y.data(), K.data(), knots);

    const ControlPoint& firstPoint = list->points[0];
    const ControlPoint& lastPoint = list->points[n - 1];
    const int first = firstPoint.x / 4;
    const int last = lastPoint.x / 4;
    for (int j = 0; j < kLevelCount; ++j) {
        double v;
        if (j <= first) {
            v = firstPoint.y;
        } else if (j >= last) {
            v = lastPoint.y;
        } else {
            v = SplineValue(4.0 * j, X.data(), Y.data(), K.data(), knots);
        }
        table[j] = ClampLevel(v);
    }
}

void FormulaLevels(int a, int b, int c, LevelTable& table) {
    const double e = 1.0 - a * 0.016666666666666666;
    const double g = b * 0.0033333333333333335 + 1.0;
    const double o = c * 0.0016666666666666668;
    for (int j = 0; j < kLevelCount; ++j) {
        table[j] = ClampLevel((std::pow(j * 0.00390625, e) * g + o) * 1024.0);
    }
}

std::vector<LevelStretch> FallingStretches(const LevelTable& table) {
    std::vector<LevelStretch> stretches;
    for (int i = 0; i + 1 < kLevelCount; ++i) {
        if (table[i + 1] >= table[i]) {
            continue;
        }
        if (!stretches.empty() && stretches.back().last == i) {
            stretches.back().last = i + 1;
        } else {
            stretches.push_back({i, i + 1});
        }
    }
    return stretches;
}

} // namespace tonedesk
