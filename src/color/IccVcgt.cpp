#include "color/IccVcgt.h"

#include "color/LcmsContext.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tonedesk {

namespace {

struct ProfileClose {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileClose>;

LevelTable LevelsOfCurve(const cmsToneCurve* curve) {
    if (cmsGetToneCurveParametricType(curve) != 0) {
        return LevelsFromCurve([curve](double x) {
            return static_cast<double>(cmsEvalToneCurveFloat(curve, static_cast<float>(x)));
        });
    }
    const cmsUInt32Number count = cmsGetToneCurveEstimatedTableEntries(curve);
    const cmsUInt16Number* table = cmsGetToneCurveEstimatedTable(curve);
    if (count == 1) {
        return LevelsFromCurve([v = table[0] / 65535.0](double) { return v; });
    }
    std::vector<double> x(count);
    std::vector<double> y(count);
    for (cmsUInt32Number k = 0; k < count; ++k) {
        x[k] = k / static_cast<double>(count - 1);
        y[k] = table[k] / 65535.0;
    }
    return LevelsFromSamples(x, y);
}

// The library reads a vcgt table of three channels only. A table of one channel, which serves all
// three, is read here from the tag's bytes: "vcgt", 4 reserved bytes, the type (0: table), then
// the channel count, entry count and entry size as 16-bit numbers and the entries, big-endian.
std::optional<LevelTable> OneChannelTable(cmsHPROFILE profile) {
    const cmsUInt32Number size = cmsReadRawTag(profile, cmsSigVcgtTag, nullptr, 0);
    constexpr cmsUInt32Number kHeader = 18;
    if (size < kHeader) {
        return std::nullopt;
    }
    std::vector<unsigned char> tag(size);
    if (cmsReadRawTag(profile, cmsSigVcgtTag, tag.data(), size) != size) {
        return std::nullopt;
    }
    const auto u16 = [&tag](std::size_t at) -> std::uint32_t {
        return (std::uint32_t{tag[at]} << 8U) | tag[at + 1];
    };
    const auto u32 = [&](std::size_t at) { return (u16(at) << 16U) | u16(at + 2); };
    const unsigned channels = u16(12);
    const unsigned count = u16(14);
    const unsigned entrySize = u16(16);
    if (u32(0) != cmsSigVcgtType || u32(8) != 0 || channels != 1 || count < 1 ||
        (entrySize != 1 && entrySize != 2) || kHeader + std::size_t{count} * entrySize > size) {
        return std::nullopt;
    }
    const double top = entrySize == 1 ? 255.0 : 65535.0;
    std::vector<double> y(count);
    for (unsigned k = 0; k < count; ++k) {
        const std::size_t at = kHeader + std::size_t{k} * entrySize;
        y[k] = (entrySize == 1 ? tag[at] : u16(at)) / top;
    }
    if (count == 1) {
        return LevelsFromCurve([v = y[0]](double) { return v; });
    }
    std::vector<double> x(count);
    for (unsigned k = 0; k < count; ++k) {
        x[k] = k / static_cast<double>(count - 1);
    }
    return LevelsFromSamples(x, y);
}

} // namespace

CurveReadResult IccVcgt::Parse(const std::string& data) {
    CLcmsContext context;
    ProfileHandle profile(cmsOpenProfileFromMemTHR(context.Get(), data.data(),
                                                   static_cast<cmsUInt32Number>(data.size())));
    if (!profile) {
        return CurveReadResult::Failure(CurveReadStatus::Unreadable,
                                        context.Explain("not an ICC profile that can be read"));
    }
    if (!cmsIsTag(profile.get(), cmsSigVcgtTag)) {
        return CurveReadResult::Failure(CurveReadStatus::NoCurves,
                                        "this profile has no calibration curves (vcgt)");
    }
    const auto* curves =
        static_cast<const cmsToneCurve* const*>(cmsReadTag(profile.get(), cmsSigVcgtTag));
    if (!curves || !curves[0] || !curves[1] || !curves[2]) {
        if (const std::optional<LevelTable> one = OneChannelTable(profile.get())) {
            CurveReadResult result;
            result.levels.fill(*one);
            return result;
        }
        return CurveReadResult::Failure(
            CurveReadStatus::Malformed,
            context.Explain("the profile's calibration curves (vcgt) cannot be read"));
    }
    CurveReadResult result;
    for (int c = 0; c < kChannelCount; ++c) {
        if (cmsGetToneCurveParametricType(curves[c]) == 0 &&
            cmsGetToneCurveEstimatedTableEntries(curves[c]) == 0) {
            return CurveReadResult::Failure(CurveReadStatus::Malformed,
                                            "the profile's calibration curves (vcgt) are empty");
        }
        result.levels[c] = LevelsOfCurve(curves[c]);
    }
    return result;
}

CurveReadResult IccVcgt::Read(const std::string& path) {
    return ReadCurveFile(path, &IccVcgt::Parse);
}

std::optional<std::string> IccVcgt::Format(const ChannelLevels& levels, std::string* error) {
    CLcmsContext context;
    ProfileHandle profile(cmsCreate_sRGBProfileTHR(context.Get()));
    bool ok = profile != nullptr;
    if (ok) {
        // Version 2 is what every reader of calibration curves takes.
        cmsSetProfileVersion(profile.get(), 2.4);
    }
    std::array<cmsToneCurve*, kChannelCount> curves{};
    for (int c = 0; ok && c < kChannelCount; ++c) {
        std::array<cmsUInt16Number, kLevelCount> entries{};
        for (int i = 0; i < kLevelCount; ++i) {
            entries[i] =
                static_cast<cmsUInt16Number>(std::lround(levels[c][i] * 65535.0 / kMaxLevel));
        }
        curves[c] = cmsBuildTabulatedToneCurve16(context.Get(), kLevelCount, entries.data());
        ok = curves[c] != nullptr;
    }
    cmsMLU* description = ok ? cmsMLUalloc(context.Get(), 1) : nullptr;
    ok = ok && description && cmsMLUsetASCII(description, "en", "US", "Tonedesk gamma bank");
    ok = ok && cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, description);
    ok = ok && cmsWriteTag(profile.get(), cmsSigVcgtTag, curves.data());
    cmsUInt32Number size = 0;
    ok = ok && cmsSaveProfileToMem(profile.get(), nullptr, &size) && size > 0;
    std::string data(size, '\0');
    ok = ok && cmsSaveProfileToMem(profile.get(), data.data(), &size);
    if (description) {
        cmsMLUfree(description);
    }
    for (cmsToneCurve* curve : curves) {
        if (curve) {
            cmsFreeToneCurve(curve);
        }
    }
    if (!ok) {
        if (error) {
            *error = context.Explain("the profile could not be made");
        }
        return std::nullopt;
    }
    data.resize(size);
    return data;
}

} // namespace tonedesk
