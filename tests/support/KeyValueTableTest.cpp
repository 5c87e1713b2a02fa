#include "support/KeyValueTable.h"

#include <gtest/gtest.h>

#include <map>

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

TEST(KeyValueTableTest, ManyKeysInAnyOrderMatchAnOrderedMap) {
    // Keys from a fixed scramble, each added twice, with values written through the entry and
    // an entry kept from the start that must survive every later insertion.
    KeyValueTable t;
    std::map<std::uint32_t, std::int32_t> expected;
    KeyValueTable::Entry& first = t.FindOrAdd(0x80000000u);
    first.value = -1;
    expected[0x80000000u] = -1;
    std::uint32_t key = 12345;
    for (int i = 0; i < 20000; ++i) {
        key = key * 1664525u + 1013904223u;
        const std::uint32_t k = key % 50000u * 86243u;
        t.FindOrAdd(k).value += 1;
        expected[k] += 1;
    }
    EXPECT_EQ(first.value, -1);
    ASSERT_EQ(t.Count(), expected.size());
    const auto entries = t.Entries();
    auto it = expected.begin();
    for (const KeyValueEntry& e : entries) {
        ASSERT_EQ(e.key, it->first);
        ASSERT_EQ(e.value, it->second);
        ASSERT_EQ(t.Find(e.key), &t.FindOrAdd(e.key));
        ++it;
    }
    EXPECT_EQ(t.Find(1), nullptr);
}
