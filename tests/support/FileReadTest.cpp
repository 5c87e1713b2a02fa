#include "support/FileRead.h"

#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tonedesk {
namespace {

using test::TempDir;

// The size limit holds to the byte, for the default limit and a given one; sparse files keep the
// large cases cheap.
TEST(ReadWholeFile, ReadsUpToTheLimitAndRefusesOneByteMore) {
    TempDir dir;
    const struct {
        std::uintmax_t size;
        std::size_t limit;
        int error;
        const char* reason;
    } cases[] = {
        {kMaxReadFileSize, kMaxReadFileSize, 0, nullptr},
        {kMaxReadFileSize + 1, kMaxReadFileSize, kErrorFileTooLarge,
         "file too large (more than 16 MiB)"},
        {4096, 4096, 0, nullptr},
        {4097, 4096, kErrorFileTooLarge, "file too large (more than 4 KiB)"},
        {1, 0, kErrorFileTooLarge, "file too large (more than 0 bytes)"},
        {0, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, limit " + std::to_string(c.limit));
        const auto path = dir.Write("file", "");
        std::filesystem::resize_file(path, c.size);
        std::string text = "left over";
        EXPECT_EQ(ReadWholeFile(path.string(), text, c.limit), c.error);
        EXPECT_EQ(text.size(), c.error == 0 ? c.size : 0u);
        if (c.reason) {
            EXPECT_EQ(FileReadReason(c.error, c.limit), c.reason);
        }
    }
}

} // namespace
} // namespace tonedesk
