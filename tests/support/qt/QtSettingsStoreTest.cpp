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
#include <vector>

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

// What the store's parser passes over in silence: a byte order mark is taken, a SYSTEM that is
// neither 0 nor 1 and a profile beyond its size limit are refused like an unreadable one, and what
// is ignored is named with the file and the line.
TEST_F(QtSettingsStoreTest, ProfileTextIsCheckedBeforeItIsUsed) {
    const TempDir other;
    ::setenv("XDG_CONFIG_HOME", other.Path().c_str(), 1);
    const std::string kProfile = "VANTO/Vanto Tonedesk.conf";
    const std::string file = (other.Path() / kProfile).string();
    const std::string ports = "[PORTS]\nSYSTEM=0\nCOM5=/dev/pts/7\n";
    const std::string mark = "\xEF\xBB\xBF";
    const struct {
        const char* name;
        std::string text;
        std::size_t size;   // the file's size when larger than the text (a sparse tail of NULs)
        std::string reason; // empty: the profile is used
        std::vector<std::string> warnings;
    } cases[] = {
        {"a byte order mark", mark + ports, 0, "", {}},
        {"as large as it may be",
         ports + std::string(kMaxProfileSize - ports.size(), '\n'),
         0,
         "",
         {}},
        {"one byte larger", ports, kMaxProfileSize + 1, "file too large (more than 1 MiB)", {}},
        {"SYSTEM=no",
         "[PORTS]\nSYSTEM=no\nCOM5=/dev/pts/7\n",
         0,
         "line 2: SYSTEM in [PORTS] is 'no'; it must be 0 (only the listed ports) or 1 (the "
         "default ports too)",
         {}},
        {"a byte order mark before garbage",
         mark + std::string("\x01[\xfe\n", 4) + ports,
         0,
         "it is not a valid profile (INI format)",
         {}},
        {"what is ignored",
         ports + "COM0=/dev/a\n[ENV]\nRETRY=100000\nRETRY=7\n",
         0,
         "",
         {file + ": line 4: COM0 in [PORTS] is ignored: COM numbers run from 1 to 255",
          file + ": line 6: RETRY=100000 in [ENV] is more than 100: 100 is used",
          file + ": line 7: RETRY in [ENV] is given again (first on line 6); the last one counts"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        other.Write(kProfile, c.text);
        if (c.size > 0) {
            std::filesystem::resize_file(file, c.size);
        }
        const QtSettingsStore store;
        const auto failure = store.LoadFailure();
        EXPECT_EQ(failure ? failure->reason : "", c.reason);
        EXPECT_EQ(store.LoadWarnings(), c.warnings);
        const bool used = c.reason.empty();
        EXPECT_EQ(store.GetInt(kPortsSection, "SYSTEM", 1), used ? 0 : 1);
        EXPECT_EQ(store.GetText(kPortsSection, "COM5", ""), used ? "/dev/pts/7" : "");
    }
    ::setenv("XDG_CONFIG_HOME", home_->Path().c_str(), 1);
}

} // namespace
