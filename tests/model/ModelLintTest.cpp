#include "model/ModelLint.h"

#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

using namespace tonedesk;

namespace {

// A clean model: the problems of a case are those of the lines it appends.
const std::string kCleanStart = "; a comment line\r\n"
                                "[PROPERTY]\r\n"
                                "PROJECTOR_NAME=DEMO-100\r\n"
                                "AUTORECVELAPSE=5\r\n"
                                "GAMMAFILE1=DEMO/a.gam\r\n"
                                "[TAB]\r\n"
                                "ID=100\r\n"
                                "RESOURCEFILE=demo.rcc\r\n"
                                "COMMAND=INPT\r\n"
                                "[SLIDER BAR]\r\n"
                                "ID=1001\r\n"
                                "COMMAND=VOLM,????\r\n"
                                "INCREMENT=10\r\n"
                                "RELATE=1001,1002\r\n"
                                "[CHECK]\r\n"
                                "ID=1002\r\n"
                                "COMMAND=MUTE,1,MUTE,0\r\n"
                                "RELOAD=VOLM,INPT\r\n"
                                "DISABLE=POWR,0\r\n"
                                "MODE=1\r\n"; // 20 lines

struct LintCase {
    const char* name;
    std::string added; // appended after the clean start; its first line is line 21
    std::vector<std::pair<int, std::string>> expected; // line and a part of the text
};

void PrintTo(const LintCase& c, std::ostream* os) {
    *os << c.name;
}

// A folder with the files the clean start names.
template <typename Case> class LintInFolder : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        dir.Write("DEMO/a.gam", "00000000,00000000,00000000\r\n");
        dir.Write("demo.rcc", "bundle");
    }
    test::TempDir dir;
};

// The problems, in order, are at these lines and contain these texts.
void ExpectProblems(const std::vector<LintProblem>& problems,
                    const std::vector<std::pair<int, std::string>>& expected) {
    ASSERT_EQ(problems.size(), expected.size()) << [&] {
        std::string all;
        for (const auto& p : problems) {
            all += std::to_string(p.line) + ": " + p.text + "\n";
        }
        return all;
    }();
    for (std::size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(problems[i].line, expected[i].first) << problems[i].text;
        EXPECT_NE(problems[i].text.find(expected[i].second), std::string::npos) << problems[i].text;
    }
}

using ModelLint = LintInFolder<LintCase>;

