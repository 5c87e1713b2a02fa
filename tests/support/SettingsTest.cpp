#include "support/Settings.h"

#include <gtest/gtest.h>

using namespace tonedesk;

TEST(SettingsTest, EmptyProfileGivesTheDefaults) {
    MemorySettings s;
    EXPECT_EQ(EnvInt(s, "REC_TIMEOUT_OFF"), 10000);
    EXPECT_EQ(EnvInt(s, "REC_TIMEOUT_ERR"), 250);
    EXPECT_EQ(EnvInt(s, "POWERON_TIME"), 4800);
    EXPECT_EQ(EnvInt(s, "POWERON_WAIT"), 30000);
    EXPECT_EQ(EnvInt(s, "RETRY"), 3);
    EXPECT_EQ(EnvInt(s, "RETRY2"), 2);
    EXPECT_EQ(EnvInt(s, "POWERON_RETRY"), 6);
    EXPECT_EQ(EnvInt(s, "GAMMA_MIN_POINTS"), 8);
    EXPECT_EQ(EnvInt(s, "GAMMA_RETRYCNT"), 256);
    EXPECT_EQ(EnvText(s, "GAMMAPATH"), "");
    EXPECT_EQ(EnvText(s, "OUTPUTPATH"), "");
    EXPECT_EQ(EnvKeys().size(), 13u);
}

TEST(SettingsTest, StoredValuesWinAndBadNumbersFallBack) {
    MemorySettings s;
    s.SetInt(kEnvSection, "RETRY", 5);
    s.WriteText(kEnvSection, "GAMMAPATH", "/data/");
    s.WriteText(kEnvSection, "RETRY2", "two");
    s.WriteText(kEnvSection, "POWERON_WAIT", "4294967295"); // a 32-bit word keeps its bits
    EXPECT_EQ(EnvInt(s, "RETRY"), 5);
    EXPECT_EQ(EnvText(s, "GAMMAPATH"), "/data/");
    EXPECT_EQ(EnvInt(s, "RETRY2"), 2);
    EXPECT_EQ(EnvInt(s, "POWERON_WAIT"), -1);
    EXPECT_EQ(s.GetInt("OTHER", "RETRY", 9), 9); // sections are apart
}
