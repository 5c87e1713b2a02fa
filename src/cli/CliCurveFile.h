#pragma once

#include "cli/CliCommon.h"
#include "gamma/GammaGraph.h"

#include <string>

namespace tonedesk::cli {

// The kinds of file a bank is read from and written to, told by the name's extension (any
// case): .cal, .icc or .icm, and anything else a gamma file.
enum class CurveFileKind {
    Gamma,
    Cal,
    Profile,
};

CurveFileKind CurveFileKindOf(const std::string& path);
// The extension of the file name in `path` in lower case, its dot included; empty without one.
std::string LowerExtension(const std::string& path);

// Loads the file at `path` into bank `bank` of `graph` and makes that bank active. A gamma file
// opens as the gamma editor opens it, its tables recomputed; a .cal file or a profile's vcgt sets
// the bank's three level tables to the curves' exact levels. The other bank stays as it was.
// False, having told the user why on stderr, when the file could not be read.
bool LoadBankFromFile(const std::string& path, int bank, CGammaGraph& graph, CliContext& context);

// Writes the active bank of `graph` to `path` in the kind its extension names (a gamma file in
// the four-column layout), through a temporary file that replaces `path` once complete. False,
// having told the user why, when it could not be written.
bool WriteBankToFile(const std::string& path, const CGammaGraph& graph, CliContext& context);

} // namespace tonedesk::cli