TEST_P(ModelLint, FindsWhatTheReaderWouldIgnoreOrMisread) {
    const LintCase& c = GetParam();
    const auto problems = LintModelText(kCleanStart + c.added, dir.Path().string());
    ExpectProblems(problems, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelLint,
    ::testing::Values(
        LintCase{"Clean", "", {}},
        LintCase{
            "UnknownSection",
            "[BUTTONS]\r\nID=7\r\n[tab]\r\n",
            {{21, "unknown section '[BUTTONS]'"}, {22, "outside any section"}, {23, "upper case"}}},
        LintCase{"UnknownKey",
                 "MAXIMUM=3\r\nCOMMAND6=POWR\r\n",
                 {{21, "unknown key 'MAXIMUM'"}, {22, "unknown key 'COMMAND6'"}}},
        LintCase{"KeyInWrongSection",
                 "RESOURCEFILE=demo.rcc\r\n[TAB]\r\nMAX=4\r\n"
                 "[SAVE]\r\nCOMMAND3=VOLM\r\n",
                 {{21, "RESOURCEFILE does not count in [CHECK]"},
                  {23, "MAX does not count in [TAB]"},
                  {25, "COMMAND3 does not count in [SAVE]"}}},
        LintCase{"LeadingBlanksAndLowerCase",
                 " ID=7\r\n\t[TAB]\r\nid=8\r\nMode = 2\r\n",
                 {{21, "leading blanks"},
                  {22, "leading blanks"},
                  {23, "'id' must be written ID"},
                  {24, "'Mode' must be written MODE"}}},
        LintCase{"RepeatedIdentifier",
                 "[BUTTON]\r\nID=1001\r\n[TAB]\r\nID=1002\r\n",
                 {{22, "repeats the one of line 11"}, {24, "repeats the one of line 16"}}},
        LintCase{"TrailingGarbage",
                 "MAX=10 ;top\r\nMIN=x\r\nDEFAULT=  7  \r\nCOMMAND2=POWR,1;on\r\n"
                 "RELOAD=VOLM INPT\r\nDISABLE=POWR,\r\n",
                 {{21, "MAX '10 ;top' is not a plain number (read as 10)"},
                  {22, "read as 0"},
                  {24, "COMMAND2: text after the list"},
                  {25, "RELOAD: text after the list"},
                  {26, "DISABLE: a number without digits"}}},
        LintCase{"PrefixWithoutDigits",
                 "MAX=0x\r\nDISABLE=POWR,0X\r\n",
                 {{21, "MAX '0x' is not a plain number (read as 0)"},
                  {22, "DISABLE: a number without digits"}}},
        LintCase{"MissingFiles",
                 "[TAB]\r\nID=101\r\nRESOURCEFILE=none.rcc\r\n[PROPERTY]\r\n"
                 "GAMMAFILE2=DEMO/b.gam\r\nGAMMAFILE3=DEMO/a.gam \r\n",
                 {{23, "RESOURCEFILE: file 'none.rcc' not found"},
                  {25, "GAMMAFILE2: file 'DEMO/b.gam' not found"},
                  {26, "trailing blanks"},
                  {26, "not found"}}},
        LintCase{"RelateOutsideTheTab",
                 "RELATE=1001,1003\r\n[TAB]\r\nID=101\r\n[BUTTON]\r\nID=1003\r\nRELATE=1002\r\n",
                 // 1002 now relates to others: nothing reads its own code.
                 {{7, "no MODE=1 control of this tab reads MUTE"},
                  {21, "names 1003"},
                  {26, "names 1002"}}},
        LintCase{"RelateAndModeBeforeId",
                 "[COMBOBOX]\r\nRELATE=1003\r\nMODE=1\r\nID=1003\r\n",
                 {{7, "reads MUTE"}, {22, "RELATE before ID"}, {23, "MODE=1 before ID"}}},
        LintCase{"IncrementZero",
                 "INCREMENT=0\r\n[SPINBUTTON]\r\nID=1005\r\nINCREMENT=0\r\n[SLIDER BAR]\r\n"
                 "INCREMENT=$0\r\n",
                 {{24, "INCREMENT 0 on a [SPINBUTTON]"}, {26, "INCREMENT 0 on a [SLIDER BAR]"}}},
        LintCase{"HeaderWithText", "[TAB] main\r\n", {{21, "text after [TAB]"}}},
        LintCase{"HexValuesInLettersOnly",
                 "MAX=$FF\r\nMIN=0xAB\r\nDEFAULT=$ff\r\nCOMMAND2=POWR,$FF\r\n",
                 {}},
        LintCase{"LinesWithoutEquals",
                 "MAX 10\r\n; a comment\r\n   \r\n[PROPERTY]\r\nPROJECTOR_NAME DEMO\r\n",
                 {{21, "line without '=' in [CHECK]"}, {25, "line without '=' in [PROPERTY]"}}},
        LintCase{"ManyStrangersOnOneLine",
                 "RELATE=1,2,3,4,5,6,1002\r\nRELATE=7\r\n",
                 {{21, "names 1,"},
                  {21, "names 2,"},
                  {21, "names 3,"},
                  {21, "names 3 more identifiers"},
                  {22, "names 7,"}}},
        LintCase{"TextAfterTheEndMarks",
                 std::string("MAX=1\r\n\x1a"
                             "MIN=2\r\n"),
                 {{22, "text after Ctrl-Z is ignored (7 bytes)"}}},
        LintCase{"TextAfterANul",
                 std::string("MAX=1\0MIN=2", 11),
                 {{21, "text after a NUL byte is ignored (5 bytes)"}}},
        LintCase{"TrailingCtrlZAlone", std::string("MAX=1\r\n\x1a"), {}},
        LintCase{
            "CodesNoPollReads",
            "[COMBOBOX]\r\nID=1003\r\nCOMMAND=PMOD,0,PMOD,1\r\n[EDIT]\r\nID=1004\r\n"
            "COMMAND=COLT\r\n[BUTTON]\r\nID=1005\r\nCOMMAND=FOCN,1\r\n"
            "[TAB]\r\nID=101\r\nCOMMAND2=PATT,1\r\n[COMBOBOX]\r\nID=1101\r\n"
            "COMMAND=PATT,0,PATT,1\r\n[SLIDER BAR]\r\nID=1102\r\nCOMMAND=HPOS\r\n"
            "[RADIO]\r\nID=1103\r\nCOMMAND=ZOOM,1\r\n[BUTTON]\r\nID=1104\r\nMODE=1\r\n"
            "RELATE=1102,1103\r\n",
            {{7, "no MODE=1 control of this tab reads PMOD, COLT: their controls show DEFAULT"}}},
        LintCase{"UnsendableValues",
                 "COMMAND2=POWR,12345\r\nCOMMAND3=MUTE,-1000,MUTE,0xFFFFFFFF\r\n"
                 "COMMAND4=POWR,99999999999\r\nDISABLE=POWR,12345\r\nMAX=$FFFFFFFE\r\n"
                 "[TAB]\r\nID=101\r\nCOMMAND2=PATT,10000,PATT,9999\r\n"
                 "[SAVE]\r\nCOMMAND=BRIT,-5000\r\n",
                 {{21, "COMMAND2: POWR,12345 is never sent: a value must lie in -999 .. 9999"},
                  {22, "COMMAND3: MUTE,-1000 is never sent"},
                  {22, "COMMAND3: MUTE,0xFFFFFFFF reads as -1"},
                  {23, "COMMAND4: POWR,99999999999 reads as no value"},
                  {25, "MAX reads as -2"},
                  {28, "COMMAND2: PATT,10000 is never sent"}}},
        LintCase{"ControlRangesBeyondWhatIsSent",
                 "[EDIT]\r\nID=1006\r\nCOMMAND=BRIT\r\nMIN=-1000\r\nMAX=9999\r\n"
                 "[SLIDER BAR]\r\nID=1007\r\nCOMMAND=BRIT\r\nMAX=100000\r\nINCREMENT=10\r\n"
                 "[SPINBUTTON]\r\nID=1008\r\nCOMMAND=BRIT\r\nMIN=-10000\r\nMAX=999\r\n"
                 "[EDIT]\r\nID=1009\r\nCOMMAND=BRIT\r\nMIN=-999\r\nMAX=9999\r\n"
                 "[SLIDER BAR]\r\nID=1010\r\nCOMMAND=BRIT\r\nMAX=99990\r\nINCREMENT=10\r\n",
                 {{7, "reads BRIT"},
                  {22, "[EDIT] gives values -1000 .. 9999, of which only those in -999 .. 9999"},
                  {27, "[SLIDER BAR] gives values 0 .. 10000"},
                  {32, "[SPINBUTTON] gives values -999 .. 10000"}}},
        LintCase{"CodesOfOtherLengths",
                 "[BUTTON]\r\nID=1005\r\nCOMMAND=PMO\r\nCOMMAND2=PMOD,1,PMO,2\r\n"
                 "COMMAND3=MUTE,1, MUTE,0\r\nRELOAD=VOLM,INP\r\nCOMMAND4=POWR,1 \r\n",
                 {{23, "COMMAND: code 'PMO' is not four characters"},
                  {24, "COMMAND2: code 'PMO' is not four characters"},
                  {25, "COMMAND3: code ' MUT' is not four characters"},
                  {26, "RELOAD: code 'INP' is not four characters"}}},
        LintCase{"NameProblems",
                 "[PROPERTY]\r\nPROJECTOR_NAME=\r\n",
                 {{22, "PROJECTOR_NAME again"}, {22, "matches every projector"}}}),
    [](const ::testing::TestParamInfo<LintCase>& param) { return param.param.name; });

TEST(ModelLintFile, WholeFileProblems) {
    test::TempDir dir;
    const auto problems = LintModelText("ID=1\n[BUTTON]\nID=1\n[TAB]\nID=1\n\n\n[PROPERTY]\r\r;x\n",
                                        dir.Path().string());
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].line, 1);
    EXPECT_NE(problems[0].text.find("outside any section"), std::string::npos);
    EXPECT_EQ(problems[1].line, 2);
    EXPECT_NE(problems[1].text.find("before the first [TAB]"), std::string::npos);
    EXPECT_EQ(problems[2].line, 0);
    EXPECT_NE(problems[2].text.find("never chosen"), std::string::npos);

    const auto unreadable = LintModelFile((dir.Path() / "none.ini").string());
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].line, 0);
}

