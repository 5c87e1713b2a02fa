#include "support/ProfileCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonedesk {
namespace {

TEST(CheckProfileText, NamesWhatTheStoreWouldIgnoreOrMisread) {
    const struct {
        const char* name;
        std::string text;
        std::string error; // empty: the profile is used
        std::vector<std::string> warnings;
    } cases[] = {
        {"a good profile",
         "\xEF\xBB\xBF[ENV]\r\nRETRY=100\r\n[PORTS]\r\nSYSTEM=0\r\nCOM1=/dev/a\r\n"
         "COM255=/dev/b\r\n; COM0=/dev/c\r\n",
         "",
         {}},
        {"SYSTEM=1 with a comment", "[PORTS]\nSYSTEM = 1 ; the default ports too\n", "", {}},
        {"SYSTEM=no",
         "[PORTS]\nCOM3=/dev/x\nSYSTEM=no\n",
         "line 3: SYSTEM in [PORTS] is 'no'; it must be 0 (only the listed ports) or 1 (the "
         "default ports too)",
         {}},
        {"SYSTEM empty, after a byte order mark",
         "\xEF\xBB\xBF[PORTS]\nSYSTEM=\n",
         "line 2: SYSTEM in [PORTS] is ''; it must be 0 (only the listed ports) or 1 (the default "
         "ports too)",
         {}},
        {"SYSTEM quoted",
         "[PORTS]\nSYSTEM=\"false\"\n",
         "line 2: SYSTEM in [PORTS] is 'false'; it must be 0 (only the listed ports) or 1 (the "
         "default ports too)",
         {}},
        {"SYSTEM elsewhere", "[ENV]\nSYSTEM=off\n", "", {}},
        {"COM numbers out of range",
         "[PORTS]\nSYSTEM=0\nCOM0=/dev/a\nCOM256=/dev/b\nCOM007=/dev/c\nsystem=0\n",
         "",
         {"line 3: COM0 in [PORTS] is ignored: COM numbers run from 1 to 255",
          "line 4: COM256 in [PORTS] is ignored: COM numbers run from 1 to 255",
          "line 5: COM007 in [PORTS] is ignored: its keys are SYSTEM and COM1 to COM255",
          "line 6: system in [PORTS] is ignored: its keys are SYSTEM and COM1 to COM255"}},
        {"keys given twice",
         "[ENV]\nRETRY=3\n[PORTS]\nCOM3=/dev/a\n[ENV]\nRETRY = 5\n"
         "[PORTS]\nCOM3=/dev/b\nCOM4=/dev/a\n",
         "",
         {"line 6: RETRY in [ENV] is given again (first on line 2); the last one counts",
          "line 8: COM3 in [PORTS] is given again (first on line 4); the last one counts"}},
        {"RETRY above its limit",
         "[ENV]\nRETRY=100000\nRETRY2=100000\n[OTHER]\nRETRY=500\n",
         "",
         {"line 2: RETRY=100000 in [ENV] is more than 100: 100 is used"}},
        {"RETRY in hexadecimal",
         "[ENV]\nRETRY=0x65\n",
         "",
         {"line 2: RETRY=0x65 in [ENV] is more than 100: 100 is used"}},
        {"RETRY in binary, as the store reads it",
         "[ENV]\nRETRY=0b1100101\n",
         "",
         {"line 2: RETRY=0b1100101 in [ENV] is more than 100: 100 is used"}},
        {"RETRY that is no number", "[ENV]\nRETRY=many\n", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProfileFindings findings = CheckProfileText(c.text);
        EXPECT_EQ(findings.error.value_or(""), c.error);
        EXPECT_EQ(findings.warnings, c.warnings);
    }
}

} // namespace
} // namespace tonedesk
