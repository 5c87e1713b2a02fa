#include "color/CalibrationCurve.h"

#include "support/FileRead.h"

#include <algorithm>
#include <cmath>

namespace tonedesk {

std::uint16_t LevelFromValue(double y) {
    if (!(y > 0.0)) {
        return 0;
    }
    const double clamped = std::min(y, 1.0);
    return static_cast<std::uint16_t>(std::floor(kMaxLevel * clamped + 0.5));
}

LevelTable LevelsFromCurve(const std::function<double(double)>& f) {
    LevelTable table{};
    for (int i = 0; i < kLevelCount; ++i) {
        table[i] = LevelFromValue(f(i / 255.0));
    }
    return table;
}

double SampledValue(const std::vector<double>& x, const std::vector<double>& y, double at) {
    if (at <= x.front()) {
        return y.front();
    }
    if (at >= x.back()) {
        return y.back();
    }
    // The first sample above `at`; the one before it is at or below.
    const auto upper = std::upper_bound(x.begin(), x.end(), at);
    const std::size_t k = static_cast<std::size_t>(upper - x.begin());
    const double x0 = x[k - 1];
    const double x1 = x[k];
    if (x1 <= x0) {
        return y[k];
    }
    const double t = (at - x0) / (x1 - x0);
    return y[k - 1] + t * (y[k] - y[k - 1]);
}

LevelTable LevelsFromSamples(const std::vector<double>& x, const std::vector<double>& y) {
    return LevelsFromCurve([&](double at) { return SampledValue(x, y, at); });
}

CurveReadResult CurveReadResult::Failure(CurveReadStatus status, std::string error) {
    CurveReadResult result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

CurveReadResult ReadCurveFile(const std::string& path,
                              CurveReadResult (*parse)(const std::string& data)) {
    std::string data;
    if (const int error = ReadWholeFile(path, data); error != 0) {
        return CurveReadResult::Failure(CurveReadStatus::Unreadable, FileReadReason(error));
    }
    return parse(data);
}

} // namespace tonedesk