TEST(ModelLintFile, FilesThatAreNoRegularFilesAreNamedSo) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir.Path() / "pipe.gam").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.Path() / "zero.gam");
    std::filesystem::create_directory(dir.Path() / "folder.gam");
    const auto problems = LintModelText("[PROPERTY]\nPROJECTOR_NAME=X\nGAMMAFILE1=pipe.gam\n"
                                        "GAMMAFILE2=zero.gam\nGAMMAFILE3=folder.gam\n",
                                        dir.Path().string());
    ASSERT_EQ(problems.size(), 3u);
    for (const LintProblem& problem : problems) {
        EXPECT_NE(problem.text.find("is not a regular file"), std::string::npos) << problem.text;
    }

    // A model file that is a pipe or a device is refused at once.
    for (const auto& path : {dir.Path() / "pipe.gam", dir.Path() / "zero.gam"}) {
        const auto refused = LintModelFile(path.string());
        ASSERT_EQ(refused.size(), 1u) << path;
        EXPECT_NE(refused[0].text.find("not a regular file"), std::string::npos) << path;
    }
}

TEST(ModelLintFile, GammaFilePathIsTheOneTheReaderOpens) {
    // Folder and name together run past the longest path the reader keeps: the reader opens the
    // cut path, which does not exist, so the checker must not find the file either.
    test::TempDir dir;
    const std::string name(240, 'g');
    dir.Write("sub/" + name, "1,2,3\n");
    const std::string model = "[PROPERTY]\nPROJECTOR_NAME=X\nGAMMAFILE1=sub/" + name + "\n";
    const auto problems = LintModelText(model, dir.Path().string());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].text.find("not found"), std::string::npos) << problems[0].text;
}

