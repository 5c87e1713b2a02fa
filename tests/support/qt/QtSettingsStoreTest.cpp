#include "support/qt/QtSettingsStore.h"

#include "common/TestKit.h"
#include "support/ProfileCheck.h"
#include "support/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

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
                                                  "POWERON_TIME=0b101\n"
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
    EXPECT_EQ(EnvInt(store, "POWERON_TIME"), 5);
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

// A profile that is there but cannot be read gives no values at all, says why, and is left as
// it is: its section "PORTS" may turn the default ports off, and a reader must not take the
// defaults for the user's choices.
TEST_F(QtSettingsStoreTest, ProfileThatCannotBeReadIsReportedAndLeftAlone) {
    const TempDir other;
    ::setenv("XDG_CONFIG_HOME", other.Path().c_str(), 1);
    const std::string kProfile = "VANTO/Vanto Tonedesk.conf";
    const auto file = other.Path() / kProfile;
    const std::string ports = "[PORTS]\nSYSTEM=0\nCOM5=/dev/pts/7\n";
    const std::string garbage = std::string("\x01\xfe[x\0", 5) + ports;
    // Each case makes the profile and gives the text it holds (none for a folder).
    const struct {
        const char* name;
        std::function<std::string()> make;
    } cases[] = {
        {"a folder",
         [&] {
             std::filesystem::create_directories(file);
             return std::string();
         }},
        {"garbage before the ports", [&] { return TempDir::Read(other.Write(kProfile, garbage)); }},
        {"a line without a value",
         [&] { return TempDir::Read(other.Write(kProfile, "RETRY\n" + ports)); }},
        {"unreadable",
         [&] {
             std::filesystem::permissions(other.Write(kProfile, ports),
                                          std::filesystem::perms::none);
             return ports;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(other.Path() / "VANTO");
        if (std::string_view(c.name) == "unreadable" && ::geteuid() == 0) {
            continue; // root reads any file
        }
        const std::string before = c.make();
        {
            QtSettingsStore store;
            const auto failure = store.LoadFailure();
            ASSERT_TRUE(failure.has_value());
            EXPECT_EQ(failure->fileName, file.string());
            EXPECT_FALSE(failure->reason.empty());
            EXPECT_EQ(store.GetInt(kPortsSection, "SYSTEM", 1), 1);
            EXPECT_EQ(store.GetText(kPortsSection, "COM5", ""), "");
            store.WriteText(kEnvSection, "GAMMAPATH", "/tmp/");
        }
        if (std::filesystem::is_regular_file(file)) {
            std::filesystem::permissions(file, std::filesystem::perms::owner_all);
            EXPECT_EQ(TempDir::Read(file), before);
        }
    }
    // No profile at all is no failure: the defaults are what the user chose.
    std::filesystem::remove_all(other.Path() / "VANTO");
    EXPECT_FALSE(QtSettingsStore().LoadFailure().has_value());
    ::setenv("XDG_CONFIG_HOME", home_->Path().c_str(), 1);
}

// What the store's parser passes over in silence: a byte order mark is taken (but excuses no
// garbage), and a SYSTEM that is neither 0 nor 1 or a profile beyond its size limit is refused
// like an unreadable one.
TEST_F(QtSettingsStoreTest, ProfileTextIsCheckedBeforeItIsUsed) {
    const TempDir other;
    ::setenv("XDG_CONFIG_HOME", other.Path().c_str(), 1);
    const std::string kProfile = "VANTO/Vanto Tonedesk.conf";
    const std::string ports = "[PORTS]\nSYSTEM=0\nCOM5=/dev/pts/7\n";
    const std::string mark = "\xEF\xBB\xBF";
    const std::string tooLarge = "file too large (more than 1 MiB)";
    const struct {
        const char* name;
        std::string text;
        std::string reason; // empty: the profile is used
    } cases[] = {
        {"a byte order mark", mark + ports, ""},
        {"as large as it may be", ports + std::string(kMaxProfileSize - ports.size(), '\n'), ""},
        {"one byte larger", ports + std::string(kMaxProfileSize - ports.size() + 1, '\n'),
         tooLarge},
        {"SYSTEM=no", "[PORTS]\nSYSTEM=no\n",
         "line 2: SYSTEM in [PORTS] is 'no'; it must be 0 "
         "(only the listed ports) or 1 (the default ports too)"},
        {"a byte order mark before garbage", mark + "\x01[\xfe\n" + ports,
         "it is not a valid profile (INI format)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        other.Write(kProfile, c.text);
        const QtSettingsStore store;
        const auto failure = store.LoadFailure();
        EXPECT_EQ(failure ? failure->reason : "", c.reason);
        const bool used = c.reason.empty();
        EXPECT_EQ(store.GetInt(kPortsSection, "SYSTEM", 1), used ? 0 : 1);
        EXPECT_EQ(store.GetText(kPortsSection, "COM5", ""), used ? "/dev/pts/7" : "");
    }
    ::setenv("XDG_CONFIG_HOME", home_->Path().c_str(), 1);
}

} // namespace
