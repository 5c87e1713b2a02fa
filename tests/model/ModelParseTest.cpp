#include "model/ModelFile.h"

#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tonedesk;

namespace {

using Items = std::vector<std::pair<std::string, std::int32_t>>;

Items ItemsOf(const CommandList& list) {
    Items items;
    for (const CommandItem& item : list) {
        items.emplace_back(std::string(item.Code()), item.value);
    }
    return items;
}

class ModelParse : public ::testing::Test {
protected:
    // Parses `body` after a matching [PROPERTY] section.
    ModelLookup Parse(const std::string& body, const std::string& name = "DEMO-100") {
        return model.ParseModelText("[PROPERTY]\nPROJECTOR_NAME=DEMO\n" + body, name);
    }
    const ModelControl& Control(std::size_t tab, std::size_t index) const {
        return model.tabs.at(tab).controls.at(index);
    }
    std::int32_t Status(std::string_view code) const {
        const auto* entry = model.statusTable.Find(CodeKey(code));
        return entry ? entry->value : -12345;
    }

    test::RecordingNotifier notifier;
    CModelFile model{notifier, "/models"};
};

struct NameCase {
    const char* fileValue;
    const char* projector;
    ModelLookup result;
};

class ProjectorNameMatch : public ::testing::TestWithParam<NameCase> {};

TEST_P(ProjectorNameMatch, ValueIsLeadingPartOfName) {
    const NameCase& c = GetParam();
    test::RecordingNotifier notifier;
    CModelFile model(notifier, "/models");
    const std::string text = std::string("[PROPERTY]\nPROJECTOR_NAME=") + c.fileValue + "\n";
    EXPECT_EQ(model.ParseModelText(text, c.projector), c.result)
        << "'" << c.fileValue << "' for '" << c.projector << "'";
}

INSTANTIATE_TEST_SUITE_P(Cases, ProjectorNameMatch,
                         ::testing::Values(NameCase{"ABC", "ABC-100", ModelLookup::Found},
                                           NameCase{"ABC-100", "ABC", ModelLookup::NotFound},
                                           NameCase{"ABC-100", "ABC-100", ModelLookup::Found},
                                           NameCase{"", "ANY", ModelLookup::Found},
                                           NameCase{"", "", ModelLookup::Found},
                                           NameCase{"abc", "ABC", ModelLookup::NotFound},
                                           // trailing blanks belong to the value
                                           NameCase{"ABC ", "ABC-100", ModelLookup::NotFound}));

TEST_F(ModelParse, MismatchStopsReadingAndAFileWithoutNameNeverMatches) {
    EXPECT_EQ(model.ParseModelText("[TAB]\nID=1\n[PROPERTY]\nPROJECTOR_NAME=OTHER\n[TAB]\nID=2\n",
                                   "DEMO"),
              ModelLookup::NotFound);
    ASSERT_EQ(model.tabs.size(), 1u) << "nothing after the mismatching name is read";

    EXPECT_EQ(model.ParseModelText("[TAB]\nID=1\n[TAB]\nID=2\n", "DEMO"), ModelLookup::NotFound);
    EXPECT_EQ(model.tabs.size(), 2u) << "a file without a name is read to its end";
}

struct ListCase {
    const char* value;
    Items items;
};

class CommandListForms : public ::testing::TestWithParam<ListCase> {};

TEST_P(CommandListForms, Items) {
    const ListCase& c = GetParam();
    test::RecordingNotifier notifier;
    CModelFile model(notifier, "/models");
    model.ParseModelText(std::string("[TAB]\n[BUTTON]\nCOMMAND=") + c.value + "\r\n[SAVE]\n", "");
    const auto& lists = model.tabs.at(0).controls.at(0).commandLists;
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(ItemsOf(lists[0]), c.items) << c.value;
}

const std::int32_t N = kNoValue;

INSTANTIATE_TEST_SUITE_P(
    Values, CommandListForms,
    ::testing::Values(ListCase{"POWR", {{"POWR", N}}}, ListCase{"POWR,????", {{"POWR", N}}},
                      ListCase{"POWR,1", {{"POWR", 1}}},
                      ListCase{"MUTE,0,MUTE,1", {{"MUTE", 0}, {"MUTE", 1}}},
                      ListCase{"INPT VOLM", {{"INPT", N}, {"VOLM", N}}},
                      ListCase{"INPT,????,VOLM", {{"INPT", N}, {"VOLM", N}}},
                      ListCase{"VOLM,$1F,GAIN,%101,BRIT,0x10,CONT,-5",
                               {{"VOLM", 31}, {"GAIN", 5}, {"BRIT", 16}, {"CONT", -5}}},
                      // a parameter followed by anything but "," ends the list
                      ListCase{"POWR,1 MUTE,1", {{"POWR", 1}}},
                      ListCase{"POWR,1x,MUTE", {{"POWR", 1}}},
                      // four characters are a code, whatever they are
                      ListCase{"AB,1", {{"AB,1", N}}},
                      // a rest shorter than a code is not read (it would run past the line)
                      ListCase{"POWR,1,MU", {{"POWR", 1}}}, ListCase{"PO", {}}, ListCase{"", {}},
                      ListCase{"POWR,", {{"POWR", 0}}}));

TEST_F(ModelParse, CommandNumbersSetTheListCount) {
    ASSERT_EQ(Parse("[TAB]\nID=1000\n"
                    "[CHECK]\nID=1001\nCOMMAND2=POWR,1\n"
                    "[CHECK]\nID=1002\nCOMMAND3=VOLM,1\nCOMMAND=MUTE,0\n"
                    "[CHECK]\nID=1003\nCOMMAND=MUTE,1\nCOMMAND=MUTE,0\n"),
              ModelLookup::Found);
    const auto& first = Control(0, 0).commandLists;
    ASSERT_EQ(first.size(), 2u);
    EXPECT_TRUE(first[0].empty());
    EXPECT_EQ(ItemsOf(first[1]), (Items{{"POWR", 1}}));

    EXPECT_EQ(Control(0, 1).commandLists.size(), 1u) << "a lower COMMANDn drops the lists above";
    EXPECT_EQ(ItemsOf(Control(0, 1).commandLists[0]), (Items{{"MUTE", 0}}));

    EXPECT_EQ(ItemsOf(Control(0, 2).commandLists.at(0)), (Items{{"MUTE", 1}, {"MUTE", 0}}))
        << "a repeated key appends";
}

TEST_F(ModelParse, CommandCodesEnterTheStatusTableButReloadCodesDoNot) {
    ASSERT_EQ(Parse("[SAVE]\nCOMMAND=GAMA,2\nCOMMAND2=SAVE\n"
                    "[TAB]\nID=1000\nCOMMAND=INPT\nCOMMAND2=SHRP,3\n"
                    "[SLIDER BAR]\nID=1001\nCOMMAND=VOLM,5\nRELOAD=BRIT,CONT\n"
                    "DISABLE=POWR,0,MOUT,1\n"),
              ModelLookup::Found);
    for (const char* code : {"GAMA", "SAVE", "INPT", "SHRP", "VOLM"}) {
        EXPECT_EQ(Status(code), kNoValue) << code;
    }
    EXPECT_EQ(model.statusTable.Find(CodeKey("BRIT")), nullptr);
    EXPECT_EQ(model.statusTable.Find(CodeKey("POWR")), nullptr);
    EXPECT_EQ(model.disableCodes.Count(), 2u);
    EXPECT_NE(model.disableCodes.Find(CodeKey("MOUT")), nullptr);

    const ModelTab& tab = model.tabs.at(0);
    EXPECT_EQ(ItemsOf(model.saveCommands), (Items{{"GAMA", 2}}));
    EXPECT_EQ(ItemsOf(model.saveCommands2), (Items{{"SAVE", N}}));
    EXPECT_EQ(ItemsOf(tab.leaveCommands), (Items{{"INPT", N}}));
    EXPECT_EQ(ItemsOf(tab.enterCommands), (Items{{"SHRP", 3}}));
    EXPECT_EQ(ItemsOf(Control(0, 0).reloadCodes), (Items{{"BRIT", 0}, {"CONT", 0}}));
    EXPECT_EQ(ItemsOf(Control(0, 0).disableList), (Items{{"POWR", 0}, {"MOUT", 1}}));
}

TEST_F(ModelParse, ShortCodeListRestIsNotRead) {
    ASSERT_EQ(Parse("[TAB]\n[BUTTON]\nRELOAD=\nRELOAD=VOLM,BR\nRELOAD=INPT MUTE\n"),
              ModelLookup::Found);
    EXPECT_EQ(ItemsOf(Control(0, 0).reloadCodes), (Items{{"VOLM", 0}, {"INPT", 0}}));
}

TEST_F(ModelParse, RelateToItselfCountsAsUnrelated) {
    ASSERT_EQ(Parse("[TAB]\nID=1000\n"
                    "[RADIO]\nID=1005\nRELATE=1005\n"
                    "[RADIO]\nID=1006\nRELATE=1005,1006\n"
                    "[RADIO]\nRELATE=1007\nID=1007\n"
                    "[RADIO]\nID=1008\nRELATE=1009\nRELATE=1008\n"),
              ModelLookup::Found);
    EXPECT_TRUE(Control(0, 0).relatedIds.empty());
    EXPECT_EQ(Control(0, 1).relatedIds, (std::vector<std::int32_t>{1005, 1006}));
    EXPECT_EQ(Control(0, 2).relatedIds, (std::vector<std::int32_t>{1007}))
        << "RELATE before ID does not know the control's id yet";
    EXPECT_EQ(Control(0, 3).relatedIds, (std::vector<std::int32_t>{1009, 1008}));
}

TEST_F(ModelParse, IdentifiersIndexTabsAndControlsByPosition) {
    ASSERT_EQ(Parse("[TAB]\nID=100\n[BUTTON]\nID=1001\n[EDIT]\nID=1002\n"
                    "[TAB]\nID=101\n[CHECK]\nID=1003\n"),
              ModelLookup::Found);
    const std::vector<std::pair<std::uint32_t, std::int32_t>> expected{
        {100, 1}, {101, 2}, {1001, 1}, {1002, 2}, {1003, 1}};
    for (const auto& [id, position] : expected) {
        const auto* entry = model.idIndex.Find(id);
        ASSERT_NE(entry, nullptr) << id;
        EXPECT_EQ(entry->value, position) << id;
    }
}

TEST_F(ModelParse, RepeatedIdentifierAnywhereFails) {
    EXPECT_EQ(Parse("[TAB]\nID=1000\n[BUTTON]\nID=1000\n"), ModelLookup::RepeatedId);
    EXPECT_EQ(Parse("[TAB]\nID=1\n[BUTTON]\nID=1000\n[TAB]\nID=2\n[CHECK]\nID=1000\n"),
              ModelLookup::RepeatedId);
    EXPECT_EQ(Parse("[TAB]\nID=1\n[TAB]\nID=1\n"), ModelLookup::RepeatedId);
    EXPECT_EQ(Parse("[TAB]\nID=1\n[BUTTON]\nID=5\n[TAB]\nID=5\n"), ModelLookup::RepeatedId);
    EXPECT_EQ(Parse("[TAB]\nID=1\n[BUTTON]\nID=5\n[BUTTON]\nID=6\n"), ModelLookup::Found);
}

TEST_F(ModelParse, ModeAndStatusControlsOfATab) {
    ASSERT_EQ(Parse("[TAB]\nID=100\n"
                    "[COMBOBOX]\nID=1001\nMODE=1\n"
                    "[STATUS]\nID=1002\n"
                    "[COMBOBOX]\nID=1003\nMODE=1\n"
                    "[BUTTON]\nID=1004\nMODE=2\n"
                    "[TAB]\nID=101\n"),
              ModelLookup::Found);
    EXPECT_EQ(model.tabs[0].modeControlId, 1003);
    EXPECT_EQ(model.tabs[0].statusControlId, 1002);
    EXPECT_EQ(Control(0, 3).mode, 2);
    EXPECT_EQ(model.tabs[1].modeControlId, -1);
    EXPECT_EQ(model.tabs[1].statusControlId, -1);
}

TEST_F(ModelParse, NumericKeysAndDefaults) {
    ASSERT_EQ(Parse("[TAB]\nID=100\n[SLIDER BAR]\nID=1001\nMAX=$FF\nMIN=-10\nFREQ=16\n"
                    "DEFAULT=7\nELAPSE=200\nINCREMENT=10\nITEM=anything\n[SPINBUTTON]\n"),
              ModelLookup::Found);
    const ModelControl& slider = Control(0, 0);
    EXPECT_EQ(slider.kind, ModelSection::SliderBar);
    EXPECT_EQ(slider.max, 255);
    EXPECT_EQ(slider.min, -10);
    EXPECT_EQ(slider.freq, 16);
    EXPECT_EQ(slider.defaultValue, 7);
    EXPECT_EQ(slider.elapse, 200);
    EXPECT_EQ(slider.increment, 10);

    const ModelControl& spin = Control(0, 1);
    EXPECT_EQ(spin.kind, ModelSection::SpinButton);
    EXPECT_EQ(spin.id, -1);
    EXPECT_EQ(spin.max, 1);
    EXPECT_EQ(spin.min, 0);
    EXPECT_EQ(spin.freq, 1);
    EXPECT_EQ(spin.defaultValue, 0);
    EXPECT_EQ(spin.mode, 0);
    EXPECT_EQ(spin.elapse, 0);
    EXPECT_EQ(spin.increment, 1);
    EXPECT_TRUE(spin.commandLists.empty());
}

TEST_F(ModelParse, AutoReceiveElapseInSeconds) {
    ASSERT_EQ(Parse(""), ModelLookup::Found);
    EXPECT_EQ(model.autoReceiveElapse, 180000);
    ASSERT_EQ(Parse("AUTORECVELAPSE=0\n"), ModelLookup::Found);
    EXPECT_EQ(model.autoReceiveElapse, 0);
    ASSERT_EQ(Parse("AUTORECVELAPSE = 5\n"), ModelLookup::Found);
    EXPECT_EQ(model.autoReceiveElapse, 5000);
    ASSERT_EQ(Parse("AUTORECVELAPSE=3000000\n"), ModelLookup::Found);
    EXPECT_EQ(model.autoReceiveElapse, 2147483647) << "held at the top, not wrapped";
    ASSERT_EQ(Parse(""), ModelLookup::Found);
    EXPECT_EQ(model.autoReceiveElapse, 180000) << "each text starts from the defaults";
}

TEST_F(ModelParse, OnlyExactKeysAtTheFirstColumnCount) {
    ASSERT_EQ(Parse("[TAB]\nID=100\n"
                    "[BUTTON]\n ID=1001\nid=1002\nMAX\t =\t 9\nMIN 3\nMAXIMUM=4\nDEFAULTS=5\n"
                    "COMMAND2 = MUTE,1\n"
                    " [TAB]\nFREQ=8\n"
                    ";MIN=4\n"),
              ModelLookup::Found);
    ASSERT_EQ(model.tabs.size(), 1u) << "a header with leading blanks is not a header";
    const ModelControl& button = Control(0, 0);
    EXPECT_EQ(button.id, -1);
    EXPECT_EQ(button.max, 9);
    EXPECT_EQ(button.min, 0);
    EXPECT_EQ(button.defaultValue, 0);
    EXPECT_EQ(button.freq, 8);
    ASSERT_EQ(button.commandLists.size(), 2u) << "COMMAND2 is not taken for COMMAND";
    EXPECT_EQ(ItemsOf(button.commandLists[1]), (Items{{"MUTE", 1}}));
}

TEST_F(ModelParse, KeysOutsideTheirSectionsAreIgnored) {
    ASSERT_EQ(Parse("MAX=3\n"
                    "[TAB]\nID=100\nMAX=5\nRESOURCEFILE=a.rcc\nAUTORECVELAPSE=1\n"
                    "[BUTTON]\nID=1001\nRESOURCEFILE=b.rcc\nGAMMAFILE1=x.gam\n"
                    "[UNKNOWN]\nMIN=7\nID=1002\n"
                    "[SAVE]\nMAX=9\nCOMMAND3=VOLM\n"),
              ModelLookup::Found);
    EXPECT_EQ(model.tabs[0].resourceFile, "a.rcc");
    EXPECT_EQ(model.autoReceiveElapse, 180000);
    EXPECT_TRUE(model.GammaReferences().empty());
    EXPECT_EQ(Control(0, 0).max, 1);
    EXPECT_EQ(Control(0, 0).min, 0) << "an unknown section ends the control's section";
    EXPECT_EQ(model.idIndex.Find(1002), nullptr);
    EXPECT_TRUE(model.saveCommands.empty());
}

TEST_F(ModelParse, ControlSectionBeforeTheFirstTabIsSkippedWithItsKeys) {
    ASSERT_EQ(Parse("[BUTTON]\nID=1001\nCOMMAND=POWR,0\nDISABLE=MOUT,1\n"
                    "[TAB]\nID=100\n[BUTTON]\nID=1001\n"),
              ModelLookup::Found);
    ASSERT_EQ(model.tabs.size(), 1u);
    ASSERT_EQ(model.tabs[0].controls.size(), 1u);
    EXPECT_EQ(model.statusTable.Find(CodeKey("POWR")), nullptr);
    EXPECT_EQ(model.disableCodes.Count(), 0u);
}

TEST_F(ModelParse, TextEndsAtItsEndNulOrCtrlZ) {
    ASSERT_EQ(Parse("[TAB]\nRESOURCEFILE=last.rcc"), ModelLookup::Found);
    EXPECT_EQ(model.tabs.at(0).resourceFile, "last.rcc") << "a last line without a break";

    ASSERT_EQ(Parse("[TAB]\nID=100\x1a\n[TAB]\nID=101\n"), ModelLookup::Found);
    EXPECT_EQ(model.tabs.size(), 1u);
    ASSERT_EQ(Parse(std::string("[TAB]\nID=100\n\0[TAB]\n", 20)), ModelLookup::Found);
    EXPECT_EQ(model.tabs.size(), 1u);
    EXPECT_EQ(model.ParseModelText("\x1a[PROPERTY]\nPROJECTOR_NAME=\n", "X"),
              ModelLookup::NotFound);
}

TEST_F(ModelParse, LineBreakVariants) {
    ASSERT_EQ(model.ParseModelText("[PROPERTY]\rPROJECTOR_NAME=DEMO\n\r[TAB]\r\rRESOURCEFILE= "
                                   "a b.rcc \r\n[BUTTON]\n\nMAX=4",
                                   "DEMO"),
              ModelLookup::Found);
    EXPECT_EQ(model.tabs.at(0).resourceFile, "a b.rcc ") << "trailing blanks belong to a text";
    EXPECT_EQ(Control(0, 0).max, 4);
}

TEST_F(ModelParse, NumbersNeverReadIntoTheNextLine) {
    ASSERT_EQ(Parse("[TAB]\n[SLIDER BAR]\nMAX=\n7\nMIN= \r\n-3\nRELATE=1,\n2\n"),
              ModelLookup::Found);
    EXPECT_EQ(Control(0, 0).max, 0);
    EXPECT_EQ(Control(0, 0).min, 0);
    EXPECT_EQ(Control(0, 0).relatedIds, (std::vector<std::int32_t>{1}));
}

TEST_F(ModelParse, RelateListEndsAtTheEndOfTheLine) {
    ASSERT_EQ(Parse("[TAB]\n"
                    "[BUTTON]\nID=1001\nRELATE=\n"
                    "[BUTTON]\nID=1002\nRELATE= \t\n"
                    "[BUTTON]\nID=1003\nRELATE=1005,\n"
                    "[BUTTON]\nID=1004\nRELATE=1003,,1005\n"),
              ModelLookup::Found);
    EXPECT_TRUE(Control(0, 0).relatedIds.empty()) << "an empty RELATE leaves the control alone";
    EXPECT_TRUE(Control(0, 1).relatedIds.empty());
    EXPECT_EQ(Control(0, 2).relatedIds, (std::vector<std::int32_t>{1005}));
    EXPECT_EQ(Control(0, 3).relatedIds, (std::vector<std::int32_t>{1003, 0, 1005}))
        << "only the end of the line ends the list";
}

TEST_F(ModelParse, RelateNamingItselfFirstAndAnotherKeepsBoth) {
    ASSERT_EQ(Parse("[TAB]\n[RADIO]\nID=1005\nRELATE=1005,1006\n[RADIO]\nID=1006\n"),
              ModelLookup::Found);
    EXPECT_EQ(Control(0, 0).relatedIds, (std::vector<std::int32_t>{1005, 1006}));
}

TEST_F(ModelParse, LongFileNamesAreCut) {
    const std::string longName(400, 'r');
    ASSERT_EQ(Parse("[TAB]\nRESOURCEFILE=" + longName + "\n[PROPERTY]\nGAMMAFILE2=" +
                    std::string(300, 'g') + "\nGAMMAFILE5=short.gam\n"),
              ModelLookup::Found);
    EXPECT_EQ(model.tabs.at(0).resourceFile, std::string(259, 'r'));
    ASSERT_EQ(model.GammaReferences().size(), 2u);
    EXPECT_EQ(model.GammaReferences()[0].preset, 1u);
    EXPECT_EQ(model.GammaReferences()[0].path, "/models/" + std::string(251, 'g'));
    EXPECT_EQ(model.GammaReferences()[1].preset, 4u);
    EXPECT_EQ(model.GammaReferences()[1].path, "/models/short.gam");
}

TEST_F(ModelParse, PresetsStartAsTheRamp) {
    ASSERT_EQ(Parse(""), ModelLookup::Found);
    for (const GammaFileTable& preset : model.presetGamma) {
        for (int channel = 0; channel < 3; ++channel) {
            EXPECT_EQ(preset.At(channel, 0), 0u);
            EXPECT_EQ(preset.At(channel, 1), 4u);
            EXPECT_EQ(preset.At(channel, 255), 1020u);
        }
    }
}

} // namespace
