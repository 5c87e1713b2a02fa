#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace tonedesk {

// The text of a .cal file of `rows` rows, a fine measurement: a different power per channel.
inline std::string CalText(int rows) {
    std::string text = "CAL\n\nDESCRIPTOR \"bench\"\nDEVICE_CLASS \"DISPLAY\"\nCOLOR_REP \"RGB\"\n"
                       "NUMBER_OF_FIELDS 4\nBEGIN_DATA_FORMAT\nRGB_I RGB_R RGB_G RGB_B\n"
                       "END_DATA_FORMAT\nNUMBER_OF_SETS " +
                       std::to_string(rows) + "\nBEGIN_DATA\n";
    for (int k = 0; k < rows; ++k) {
        const double x = k / static_cast<double>(rows - 1);
        char line[128];
        std::snprintf(line, sizeof line, "%.8f %.8f %.8f %.8f\n", x, std::pow(x, 2.2),
                      std::pow(x, 2.0), std::pow(x, 1.8));
        text += line;
    }
    return text + "END_DATA\n";
}

} // namespace tonedesk
