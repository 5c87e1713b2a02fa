// The sample model installed next to the programs.
#include "model/ModelFile.h"
#include "model/ModelLint.h"

#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

using namespace tonedesk;

namespace {

std::string ProgramDir() {
    const char* dir = std::getenv("TONEDESK_BIN_DIR");
    return dir ? dir : "";
}

TEST(SampleModel, Demo100IsFoundAndComplete) {
    ASSERT_FALSE(ProgramDir().empty());
    test::RecordingNotifier notifier;
    CModelFile model(notifier, ProgramDir());
    ASSERT_EQ(model.ReadModelFile("DEMO-100"), ModelLookup::Found);
    EXPECT_EQ(model.FileName(), "DEMO-100.ini");
    EXPECT_TRUE(notifier.fileErrors.empty());
    EXPECT_EQ(model.autoReceiveElapse, 5000);

    std::set<ModelSection> kinds;
    bool leaveAndEnter = false;
    bool powerOff = false;
    for (const ModelTab& tab : model.tabs) {
        EXPECT_EQ(tab.resourceFile, "demo100.rcc");
        leaveAndEnter = leaveAndEnter || (!tab.leaveCommands.empty() && !tab.enterCommands.empty());
        for (const ModelControl& control : tab.controls) {
            kinds.insert(control.kind);
            const auto& lists = control.commandLists;
            powerOff = powerOff || (!lists.empty() && !lists[0].empty() &&
                                    lists[0][0].Code() == "POWR" && lists[0][0].value == 0);
        }
    }
    EXPECT_EQ(kinds.size(), 9u) << "every control kind is used";
    EXPECT_TRUE(leaveAndEnter);
    EXPECT_TRUE(powerOff);
    EXPECT_EQ(model.tabs.at(0).modeControlId, 1006);
    EXPECT_EQ(model.saveCommands.size(), 6u);
    EXPECT_EQ(model.saveCommands2.size(), 3u);

    // cstrgb.gam: a 2.2 power curve marked at line 128; cstvideo.gam: its toe is linear.
    EXPECT_EQ(model.presetGamma[0].At(1, 128), kControlPointMark + 225);
    EXPECT_EQ(model.presetGamma[0].At(2, 255), kControlPointMark + 1023);
    EXPECT_EQ(model.presetGamma[1].At(0, 1), 1u);
    EXPECT_EQ(model.presetGamma[1].At(0, 10), kControlPointMark + 9);
    EXPECT_EQ(model.presetGamma[2].At(0, 10), 40u);
}

TEST(SampleModel, Demo100LintsClean) {
    const std::filesystem::path dir = ProgramDir();
    if (!std::filesystem::exists(dir / "demo100.rcc")) {
        GTEST_SKIP() << "built without the Qt resource bundles";
    }
    const auto problems = LintModelFile((dir / "DEMO-100.ini").string());
    for (const LintProblem& problem : problems) {
        ADD_FAILURE() << problem.line << ": " << problem.text;
    }
}

} // namespace
