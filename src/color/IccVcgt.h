#pragma once

#include "color/CalibrationCurve.h"

#include <optional>
#include <string>

namespace tonedesk {

// Calibration curves in the vcgt tag of an ICC display profile.
class IccVcgt {
public:
    // The levels of the vcgt curves in the profile `data`: a table of 8- or 16-bit entries is
    // a sampled curve, a formula is evaluated as it stands.
    static CurveReadResult Parse(const std::string& data);
    // The same for the profile at `path`.
    static CurveReadResult Read(const std::string& path);

    // A version 2 display profile with sRGB primaries whose vcgt holds the levels as 3 x 256 16-bit
    // entries, round(level x 65535 / 1023). Nothing when it could not be made (`error` says
    // why).
    static std::optional<std::string> Format(const ChannelLevels& levels, std::string* error);
};

} // namespace tonedesk
