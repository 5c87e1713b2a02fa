#pragma once

#include "cli/CliCommon.h"
#include "color/BankCurveFile.h"
#include "gamma/GammaGraph.h"

#include <string>

namespace tonedesk::cli {

// Loads the file at `path` into bank `bank` of `graph` and makes that bank active. A gamma file
// opens as the gamma editor opens it, its tables recomputed; a .cal file or a profile's vcgt sets
// the bank's three level tables to the curves' exact levels. The other bank stays as it was.
// False, having told the user why on stderr, when the file could not be read.
bool LoadBankFromFile(const std::string& path, int bank, CGammaGraph& graph, CliContext& context);

} // namespace tonedesk::cli
