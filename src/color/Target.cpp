#include "color/Target.h"

#include "color/CalibrationCurve.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tonedesk {

namespace {

struct TargetName {
    const char* name;
    TargetKind kind;
    bool takesParameter;
    bool needsParameter;
    double fallback; // the parameter when none is given
    double min;
    double max;
    const char* meaning; // of the parameter, for messages
};

constexpr TargetName kTargets[] = {
    {"gamma", TargetKind::Power, true, true, 0, 1.0, 3.0, "the exponent G"},
    {"srgb", TargetKind::Srgb, false, false, 0, 0, 0, ""},
    {"bt1886", TargetKind::Bt1886, true, false, 0, 0.0, 0.1, "the black level B = Lb / Lw"},
    {"lstar", TargetKind::Lstar, false, false, 0, 0, 0, ""},
    {"pq", TargetKind::Pq, true, false, 1000, 100, 10000, "the peak P in cd/m2"},
    {"hlg", TargetKind::Hlg, false, false, 0, 0, 0, ""},
};

std::string Format(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

double Srgb(double x) {
    return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
}

// Lw = 1, Lb = black: a = (Lw^(1/g) - Lb^(1/g))^g, b = Lb^(1/g) / (Lw^(1/g) - Lb^(1/g)).
double Bt1886(double x, double black) {
    constexpr double gamma = 2.4;
    const double root = std::pow(black, 1 / gamma);
    const double a = std::pow(1 - root, gamma);
    const double b = root / (1 - root);
    const double luminance = a * std::pow(std::max(x + b, 0.0), gamma);
    return (luminance - black) / (1 - black);
}

double Lstar(double x) {
    const double lightness = 100 * x;
    constexpr double kappa = 24389.0 / 27.0;
    if (lightness > 8) {
        const double f = (lightness + 16) / 116;
        return f * f * f;
    }
    return lightness / kappa;
}

double Pq(double x, double peak) {
    constexpr double m1 = 2610.0 / 16384;
    constexpr double m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096;
    constexpr double c2 = 2413.0 / 4096 * 32;
    constexpr double c3 = 2392.0 / 4096 * 32;
    const double p = std::pow(x, 1 / m2);
    const double luminance = 10000 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1);
    return std::min(luminance / peak, 1.0);
}

double Hlg(double x) {
    constexpr double a = 0.17883277;
    const double b = 1 - 4 * a;
    const double c = 0.5 - a * std::log(4 * a);
    return x <= 0.5 ? x * x / 3 : (std::exp((x - c) / a) + b) / 12;
}

} // namespace

std::optional<Target> Target::Parse(const std::string& text, std::string* error) {
    const std::size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const auto fail = [error](std::string why) -> std::optional<Target> {
        if (error) {
            *error = std::move(why);
        }
        return std::nullopt;
    };
    const auto found = std::find_if(std::begin(kTargets), std::end(kTargets),
                                    [&](const TargetName& t) { return name == t.name; });
    if (found == std::end(kTargets)) {
        return fail("unknown target '" + name + "' (gamma:G, srgb, bt1886:B, lstar, pq[:P], hlg)");
    }
    Target target{found->kind, found->fallback};
    if (colon == std::string::npos) {
        if (found->needsParameter) {
            return fail("the target " + name + " needs " + found->meaning + " (" + name +
                        ":VALUE)");
        }
        return target;
    }
    if (!found->takesParameter) {
        return fail("the target " + name + " takes no parameter");
    }
    const std::string value = text.substr(colon + 1);
    char* end = nullptr;
    const double parameter = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !(parameter >= found->min && parameter <= found->max)) {
        return fail("the target " + name + " takes " + found->meaning + " in " +
                    Format(found->min) + ".." + Format(found->max) + ", not '" + value + "'");
    }
    target.parameter = parameter;
    return target;
}

double Target::Value(double x) const {
    switch (kind) {
    case TargetKind::Power:
        return std::pow(x, parameter);
    case TargetKind::Srgb:
        return Srgb(x);
    case TargetKind::Bt1886:
        return Bt1886(x, parameter);
    case TargetKind::Lstar:
        return Lstar(x);
    case TargetKind::Pq:
        return Pq(x, parameter);
    case TargetKind::Hlg:
        return Hlg(x);
    }
    return 0;
}

LevelTable Target::Levels() const {
    return LevelsFromCurve([this](double x) { return Value(x); });
}

} // namespace tonedesk
