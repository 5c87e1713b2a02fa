#pragma once

#include "gamma/GammaTable.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace tonedesk {

// The three level tables of one bank, red, green, blue.
using ChannelLevels = std::array<LevelTable, kChannelCount>;

// The level of a curve value: floor(1023 x clamp(y, 0, 1) + 0.5). NaN reads as 0.
std::uint16_t LevelFromValue(double y);

// Entry i is the level of f(i / 255), f being a curve over [0, 1].
LevelTable LevelsFromCurve(const std::function<double(double)>& f);

// A curve given as samples (x[k], y[k]), x ascending, at least one sample: linear between
// neighbouring samples, the end value outside the first and the last.
double SampledValue(const std::vector<double>& x, const std::vector<double>& y, double at);

// The levels of the sampled curve.
LevelTable LevelsFromSamples(const std::vector<double>& x, const std::vector<double>& y);

// How reading calibration curves (a .cal file, a profile's vcgt) came out.
enum class CurveReadStatus {
    Read,        // levels hold the curves
    Unreadable,  // the file could not be read, or is not of its kind
    Malformed,   // the file is of its kind, but its curves are missing or make no sense
    Unsupported, // the file holds curves of a kind the program does not take
    NoCurves,    // a profile without calibration curves
};

struct CurveReadResult {
    CurveReadStatus status = CurveReadStatus::Read;
    std::string error;                 // why, when not Read
    std::vector<std::string> warnings; // what was read, but changed on the way
    ChannelLevels levels{};

    bool Ok() const { return status == CurveReadStatus::Read; }
    static CurveReadResult Failure(CurveReadStatus status, std::string error);
};

// Reads the whole file at `path` and hands its bytes to `parse`; Unreadable, saying why, when
// the file cannot be read.
CurveReadResult ReadCurveFile(const std::string& path,
                              CurveReadResult (*parse)(const std::string& data));

} // namespace tonedesk
