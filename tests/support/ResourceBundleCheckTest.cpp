#include "support/ResourceBundleCheck.h"

#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace tonedesk;

namespace {

namespace fs = std::filesystem;

// Bundles written by Qt's resource compiler: format versions 1 to 3, stored, zlib and zstd
// (the fuzz corpus), and the bundles of the build.
std::vector<fs::path> RealBundles() {
    std::vector<fs::path> bundles;
    for (const auto& entry : fs::directory_iterator(BUNDLE_CORPUS)) {
        bundles.push_back(entry.path());
    }
    if (const char* bin = std::getenv("TONEDESK_BIN_DIR")) {
        bundles.push_back(fs::path(bin) / "demo100.rcc");
        bundles.push_back(fs::path(bin) / "lumidesk.rcc");
    }
    return bundles;
}

std::string Corpus(const char* name) {
    return test::TempDir::Read(fs::path(BUNDLE_CORPUS) / name);
}

std::uint32_t Get(const std::string& b, std::size_t at, int width = 4) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        value = value << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

void Put(std::string& b, std::size_t at, std::uint32_t value, int width = 4) {
    for (int i = width - 1; i >= 0; --i, value >>= 8) {
        b[at + static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    }
}

// Where the parts of a bundle are.
std::size_t Entry(const std::string& b, std::size_t n) {
    return Get(b, 8) + n * (Get(b, 4) >= 2 ? 22 : 14);
}
std::uint32_t Flags(const std::string& b, std::size_t n) {
    return Get(b, Entry(b, n) + 4, 2);
}
// The first entry with these flags.
std::size_t EntryWith(const std::string& b, std::uint32_t flags) {
    std::size_t n = 1;
    while (Flags(b, n) != flags) {
        ++n;
    }
    return n;
}
std::size_t NameOf(const std::string& b, std::size_t n) {
    return Get(b, 16) + Get(b, Entry(b, n));
}
std::size_t DataOf(const std::string& b, std::size_t n) {
    return Get(b, 12) + Get(b, Entry(b, n) + 10);
}

constexpr std::uint32_t kZlib = 1, kFolder = 2, kZstd = 4;

TEST(ResourceBundleCheck, BundlesOfTheResourceCompilerPass) {
    const auto bundles = RealBundles();
    ASSERT_GE(bundles.size(), 7u);
    for (const fs::path& path : bundles) {
        EXPECT_EQ(CheckResourceBundle(test::TempDir::Read(path)), BundleCheck::Valid) << path;
    }
}

TEST(ResourceBundleCheck, EveryCutOfABundleIsRefused) {
    // The tree comes last and every entry of it is reachable: no shorter file is whole.
    for (const fs::path& path : RealBundles()) {
        const std::string bundle = test::TempDir::Read(path);
        for (std::size_t size = 0; size < bundle.size(); ++size) {
            ASSERT_NE(CheckResourceBundle(std::string_view(bundle).substr(0, size)),
                      BundleCheck::Valid)
                << path << " cut to " << size;
        }
    }
}

struct Damage {
    const char* name;
    const char* bundle;
    std::function<void(std::string&)> apply;
    BundleCheck expected;
};

TEST(ResourceBundleCheck, DamageIsNamed) {
    const std::vector<Damage> damages = {
        {"header cut", "v2-zlib.rcc", [](std::string& b) { b.resize(19); }, BundleCheck::TooShort},
        {"version 3 header cut", "v3-zlib.rcc", [](std::string& b) { b.resize(23); },
         BundleCheck::TooShort},
        {"magic", "v2-zlib.rcc", [](std::string& b) { b[3] = 'S'; }, BundleCheck::NoMagic},
        {"version 0", "v2-zlib.rcc", [](std::string& b) { Put(b, 4, 0); },
         BundleCheck::UnknownVersion},
        {"version 4", "v3-zlib.rcc", [](std::string& b) { Put(b, 4, 4); },
         BundleCheck::UnknownVersion},
        {"format flag", "v3-zstd.rcc", [](std::string& b) { Put(b, 20, 8); },
         BundleCheck::UnknownFlags},
        {"tree at the end", "v2-zlib.rcc",
         [](std::string& b) { Put(b, 8, static_cast<std::uint32_t>(b.size())); },
         BundleCheck::RegionOutside},
        {"names before the start", "v1-zlib.rcc", [](std::string& b) { Put(b, 16, 0x80000000); },
         BundleCheck::RegionOutside},
        {"root is a file", "v2-zlib.rcc", [](std::string& b) { Put(b, Entry(b, 0) + 4, 0, 2); },
         BundleCheck::RootNotFolder},
        {"root lists more entries than there are", "v2-zlib.rcc",
         [](std::string& b) { Put(b, Entry(b, 0) + 6, 5); }, BundleCheck::EntryOutside},
        {"root lists itself", "v2-zlib.rcc", [](std::string& b) { Put(b, Entry(b, 0) + 10, 0); },
         BundleCheck::NotATree},
        {"folder shares the root's entries", "v2-zlib.rcc",
         [](std::string& b) {
             Put(b, Entry(b, EntryWith(b, kFolder)) + 10, Get(b, Entry(b, 0) + 10));
         },
         BundleCheck::NotATree},
        {"name offset", "v2-zlib.rcc", [](std::string& b) { Put(b, Entry(b, 1), 0x7FFFFF00); },
         BundleCheck::NameOutside},
        {"name length", "v1-none.rcc", [](std::string& b) { Put(b, NameOf(b, 1), 0xFFFF, 2); },
         BundleCheck::NameOutside},
        {"data offset", "v2-none.rcc",
         [](std::string& b) { Put(b, Entry(b, EntryWith(b, 0)) + 10, 0xFFFFFFF0); },
         BundleCheck::DataOutside},
        {"data length", "v3-none.rcc",
         [](std::string& b) { Put(b, DataOf(b, EntryWith(b, 0)), 0x10000); },
         BundleCheck::DataOutside},
        {"unknown entry kind", "v2-zlib.rcc",
         [](std::string& b) { Put(b, Entry(b, EntryWith(b, kZlib)) + 4, 0x10, 2); },
         BundleCheck::BadEntryFlags},
        {"compressed folder", "v2-zlib.rcc",
         [](std::string& b) { Put(b, Entry(b, EntryWith(b, kFolder)) + 4, 3, 2); },
         BundleCheck::BadEntryFlags},
        {"zlib claims 4 GiB", "v2-zlib.rcc",
         [](std::string& b) { Put(b, DataOf(b, EntryWith(b, kZlib)) + 4, 0xFFFFFFFF); },
         BundleCheck::BadCompression},
        {"zlib without its size", "v1-zlib.rcc",
         [](std::string& b) { Put(b, DataOf(b, EntryWith(b, kZlib)), 3); },
         BundleCheck::BadCompression},
        {"zstd claims 4 GiB", "v3-zstd.rcc",
         [](std::string& b) {
             const std::size_t frame = DataOf(b, EntryWith(b, kZstd)) + 4;
             b[frame + 4] = '\xA0'; // single segment, four bytes of size
             Put(b, frame + 5, 0xFFFFFFFF);
         },
         BundleCheck::BadCompression},
        {"zstd without its magic", "v3-zstd.rcc",
         [](std::string& b) { b[DataOf(b, EntryWith(b, kZstd)) + 4] = 0; },
         BundleCheck::BadCompression},
    };
    for (const Damage& damage : damages) {
        std::string bundle = Corpus(damage.bundle);
        ASSERT_EQ(CheckResourceBundle(bundle), BundleCheck::Valid) << damage.bundle;
        damage.apply(bundle);
        const BundleCheck result = CheckResourceBundle(bundle);
        EXPECT_EQ(result, damage.expected) << damage.name;
        EXPECT_FALSE(BundleCheckReason(result).empty()) << damage.name;
    }
}

} // namespace
