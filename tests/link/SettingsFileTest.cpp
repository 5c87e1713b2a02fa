#include "link/SettingsFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonedesk {
namespace {

using namespace std::string_literals;

struct Case {
    const char* what;
    std::string text;
    bool forThisProjector;
    std::vector<std::string> commands;
    int shortLines;
};

TEST(SettingsFileTest, ReadsTheCommandsOfTheConnectedProjectorsFile) {
    const std::string name = "DEMO-100";
    const std::vector<Case> cases = {
        {"CR LF lines, in file order",
         "DEMO-100\r\nPOWR   1\r\nGAMM   2\r\n",
         true,
         {"POWR   1\r", "GAMM   2\r"},
         0},
        {"empty lines are skipped",
         "DEMO-100\r\n\r\nPOWR   1\r\n\r\nMOUT   0\r\n",
         true,
         {"POWR   1\r", "MOUT   0\r"},
         0},
        {"LF-only lines still give CR-ended commands",
         "DEMO-100\nPOWR   1\nMOUT   0\n",
         true,
         {"POWR   1\r", "MOUT   0\r"},
         0},
        {"a last line without its end", "DEMO-100\r\nPOWR   1", true, {"POWR   1\r"}, 0},
        {"longer lines give their first eight characters",
         "DEMO-100\r\nPOWR   1 ; on\r\n",
         true,
         {"POWR   1\r"},
         0},
        {"the first line may be a leading part of the name",
         "DEMO\r\nPOWR   1\r\n",
         true,
         {"POWR   1\r"},
         0},
        {"short lines are skipped and counted, never read across their end",
         "DEMO-100\r\nPOWR\r\nMOUT   0\r\nX\r\n",
         true,
         {"MOUT   0\r"},
         2},
        {"the end-of-file mark ends the file",
         "DEMO-100\r\nPOWR   1\r\n\x1aMOUT   0\r\n",
         true,
         {"POWR   1\r"},
         0},
        {"a NUL ends the file", "DEMO-100\r\nPOWR   1\r\n\0MOUT   0\r\n"s, true, {"POWR   1\r"}, 0},
        {"another projector", "OTHER-7\r\nPOWR   1\r\n", false, {}, 0},
        {"a longer name is another projector", "DEMO-1000\r\nPOWR   1\r\n", false, {}, 0},
        {"LF-only: the whole first line is compared", "DEMO-109\nPOWR   1\n", false, {}, 0},
        {"an empty first line names no projector", "\r\nPOWR   1\r\n", false, {}, 0},
        {"an empty file", "", false, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SettingsFileContent content = ParseSettingsFile(c.text, name);
        EXPECT_EQ(content.forThisProjector, c.forThisProjector);
        EXPECT_EQ(content.commands, c.commands);
        EXPECT_EQ(content.shortLines, c.shortLines);
        for (const std::string& command : content.commands) {
            EXPECT_EQ(command.size(), 9u);
        }
    }
}

} // namespace
} // namespace tonedesk
