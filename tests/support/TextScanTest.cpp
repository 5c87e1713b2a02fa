#include "support/TextScan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

using namespace tonedesk;

namespace {

struct NumberCase {
    const char* text;
    std::int32_t value;
    std::ptrdiff_t endOffset; // where the conversion stops
    bool digits = true;       // ParsedDigits: it read digits
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << c.text;
}

class ParseNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumberTest, ValueAndEnd) {
    const NumberCase& c = GetParam();
    const char* end = nullptr;
    EXPECT_EQ(ParseNumber(c.text, &end), c.value) << c.text;
    EXPECT_EQ(end - c.text, c.endOffset) << c.text;
    EXPECT_EQ(ParsedDigits(c.text, end), c.digits) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseNumberTest,
    ::testing::Values(NumberCase{"  42", 42, 4}, NumberCase{"-7", -7, 2}, NumberCase{"$1F", 31, 3},
                      NumberCase{"%101", 5, 4}, NumberCase{"0x10", 16, 4},
                      NumberCase{"0X10", 16, 4},
                      NumberCase{"$", 0, 1, false},   // no digit: end right after the "$"
                      NumberCase{"0xg", 0, 2, false}, // a prefix alone: end after it
                      NumberCase{"  -", 0, 2, false}, // blanks and a sign alone
                      NumberCase{"12abc", 12, 2},     // stops at the first non-digit
                      NumberCase{"\t+8,", 8, 3},      // tab and sign
                      NumberCase{"abc", 0, 0, false}, // nothing converted: end at the text
                      NumberCase{"$FFFFFFFF", -1, 9}, // unsigned keeps its bit pattern
                      NumberCase{"99999999999", 2147483647, 11}, // 32-bit range clamps
                      NumberCase{"-99999999999", -2147483647 - 1, 12},
                      NumberCase{"$1FFFFFFFF", -1, 10}),
    [](const ::testing::TestParamInfo<NumberCase>& param) {
        return "Case" + std::to_string(param.index);
    });

TEST(NextLineTest, BreaksOfEveryKind) {
    const char* text = "A\r\nB";
    const char* lineEnd = nullptr;
    const char* next = NextLine(text, &lineEnd);
    EXPECT_EQ(next, text + 3);
    EXPECT_EQ(lineEnd, text + 1);

    const char* lflf = "A\n\nB"; // an empty line between two LF breaks is swallowed
    EXPECT_EQ(NextLine(lflf), lflf + 3);

    const char* lfcr = "A\n\rB";
    EXPECT_EQ(NextLine(lfcr), lfcr + 3);

    const char* twice = "A\r\n\r\nB"; // CR LF CR LF still gives one empty line
    const char* second = NextLine(twice);
    EXPECT_EQ(second, twice + 3);
    EXPECT_EQ(NextLine(second), twice + 5);
}

TEST(NextLineTest, TextEndIsReturnedAsItIs) {
    const char* text = "no break";
    const char* lineEnd = nullptr;
    EXPECT_EQ(NextLine(text, &lineEnd), text + std::strlen(text));
    EXPECT_EQ(lineEnd, text + std::strlen(text));

    const char* eof = "A\x1a"
                      "B";
    EXPECT_EQ(NextLine(eof), eof + 1); // the end-of-file mark ends the text
}

TEST(SkipBlanksTest, OnlySpacesAndTabs) {
    EXPECT_STREQ(SkipBlanks(" \t x"), "x");
    EXPECT_STREQ(SkipBlanks(" \r"), "\r");
    EXPECT_STREQ(SkipBlanks(" \n"), "\n");
    EXPECT_STREQ(SkipBlanks(" \xA0"), "\xA0");
}

} // namespace
