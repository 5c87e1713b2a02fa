#include "support/qt/QtSettingsStore.h"

#include "common/TestKit.h"
#include "support/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace tonedesk;
using tonedesk::test::TempDir;

namespace {

// Qt looks up the configuration folder once per process, so the temporary profile folder is
// set before the first store is made and serves every test of this program.
class QtSettingsStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = new TempDir;
        ::setenv("XDG_CONFIG_HOME", home_->Path().c_str(), 1);
        // A profile edited by hand before the program ran.
        home_->Write("VANTO/Vanto Tonedesk.conf", "[ENV]\n"
                                                  "RETRY=5\n"
                                                  "RETRY2=two\n"
                                                  "POWERON_WAIT=4294967295\n"
                                                  "REC_TIMEOUT_ERR=0x20\n"
                                                  "[PORTS]\n"
                                                  "SYSTEM=0\n"
                                                  "COM5=/dev/pts/7\n");
    }
    static void TearDownTestSuite() {
        delete home_;
        home_ = nullptr;
    }
    static std::filesystem::path ProfileFile() {
        return home_->Path() / "VANTO" / "Vanto Tonedesk.conf";
    }

    static TempDir* home_;
};

TempDir* QtSettingsStoreTest::home_ = nullptr;

TEST_F(QtSettingsStoreTest, MissingKeysGiveTheirDefaults) {
    const QtSettingsStore store;
    EXPECT_EQ(EnvInt(store, "REC_TIMEOUT_OFF"), 10000);
    EXPECT_EQ(EnvInt(store, "GAMMA_RETRYCNT"), 256);
    EXPECT_EQ(EnvText(store, "OUTPUTPATH"), "");
    EXPECT_EQ(store.GetText("NOSECTION", "KEY", "fallback"), "fallback");
    EXPECT_EQ(store.GetInt("PORTS", "COM6", -3), -3);
}

TEST_F(QtSettingsStoreTest, ReadsValuesPutInByHand) {
    const QtSettingsStore store;
    EXPECT_EQ(EnvInt(store, "RETRY"), 5);
    EXPECT_EQ(EnvInt(store, "RETRY2"), 2);        // not a number: the default
    EXPECT_EQ(EnvInt(store, "POWERON_WAIT"), -1); // a 32-bit word keeps its bits
    EXPECT_EQ(EnvInt(store, "REC_TIMEOUT_ERR"), 32);
    EXPECT_EQ(store.GetInt(kPortsSection, "SYSTEM", 1), 0);
    EXPECT_EQ(store.GetText(kPortsSection, "COM5", ""), "/dev/pts/7");
}

TEST_F(QtSettingsStoreTest, TextRoundTripsThroughTheProfileFile) {
    const struct {
        const char* key;
        const char* value;
    } values[] = {
        {"GAMMAPATH", "D:\\data\\"},
        {"OUTPUTPATH", "/home/tech/settings files/"},
        {"ODD_TEXT", "  a=b; \"c\" #d  "},
        {"EMPTY", ""},
    };
    {
        QtSettingsStore store;
        for (const auto& v : values) {
            store.WriteText(kEnvSection, v.key, v.value);
        }
    }
    ASSERT_TRUE(std::filesystem::exists(ProfileFile()));
    const std::string text = TempDir::Read(ProfileFile());
    EXPECT_NE(text.find("[ENV]"), std::string::npos) << text;
    EXPECT_NE(text.find("GAMMAPATH="), std::string::npos) << text;
    EXPECT_NE(text.find("COM5=/dev/pts/7"), std::string::npos) << text; // others kept

    const QtSettingsStore again;
    for (const auto& v : values) {
        SCOPED_TRACE(v.key);
        EXPECT_EQ(again.GetText(kEnvSection, v.key, "missing"), v.value);
    }
    EXPECT_EQ(EnvText(again, "GAMMAPATH"), "D:\\data\\");
}

} // namespace
