#pragma once

// Other programs' colour tools as oracles: the .cal files they write, and their checks of ours.

#include "color/CalibrationCurve.h"
#include "common/ChildProcess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tonedesk::test {

// The level of y in [0, 1] (clamped), rounded to the nearest of 0..1023: worked out apart from the
// readers.
inline int LevelOf(double y) {
    return static_cast<int>(std::floor(1023 * std::clamp(y, 0.0, 1.0) + 0.5));
}

// The path of `tool` on PATH, empty when it is not installed.
inline std::string FindTool(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / tool;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return {};
}

// Runs a tool to its end (at most 30 s).
inline ProgramResult RunTool(std::vector<std::string> argv) {
    using namespace std::chrono_literals;
    argv[0] = FindTool(argv[0]);
    return RunProgram(argv, {}, 30s);
}

// The vcgt values another reader prints for `profile`, per channel, 256 each ("idx,r,g,b").
inline std::vector<std::array<double, 3>> ExtractedVcgt(const std::string& profile) {
    const ProgramResult r = RunTool({"cd-fix-profile", profile, "extract-vcgt", "256"});
    std::vector<std::array<double, 3>> rows;
    std::stringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        int index = 0;
        std::array<double, 3> v{};
        if (std::sscanf(line.c_str(), "%d,%lf,%lf,%lf", &index, &v[0], &v[1], &v[2]) == 4) {
            rows.push_back(v);
        }
    }
    return rows;
}

} // namespace tonedesk::test

// Skips the test when `tool` is not installed (scripts/install-deps.sh installs it).
#define TONEDESK_NEED_TOOL(tool)                                                                   \
    if (::tonedesk::test::FindTool(tool).empty()) {                                                \
        GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh installs it)";         \
    }
