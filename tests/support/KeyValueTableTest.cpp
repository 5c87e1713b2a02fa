#include "support/KeyValueTable.h"

#include <gtest/gtest.h>

using namespace tonedesk;

TEST(KeyValueTableTest, CodesAreSortedAsUnsignedLittleEndianKeys) {
    EXPECT_EQ(CodeKey("POWR"), 0x52574F50u);

    KeyValueTable t;
    t.FindOrAdd(CodeKey("POWR")).value = 1;
    t.FindOrAdd(CodeKey("GAMM")).value = 2;
    t.FindOrAdd(CodeKey("MOUT")).value = 3;
    t.FindOrAdd(0xFFFFFFF0u).value = 4; // beyond the signed range
    ASSERT_EQ(t.Count(), 4u);
    EXPECT_EQ(t.Find(CodeKey("POWR"))->value, 1);
    EXPECT_EQ(t.Find(CodeKey("GAMM"))->value, 2);
    EXPECT_EQ(t.Find(CodeKey("MOUT"))->value, 3);
    EXPECT_EQ(t.Find(0xFFFFFFF0u)->value, 4);
    EXPECT_EQ(t.Find(CodeKey("TNAM")), nullptr);

    for (std::size_t i = 1; i < t.Count(); ++i) {
        EXPECT_LT(t.Entries()[i - 1].key, t.Entries()[i].key);
    }
}

TEST(KeyValueTableTest, FindOrAddOfPresentKeyKeepsEntry) {
    KeyValueTable t;
    t.FindOrAdd(7).value = 70;
    auto& again = t.FindOrAdd(7);
    EXPECT_EQ(again.value, 70);
    EXPECT_EQ(t.Count(), 1u);
    EXPECT_EQ(t.FindOrAdd(8).value, 0); // a new key starts at 0
}
