#pragma once

#include "color/CalibrationCurve.h"
#include "gamma/GammaFile.h"
#include "gamma/GammaTable.h"
#include "support/Notifier.h"

#include <string>

namespace tonedesk {

class Settings;

// The kinds of file a bank's curves are read from and written to, told by the name's extension
// (any case): .cal, .icc or .icm, and anything else a gamma file.
enum class CurveFileKind {
    Gamma,
    Cal,
    Profile,
};

CurveFileKind CurveFileKindOf(const std::string& path);

// Reads the three level tables of the file at `path` by its kind. A gamma file's levels are
// those the gamma editor computes when it opens the file (with `settings`' fitting rules), and
// `gammaFile`, when given, receives the file itself; a .cal file's or a profile's levels are
// its curves' exact levels. Why a file could not be read is told through `notifier` (a file
// error with the reader's text); the result's warnings say what was read but changed on the
// way, for the caller to show.
CurveReadResult ReadBankCurveFile(const std::string& path, const Settings& settings,
                                  Notifier& notifier, GammaFileTable* gammaFile = nullptr);

// Writes the levels of `bank` to `path` in the kind its extension names (a gamma file in the
// four-column layout, with `bank`'s points marked), through a temporary file that replaces
// `path` once complete. False, having told the user why through `notifier`, when it could not
// be written.
bool WriteBankCurveFile(const std::string& path, const GammaTable& bank, Notifier& notifier);

} // namespace tonedesk
