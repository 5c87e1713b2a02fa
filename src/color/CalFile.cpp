#include "color/CalFile.h"

#include "color/LcmsContext.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <strings.h>

namespace tonedesk {

namespace {

constexpr const char* kFields[] = {"RGB_I", "RGB_R", "RGB_G", "RGB_B"};

struct It8Free {
    void operator()(void* handle) const { cmsIT8Free(handle); }
};
using It8Handle = std::unique_ptr<void, It8Free>;

// A whole cell read as a finite number.
bool ReadNumber(const char* cell, double& value) {
    if (!cell || !*cell) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(cell, &end);
    return end != cell && *end == '\0' && std::isfinite(value);
}

} // namespace

CurveReadResult CalFile::Parse(const std::string& text) {
    if (text.empty()) {
        return CurveReadResult::Failure(CurveReadStatus::Unreadable, "the .cal file is empty");
    }
    CLcmsContext context;
    It8Handle it8(
        cmsIT8LoadFromMem(context.Get(), text.data(), static_cast<cmsUInt32Number>(text.size())));
    if (!it8) {
        return CurveReadResult::Failure(CurveReadStatus::Unreadable,
                                        context.Explain("not a CGATS .cal file"));
    }
    const char* encoding = cmsIT8GetProperty(it8.get(), "TV_OUTPUT_ENCODING");
    if (encoding && strcasecmp(encoding, "YES") == 0) {
        return CurveReadResult::Failure(
            CurveReadStatus::Unsupported,
            "the .cal file is for video-level encoding (TV_OUTPUT_ENCODING), which is not "
            "supported");
    }
    int columns[4];
    for (int f = 0; f < 4; ++f) {
        columns[f] = cmsIT8FindDataFormat(it8.get(), kFields[f]);
        if (columns[f] < 0) {
            return CurveReadResult::Failure(CurveReadStatus::Malformed,
                                            std::string("the .cal file has no field ") +
                                                kFields[f]);
        }
    }
    const double sets = cmsIT8GetPropertyDbl(it8.get(), "NUMBER_OF_SETS");
    if (!(sets >= 2) || sets > 1e6) {
        return CurveReadResult::Failure(CurveReadStatus::Malformed,
                                        "the .cal file needs at least 2 rows");
    }
    const int rows = static_cast<int>(sets);
    std::vector<double> values[4];
    for (auto& v : values) {
        v.resize(static_cast<std::size_t>(rows));
    }
    bool clamped = false;
    for (int row = 0; row < rows; ++row) {
        for (int f = 0; f < 4; ++f) {
            double value = 0;
            const char* cell = cmsIT8GetDataRowCol(it8.get(), row, columns[f]);
            if (!ReadNumber(cell, value)) {
                return CurveReadResult::Failure(
                    CurveReadStatus::Malformed,
                    "the .cal file's " + std::string(kFields[f]) + " in row " +
                        std::to_string(row + 1) + " is not a number" +
                        (cell ? std::string(" ('") + cell + "')" : std::string()));
            }
            if (f == 0) {
                if (value < 0 || value > 1 || (row > 0 && value <= values[0][row - 1])) {
                    return CurveReadResult::Failure(
                        CurveReadStatus::Malformed,
                        "the .cal file's RGB_I must ascend within [0, 1] (row " +
                            std::to_string(row + 1) + ")");
                }
            } else if (value < 0 || value > 1) {
                clamped = true;
                value = value < 0 ? 0.0 : 1.0;
            }
            values[f][static_cast<std::size_t>(row)] = value;
        }
    }
    CurveReadResult result;
    if (clamped) {
        result.warnings.push_back("values outside [0, 1] were clamped");
    }
    for (int c = 0; c < kChannelCount; ++c) {
        result.levels[c] = LevelsFromSamples(values[0], values[c + 1]);
    }
    return result;
}

CurveReadResult CalFile::Read(const std::string& path) {
    return ReadCurveFile(path, &CalFile::Parse);
}

std::optional<std::string> CalFile::Format(const ChannelLevels& levels, const std::string& created,
                                           std::string* error) {
    CLcmsContext context;
    It8Handle it8(cmsIT8Alloc(context.Get()));
    bool ok = it8 != nullptr;
    ok = ok && cmsIT8SetSheetType(it8.get(), "CAL");
    ok = ok && cmsIT8SetPropertyStr(it8.get(), "DESCRIPTOR", "Tonedesk gamma bank");
    ok = ok && cmsIT8SetPropertyStr(it8.get(), "ORIGINATOR", "Tonedesk");
    ok = ok && cmsIT8SetPropertyStr(it8.get(), "CREATED", created.c_str());
    ok = ok && cmsIT8SetPropertyStr(it8.get(), "DEVICE_CLASS", "DISPLAY");
    ok = ok && cmsIT8SetPropertyStr(it8.get(), "COLOR_REP", "RGB");
    ok = ok && cmsIT8SetPropertyDbl(it8.get(), "NUMBER_OF_FIELDS", 4);
    ok = ok && cmsIT8SetPropertyDbl(it8.get(), "NUMBER_OF_SETS", kLevelCount);
    for (int f = 0; ok && f < 4; ++f) {
        ok = cmsIT8SetDataFormat(it8.get(), f, kFields[f]);
    }
    if (ok) {
        // Eight decimals: level / 1023 reads back as the same level.
        cmsIT8DefineDblFormat(it8.get(), "%.8f");
    }
    for (int row = 0; ok && row < kLevelCount; ++row) {
        ok = cmsIT8SetDataRowColDbl(it8.get(), row, 0, row / 255.0);
        for (int c = 0; ok && c < kChannelCount; ++c) {
            ok = cmsIT8SetDataRowColDbl(it8.get(), row, c + 1,
                                        levels[c][row] / static_cast<double>(kMaxLevel));
        }
    }
    cmsUInt32Number size = 0;
    ok = ok && cmsIT8SaveToMem(it8.get(), nullptr, &size) && size > 0;
    std::string text(size, '\0');
    ok = ok && cmsIT8SaveToMem(it8.get(), text.data(), &size);
    if (!ok) {
        if (error) {
            *error = context.Explain("the .cal text could not be made");
        }
        return std::nullopt;
    }
    // The size counts the terminating NUL.
    while (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

} // namespace tonedesk