TEST(ModelLintFile, LineNumbersCountEveryBreakAsAnEditorDoes) {
    test::TempDir dir;
    const auto file =
        dir.Write("m.ini", "[PROPERTY]\n\nPROJECTOR_NAME=X\r\n\r\n\r\r[TAB]\nMAX=1\n");
    const auto problems = LintModelFile(file.string());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 8);
}

// The tabs' forms, read from a bundle that holds these files.
class FakeBundles final : public BundleReader {
public:
    bool Open(const std::string& path, std::string& problem) override {
        opened = path;
        problem = "damaged";
        return opens;
    }
    std::optional<std::string> Read(const std::string& name) override {
        const auto it = files.find(name);
        return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    bool opens = true;
    std::map<std::string, std::string> files;
    std::string opened;
};

// The form of tab 100 of the clean model: both its controls, a bitmap label and the program's
// gamma editor button.
const std::string kForm =
    R"(<?xml version="1.0"?><ui version="4.0"><widget class="QWidget" name="Tab100">)"
    R"(<layout class="QVBoxLayout" name="box"><item><widget class="QSlider" name="id1001"/>)"
    R"(</item><item><widget class="QCheckBox" name="id1002"><property name="text"><string>)"
    R"(Mute</string></property></widget></item><item><widget class="QLabel" name="logo">)"
    R"(<property name="bitmap" stdset="0"><number>7</number></property></widget></item>)"
    R"(<item><widget class="QPushButton" name="id20000"/></item></layout></widget></ui>)";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

struct FormCase {
    const char* name;
    std::string form;  // dialogs/100.ui; empty: the bundle has none
    std::string added; // model lines after the clean start (line 21 on)
    std::vector<std::pair<int, std::string>> expected;
    bool opens = true;
    bool bitmap = true; // the bundle has bitmaps/7.png
};

void PrintTo(const FormCase& c, std::ostream* os) {
    *os << c.name;
}

using ModelLintForms = LintInFolder<FormCase>;

TEST_P(ModelLintForms, FindsWhatTheFormsLack) {
    const FormCase& c = GetParam();
    FakeBundles bundles;
    bundles.opens = c.opens;
    if (!c.form.empty()) {
        bundles.files["dialogs/100.ui"] = c.form;
    }
    if (c.bitmap) {
        bundles.files["bitmaps/7.png"] = "png";
    }
    const auto problems = LintModelText(kCleanStart + c.added, dir.Path().string(), &bundles);
    EXPECT_EQ(bundles.opened, (dir.Path() / "demo.rcc").string());
    ExpectProblems(problems, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelLintForms,
    ::testing::Values(
        FormCase{"Clean", kForm, "", {}},
        FormCase{"NotABundle",
                 kForm,
                 "",
                 {{7, "'demo.rcc' is not a valid resource bundle: damaged"}},
                 false},
        FormCase{"NoForm", "", "", {{7, "'demo.rcc' has no form dialogs/100.ui"}}},
        FormCase{"NotAForm", "<html/>", "", {{7, "has no form dialogs/100.ui"}}},
        FormCase{"MisnamedWidgetAndWrongClass",
                 Replaced(Replaced(kForm, "\"id1001\"", "\"id1010\""), "QCheckBox", "QRadioButton"),
                 "",
                 {{7, "widget id1010 is no control of this tab"},
                  {11, "dialogs/100.ui of 'demo.rcc' has no widget id1001"},
                  {16, "id1002 is a QRadioButton in dialogs/100.ui of 'demo.rcc'; a [CHECK] "
                       "control is a QCheckBox"}}},
        FormCase{"ComboEntriesAndMissingBitmap",
                 Replaced(kForm, "<item><widget class=\"QPushButton\"",
                          "<item><widget class=\"QComboBox\" name=\"id1003\"><item><property "
                          "name=\"text\"><string>A</string></property></item><item/></widget>"
                          "</item><item><widget class=\"QPushButton\""),
                 "[COMBOBOX]\r\nID=1003\r\nCOMMAND=PMOD,0,PMOD,1,PMOD,2\r\n",
                 {{7, "no MODE=1 control of this tab reads PMOD"},
                  {7, "bitmap label 'logo' shows bitmaps/7.png (or .bmp), which is not"},
                  {22, "id1003 has 2 entries in dialogs/100.ui of 'demo.rcc' for 3 command"}},
                 true,
                 false}),
    [](const ::testing::TestParamInfo<FormCase>& param) { return param.param.name; });

} // namespace
