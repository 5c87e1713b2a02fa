#include "support/NameTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tonedesk;

namespace {

std::vector<std::string> Names(const NameTable& t) {
    std::vector<std::string> names;
    for (const auto& e : t.Entries()) {
        names.push_back(e.name);
    }
    return names;
}

TEST(NameTableTest, NamesDifferingOnlyInCaseAreOne) {
    NameTable t;
    NameTable::Entry& e = t.FindOrAdd("Res.DLL");
    EXPECT_EQ(e.value, 0);
    e.value = 7;
    EXPECT_EQ(t.FindOrAdd("res.dll").value, 7);
    EXPECT_EQ(t.FindOrAdd("RES.DLL").name, "Res.DLL"); // the first spelling stays
    EXPECT_EQ(t.Count(), 1u);
    ASSERT_NE(t.Find("rEs.DlL"), nullptr);
    EXPECT_EQ(t.Find("rEs.DlL")->value, 7);
    EXPECT_EQ(t.Find("res.dl"), nullptr);
    EXPECT_EQ(t.Find("res.dlls"), nullptr);
}

TEST(NameTableTest, KeepsCaseFoldedOrderWhateverTheInsertionOrder) {
    NameTable t;
    const char* names[] = {"tab2.rcc", "_base.rcc", "Tab1.rcc", "B.rcc", "a.rcc", "[x].rcc"};
    int value = 1;
    for (const char* n : names) {
        t.FindOrAdd(n).value = value++;
    }
    EXPECT_EQ(Names(t), (std::vector<std::string>{"[x].rcc", "_base.rcc", "a.rcc", "B.rcc",
                                                  "Tab1.rcc", "tab2.rcc"}));
    value = 1;
    for (const char* n : names) {
        ASSERT_NE(t.Find(n), nullptr) << n;
        EXPECT_EQ(t.Find(n)->value, value++) << n;
    }
    const NameTable& constTable = t;
    EXPECT_NE(constTable.Find("TAB2.RCC"), nullptr);
}

TEST(NameTableTest, FindsEveryNameOfALargeTable) {
    NameTable t;
    for (int i = 199; i >= 0; --i) {
        t.FindOrAdd("Module" + std::to_string(i)).value = i;
    }
    EXPECT_EQ(t.Count(), 200u);
    for (int i = 0; i < 200; ++i) {
        const auto* e = t.Find("MODULE" + std::to_string(i));
        ASSERT_NE(e, nullptr) << i;
        EXPECT_EQ(e->value, i);
    }
    EXPECT_EQ(t.Find("Module200"), nullptr);
    t.Clear();
    EXPECT_EQ(t.Count(), 0u);
    EXPECT_EQ(t.Find("Module1"), nullptr);
}

} // namespace
