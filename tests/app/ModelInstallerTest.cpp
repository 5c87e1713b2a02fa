#include "app/ModelInstaller.h"
#include "common/GuiTestKit.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tonedesk {
namespace {

using test::GuiTest;
using test::RecordingPrompts;

class ModelInstallerTest : public GuiTest {};

TEST_F(ModelInstallerTest, AsksForTheFileAndReportsUnderItsOwnCaption) {
    const std::string model = WriteFile("source/DEMO.ini", "[MODEL]\n");
    WriteFile("source/DEMO/cstrgb.gam", "rgb");
    const std::string program = (temp.Path() / "program").string();
    std::filesystem::create_directories(program);
    const QString caption = LoadString(kStringModelInstallCaption);
    ASSERT_FALSE(caption.isEmpty());

    RecordingPrompts prompts;
    CModelInstaller installer(prompts, {program, {}});

    // Cancelled: nothing more is asked or shown.
    EXPECT_FALSE(installer.Run());
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_TRUE(prompts.asked[0].open);
    EXPECT_EQ(prompts.asked[0].filter, LoadString(kStringModelFilter).toStdString());
    EXPECT_EQ(prompts.asked[0].initialPath, "");
    EXPECT_EQ(prompts.asked[0].title, caption);
    EXPECT_TRUE(prompts.shown.empty());

    // The gamma folder lacks cstvideo.gam.
    prompts.answers = {model};
    EXPECT_FALSE(installer.Run());
    WriteFile("source/DEMO/cstvideo.gam", "video");
    prompts.answers = {model};
    EXPECT_TRUE(installer.Run());
    EXPECT_EQ(test::TempDir::Read(temp.Path() / "program/DEMO/cstvideo.gam"), "video");
    EXPECT_EQ(prompts.shown,
              (std::vector<QString>{LoadString(kStringModelMissingGamma),
                                    FormatMessageText(LoadString(kStringModelInstalled),
                                                      QString::fromStdString(program) +
                                                          "/:\n\nDEMO.ini\nDEMO/cstrgb.gam\n"
                                                          "DEMO/cstvideo.gam")}));
    EXPECT_EQ(prompts.shownCaptions, (std::vector<QString>{caption, caption}));

    // Installed already: the question names the model, and No ends it quietly.
    prompts.answers = {model};
    EXPECT_FALSE(installer.Run());
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].text,
              FormatMessageText(LoadString(kStringModelAlreadyInstalled), "DEMO"));
    EXPECT_TRUE(prompts.questions[0].text.contains("DEMO"));
    EXPECT_EQ(prompts.questions[0].caption, caption);
    EXPECT_EQ(prompts.shown.size(), 2u);

    // A tab's bundle that is missing is named; one that differs from the installed one is asked
    // about by its name.
    WriteFile("source/DEMO.ini", "[TAB]\nRESOURCEFILE=demo.rcc\n");
    prompts.answers = {model};
    EXPECT_FALSE(installer.Run());
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2],
              FormatMessageText(LoadString(kStringModelMissingBundle), "demo.rcc"));
    EXPECT_TRUE(prompts.shown[2].contains("demo.rcc"));
    WriteFile("source/demo.rcc", "new");
    WriteFile("program/demo.rcc", "old");
    prompts.answers = {model};
    prompts.replies = {true, false};
    EXPECT_FALSE(installer.Run());
    ASSERT_EQ(prompts.questions.size(), 3u);
    EXPECT_EQ(prompts.questions[2].text,
              FormatMessageText(LoadString(kStringFileExists), "demo.rcc"));
    EXPECT_EQ(test::TempDir::Read(temp.Path() / "program/demo.rcc"), "old");
}

} // namespace
} // namespace tonedesk
