#include "model/FormScan.h"

#include <gtest/gtest.h>

using namespace tonedesk;

namespace {

TEST(FormScan, FindsWidgetsTheirBitmapsAndEntriesWhereverDesignerPutsThem) {
    const auto widgets = ScanFormWidgets(
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        "<!-- <widget class=\"QLabel\" name=\"id9\"/> -->\n"
        R"(<ui version="4.0"><widget class="QWidget" name="Tab300">)"
        R"(<property name="windowTitle"><string><![CDATA[<widget name="id8">]]></string></property>)"
        R"(<layout class="QGridLayout" name="grid"><item row="0" column="0">)"
        R"(<widget class='QLabel' name="logo"><property name="bitmap" stdset="0">)"
        R"(<string> 12 </string></property><property name="text"><string/></property></widget>)"
        R"(</item><item row="1" column="0"><widget class="QComboBox" name="id1005">)"
        R"(<item><property name="text"><string>a &gt; b</string></property></item><item/>)"
        R"(</widget></item><item><widget class="QGroupBox" name="box"><layout class="QVBoxLayout">)"
        R"(<item><widget class="QLabel" name="id&#49;006"><property name="bitmap" stdset="0">)"
        R"(<cstring/></property></widget></item></layout></widget></item></layout></widget></ui>)");
    ASSERT_TRUE(widgets.has_value());
    ASSERT_EQ(widgets->size(), 5u);
    EXPECT_EQ((*widgets)[0].name, "Tab300");
    EXPECT_FALSE((*widgets)[0].bitmap.has_value()) << "a property of the form, not a bitmap";
    EXPECT_EQ((*widgets)[1].className, "QLabel");
    EXPECT_EQ((*widgets)[1].bitmap, " 12 ");
    EXPECT_EQ((*widgets)[2].entries, 2) << "entries, not the items of the layout around it";
    EXPECT_EQ((*widgets)[3].entries, 0);
    EXPECT_EQ((*widgets)[4].name, "id1006");
    EXPECT_EQ((*widgets)[4].bitmap, "");
    EXPECT_EQ(FormControlId((*widgets)[4].name), 1006);

    EXPECT_FALSE(ScanFormWidgets("<html><widget class=\"QLabel\" name=\"id1\"/></html>"));
}

TEST(FormScan, ControlIdsAreIdAndDigitsOnly) {
    EXPECT_EQ(FormControlId("id20000"), 20000);
    EXPECT_EQ(FormControlId("id0"), 0);
    for (const char* name : {"id", "id-5", "id+5", "id12a", "Id12", "label", "id99999999999"}) {
        EXPECT_EQ(FormControlId(name), -1) << name;
    }
}

} // namespace
