#pragma once

#include "color/CalibrationCurve.h"

#include <optional>
#include <string>

namespace tonedesk {

// Calibration curves in the CGATS text of a .cal file: the fields RGB_I, RGB_R, RGB_G and
// RGB_B, one row per sample, RGB_I ascending in [0, 1].
class CalFile {
public:
    // The levels of the curves in `text`. A file for video-level encoding is refused; values
    // outside [0, 1] are clamped, with one warning.
    static CurveReadResult Parse(const std::string& text);
    // The same for the file at `path`.
    static CurveReadResult Read(const std::string& path);

    // The text of a display calibration of 256 rows, RGB_I = i / 255, each channel's value its
    // level / 1023. `created` is the CREATED keyword's text. Nothing when the text could not be
    // made (`error` then says why).
    static std::optional<std::string> Format(const ChannelLevels& levels,
                                             const std::string& created, std::string* error);
};

} // namespace tonedesk
