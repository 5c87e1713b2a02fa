#pragma once

#include "common/TestKit.h"

#include <filesystem>
#include <sstream>
#include <string>

namespace tonedesk::test {

// How many times the --verbose log of projector-sim records the command (or "gamma block N")
// `received` as received.
inline int SimulatorReceived(const std::filesystem::path& log, const std::string& received) {
    std::istringstream lines(TempDir::Read(log));
    int n = 0;
    for (std::string line; std::getline(lines, line);) {
        n += line == "projector-sim: << " + received;
    }
    return n;
}

} // namespace tonedesk::test
