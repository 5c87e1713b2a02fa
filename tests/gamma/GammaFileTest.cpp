#include "gamma/GammaFile.h"
#include "common/TestKit.h"
#include "gamma/GammaTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tonedesk {
namespace {

using test::RecordingNotifier;
using test::TempDir;

std::string Lines(int count, const std::string& ending, bool fourColumns) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[64];
        if (fourColumns) {
            std::snprintf(line, sizeof line, "%08d,%08d,%08d,%08d", i, 1000 - i, 2 * i, 4 * i);
        } else {
            std::snprintf(line, sizeof line, "%08d,%08d,%08d", i, 1000 - i, 2 * i);
        }
        text += line + ending;
    }
    return text;
}

TEST(GammaFileTable, IdentityIsTheRampOnEveryChannel) {
    const GammaFileTable t = GammaFileTable::Identity();
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(t.At(c, 0), 0u);
        EXPECT_EQ(t.At(c, 1), 4u);
        EXPECT_EQ(t.At(c, 255), 1020u);
    }
    EXPECT_EQ(t.values[256 + 7], 28u); // channel-major
}

TEST(ReadGammaFile, LayoutsAndLineEndsReadAlike) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"three-crlf.gam", Lines(256, "\r\n", false)},
        {"four-crlf.gam", Lines(256, "\r\n", true)},
        {"three-lf.gam", Lines(256, "\n", false)},
        {"three-lfcr.gam", Lines(256, "\n\r", false)},
        {"three-cr.gam", Lines(256, "\r", false)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingNotifier notifier;
        GammaFileTable table = GammaFileTable::Identity();
        ASSERT_EQ(ReadGammaFile(dir.Write(c.name, c.text).string(), table, notifier),
                  GammaReadResult::Read);
        EXPECT_TRUE(notifier.fileErrors.empty());
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(table.At(0, i), static_cast<std::uint32_t>(i)) << i;
            ASSERT_EQ(table.At(1, i), static_cast<std::uint32_t>(1000 - i)) << i;
            ASSERT_EQ(table.At(2, i), static_cast<std::uint32_t>(2 * i)) << i;
        }
    }
}

TEST(ReadGammaFile, ShortAndOddContentStartsFromZeros) {
    TempDir dir;
    // Line 0: hex, binary and 0x numbers; line 1 stops after red (no comma); line 2 is empty and
    // must not borrow the numbers of line 3; line 3 has blanks around a comma and a sign; then
    // the end mark.
    const std::string text = "$10,%101,0x20\r\n"
                             "7;8,9\r\n"
                             "\r\n"
                             " \t5 , -1,3\r\n"
                             "\x1a"
                             "99,99,99\r\n";
    RecordingNotifier notifier;
    GammaFileTable table = GammaFileTable::Identity();
    ASSERT_EQ(ReadGammaFile(dir.Write("odd.gam", text).string(), table, notifier),
              GammaReadResult::Read);
    EXPECT_EQ(table.At(0, 0), 16u);
    EXPECT_EQ(table.At(1, 0), 5u);
    EXPECT_EQ(table.At(2, 0), 32u);
    EXPECT_EQ(table.At(0, 1), 7u);
    EXPECT_EQ(table.At(1, 1), 0u);
    EXPECT_EQ(table.At(0, 2), 0u);
    EXPECT_EQ(table.At(1, 2), 0u);
    EXPECT_EQ(table.At(0, 3), 5u);
    EXPECT_EQ(table.At(1, 3), 0xFFFFFFFFu);
    EXPECT_EQ(table.At(2, 3), 3u);
    for (int i = 4; i < 256; ++i) {
        ASSERT_EQ(table.At(0, i), 0u) << i;
    }
}

// Shapes that files take on their way through editors and conversions: read as meant, with each
// line that did not read completely reported; and what is no gamma file at all, refused with the
// table unchanged.
TEST(ReadGammaFile, ShapesOfRealFilesAndWhatIsNoGammaFile) {
    const std::string utf16 = std::string("0\0,\0001\0,\0002\0\r\0\n\0", 14);
    const std::string lf = Lines(256, "\n", false);
    const struct {
        const char* name;
        std::string text;
        const char* firstLines; // the values of the first two lines as read
        const char* issues;     // the lines that did not read completely
        int lines;              // lines the text holds
        bool moreLines;         // text after line 256
    } readCases[] = {
        {"blanks around commas", "4 ,4 ,4\r\n 5\t, 6 , 7 , 0008 \r\n", "4,4,4 5,6,7", "", 2, false},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF" + lf, "0,1000,0 1,999,2", "", 256, false},
        {"CR CR LF", Lines(256, "\r\r\n", true), "0,1000,0 1,999,2", "", 256, false},
        {"a leading blank line", "\r\n" + lf, "0,0,0 0,1000,0", "1:'' ", 256, true},
        {"NUL bytes after the text", lf + std::string(3, '\0'), "0,1000,0 1,999,2", "", 256, false},
        {"text left over, columns missing", "1,2,3 x\r\n7;8,9\r\n,5,\x01\r\n", "1,2,3 7,0,0",
         "1:'1,2,3 x' 2:'7;8,9' 3:',5,?' ", 3, false},
    };
    TempDir dir;
    for (const auto& c : readCases) {
        SCOPED_TRACE(c.name);
        RecordingNotifier notifier;
        GammaFileTable table = GammaFileTable::Identity();
        GammaTextReport report;
        const std::string path = dir.Write("shape.gam", c.text).string();
        ASSERT_EQ(ReadGammaFile(path, table, notifier, GammaReadBase::Zeros, &report),
                  GammaReadResult::Read);
        EXPECT_TRUE(notifier.fileErrors.empty());
        const auto line = [&](int i) {
            return std::to_string(table.At(0, i)) + "," + std::to_string(table.At(1, i)) + "," +
                   std::to_string(table.At(2, i));
        };
        EXPECT_EQ(line(0) + " " + line(1), c.firstLines);
        std::string issues;
        for (const GammaLineIssue& issue : report.incomplete) {
            issues += std::to_string(issue.line) + ":'" + issue.text + "' ";
        }
        EXPECT_EQ(issues, c.issues);
        EXPECT_EQ(report.lines, c.lines);
        EXPECT_EQ(report.moreLines, c.moreLines);
    }

    const struct {
        const char* name;
        std::string text;
    } refusedCases[] = {
        {"empty", ""},
        {"blank lines only", "\r\n \r\n\r\n"},
        {"words and prefixes without digits", "red,green,blue\r\n-,$,0x\r\n"},
        {"UTF-16 with its mark", "\xFF\xFE" + utf16},
        {"UTF-16 without a mark", utf16},
        {"binary", std::string("\x7F"
                               "ELF\x02\x01\x01\0\0\0"
                               "12,34,56\n",
                               19)},
    };
    for (const auto& c : refusedCases) {
        SCOPED_TRACE(c.name);
        RecordingNotifier notifier;
        GammaFileTable table = GammaFileTable::Identity();
        const std::string path = dir.Write("shape.gam", c.text).string();
        EXPECT_EQ(ReadGammaFile(path, table, notifier), GammaReadResult::NotAGammaFile);
        EXPECT_EQ(table.values, GammaFileTable::Identity().values);
        ASSERT_EQ(notifier.fileErrors.size(), 1u);
        EXPECT_EQ(notifier.fileErrors[0].fileName, path);
        EXPECT_TRUE(notifier.fileErrors[0].reason.starts_with("not a gamma file: "))
            << notifier.fileErrors[0].reason;
    }
}

TEST(ReadGammaFile, NegativeNumbersKeepTheirBitPattern) {
    TempDir dir;
    RecordingNotifier notifier;
    GammaFileTable table;
    ASSERT_EQ(ReadGammaFile(dir.Write("neg.gam", "-1,2,3\r\n").string(), table, notifier),
              GammaReadResult::Read);
    EXPECT_EQ(table.At(0, 0), 0xFFFFFFFFu);
}

TEST(ReadGammaFile, UnreadableFileReportsAndKeepsTheTable) {
    TempDir dir;
    const std::string missing = (dir.Path() / "missing.gam").string();
    const std::string folder = dir.Path().string();
    for (const auto& [path, reason] : {std::pair{missing, std::string("No such file or directory")},
                                       std::pair{folder, std::string("Is a directory")}}) {
        RecordingNotifier notifier;
        GammaFileTable table = GammaFileTable::Identity();
        EXPECT_EQ(ReadGammaFile(path, table, notifier), GammaReadResult::Unreadable);
        EXPECT_EQ(table.values, GammaFileTable::Identity().values);
        ASSERT_EQ(notifier.fileErrors.size(), 1u);
        EXPECT_EQ(notifier.fileErrors[0].fileName, path);
        EXPECT_EQ(notifier.fileErrors[0].reason, reason);
    }
}

TEST(ReadGammaFile, RefusesWhatIsNotAModestRegularFile) {
    TempDir dir;
    const std::string fifo = (dir.Path() / "fifo.gam").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Far past the size limit, yet taking no space on disk.
    const std::string huge = (dir.Path() / "huge.gam").string();
    std::filesystem::resize_file(dir.Write("huge.gam", ""), std::uintmax_t{1} << 40);
    struct Case {
        std::string path;
        std::string reason;
    };
    for (const Case& c : {Case{fifo, "not a regular file"}, Case{"/dev/zero", "not a regular file"},
                          Case{huge, "file too large (more than 16 MiB)"}}) {
        RecordingNotifier notifier;
        GammaFileTable table = GammaFileTable::Identity();
        EXPECT_EQ(ReadGammaFile(c.path, table, notifier), GammaReadResult::Unreadable) << c.path;
        EXPECT_EQ(table.values, GammaFileTable::Identity().values) << c.path;
        ASSERT_EQ(notifier.fileErrors.size(), 1u) << c.path;
        EXPECT_EQ(notifier.fileErrors[0].reason, c.reason) << c.path;
    }
}

TEST(ReadGammaFile, ShortLinesOverTheCurrentTableKeepItsValues) {
    TempDir dir;
    // One column on line 0, two on line 1, nothing after line 2.
    const std::string path = dir.Write("short.gam", "7\r\n8,9\r\n1,2,3\r\n").string();
    RecordingNotifier notifier;
    GammaFileTable table = GammaFileTable::Identity();
    ASSERT_EQ(ReadGammaFile(path, table, notifier, GammaReadBase::Current), GammaReadResult::Read);
    EXPECT_EQ(table.At(0, 0), 7u);
    EXPECT_EQ(table.At(1, 0), 4u * 0);
    EXPECT_EQ(table.At(2, 0), 0u);
    EXPECT_EQ(table.At(0, 1), 8u);
    EXPECT_EQ(table.At(1, 1), 9u);
    EXPECT_EQ(table.At(2, 1), 4u);
    EXPECT_EQ(table.At(2, 2), 3u);
    // A missing line reads as an empty one: its first column is 0, the others keep the ramp.
    EXPECT_EQ(table.At(0, 100), 0u);
    EXPECT_EQ(table.At(1, 100), 400u);
    EXPECT_EQ(table.At(2, 255), 1020u);
}

GammaTable TableWithMarks() {
    GammaTable t;
    t.levels[0][255] = 1023;
    t.points[0].count = 3;
    t.points[0].points[0] = {0, 0};
    t.points[0].points[1] = {512, 700}; // stored with the table's level, not its own y
    t.points[0].points[2] = {1023, 1023};
    t.points[2].count = 2;
    t.points[2].points[0] = {20, 5};
    t.points[2].points[1] = {23, 9}; // same line as the one before: one mark
    return t;
}

TEST(WriteGammaFile, FourColumnLayoutByteForByte) {
    TempDir dir;
    RecordingNotifier notifier;
    const std::string path = (dir.Path() / "out.gam").string();
    ASSERT_EQ(WriteGammaFile(path, TableWithMarks(), true, notifier), GammaFileResult::Done);
    const std::string text = TempDir::Read(path);
    ASSERT_EQ(text.size(), 9472u);
    EXPECT_EQ(text.substr(0, 37), "10000000,00000000,00000000,00000000\r\n");
    EXPECT_EQ(text.substr(5 * 37, 37), "00000020,00000020,10000020,00000020\r\n");
    EXPECT_EQ(text.substr(128 * 37, 37), "10000512,00000512,00000512,00000512\r\n");
    EXPECT_EQ(text.substr(255 * 37, 37), "10001023,00001020,00001020,00001020\r\n");
    // Every other line is the plain ramp.
    for (int i = 0; i < 256; ++i) {
        if (i == 0 || i == 5 || i == 128 || i == 255) {
            continue;
        }
        char line[40];
        std::snprintf(line, sizeof line, "%08d,%08d,%08d,%08d\r\n", 4 * i, 4 * i, 4 * i, 4 * i);
        ASSERT_EQ(text.substr(i * 37, 37), line) << i;
    }
}

TEST(WriteGammaFile, ThreeColumnLayoutByteForByte) {
    TempDir dir;
    RecordingNotifier notifier;
    const std::string path = (dir.Path() / "out.gam").string();
    ASSERT_EQ(WriteGammaFile(path, TableWithMarks(), false, notifier), GammaFileResult::Done);
    const std::string text = TempDir::Read(path);
    ASSERT_EQ(text.size(), 7168u);
    EXPECT_EQ(text.substr(0, 28), "10000000,00000000,00000000\r\n");
    EXPECT_EQ(text.substr(1 * 28, 28), "00000004,00000004,00000004\r\n");
    EXPECT_EQ(text.substr(5 * 28, 28), "00000020,00000020,10000020\r\n");
    EXPECT_EQ(text.substr(255 * 28, 28), "10001023,00001020,00001020\r\n");
}

TEST(WriteGammaFile, MarksReadBackAsWritten) {
    TempDir dir;
    RecordingNotifier notifier;
    const std::string path = (dir.Path() / "round.gam").string();
    ASSERT_EQ(WriteGammaFile(path, TableWithMarks(), true, notifier), GammaFileResult::Done);
    GammaFileTable read;
    ASSERT_EQ(ReadGammaFile(path, read, notifier), GammaReadResult::Read);
    EXPECT_EQ(read.At(0, 0), kControlPointMark);
    EXPECT_EQ(read.At(0, 128), kControlPointMark + 512);
    EXPECT_EQ(read.At(0, 255), kControlPointMark + 1023);
    EXPECT_EQ(read.At(2, 5), kControlPointMark + 20);
    int marks = 0;
    for (std::uint32_t v : read.values) {
        marks += v >= kControlPointMark;
    }
    EXPECT_EQ(marks, 4);
}

TEST(WriteGammaFile, FailedWriteKeepsTheOldFile) {
    TempDir dir;
    const auto target = dir.Write("keep.gam", "old content");
    // A folder in the way of the rename: the write must fail and leave nothing behind.
    const auto blocked = dir.Path() / "blocked.gam";
    std::filesystem::create_directory(blocked);
    dir.Write("blocked.gam/inner", "x");
    RecordingNotifier notifier;
    EXPECT_EQ(WriteGammaFile(blocked.string(), GammaTable{}, true, notifier),
              GammaFileResult::Failed);
    ASSERT_EQ(notifier.fileErrors.size(), 1u);
    EXPECT_EQ(notifier.fileErrors[0].fileName, blocked.string());
    EXPECT_FALSE(notifier.fileErrors[0].reason.empty());
    EXPECT_EQ(TempDir::Read(target), "old content");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2); // no temporary file left behind

    // A missing folder.
    RecordingNotifier n2;
    EXPECT_EQ(WriteGammaFile((dir.Path() / "no/such.gam").string(), GammaTable{}, true, n2),
              GammaFileResult::Failed);
    ASSERT_EQ(n2.fileErrors.size(), 1u);
    EXPECT_EQ(n2.fileErrors[0].reason, "No such file or directory");
}

TEST(WriteGammaFile, ReplacesAnExistingFileKeepingItsPermissions) {
    TempDir dir;
    const auto target = dir.Write("old.gam", "old content");
    ::chmod(target.c_str(), 0640);
    RecordingNotifier notifier;
    ASSERT_EQ(WriteGammaFile(target.string(), GammaTable{}, false, notifier),
              GammaFileResult::Done);
    EXPECT_EQ(TempDir::Read(target).size(), 7168u);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(WriteGammaFile, ANewFileGetsTheUsualPermissions) {
    TempDir dir;
    const mode_t old = ::umask(027);
    RecordingNotifier notifier;
    const auto target = dir.Path() / "new.gam";
    const GammaFileResult result = WriteGammaFile(target.string(), GammaTable{}, true, notifier);
    ::umask(old);
    ASSERT_EQ(result, GammaFileResult::Done);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(WriteGammaFile, SavesThroughSymbolicLinksIntoTheirTargets) {
    TempDir dir;
    const auto real = dir.Write("shared/real.gam", "old content");
    const auto link = dir.Path() / "cstrgb.gam";
    std::filesystem::create_symlink("shared/real.gam", link);
    const auto dangling = dir.Path() / "dangling.gam";
    std::filesystem::create_symlink("shared/later.gam", dangling);
    for (const auto& [path, target] :
         {std::pair{link, real}, std::pair{dangling, dir.Path() / "shared/later.gam"}}) {
        RecordingNotifier notifier;
        ASSERT_EQ(WriteGammaFile(path.string(), GammaTable{}, true, notifier),
                  GammaFileResult::Done)
            << path;
        EXPECT_TRUE(std::filesystem::is_symlink(path)) << path;
        EXPECT_EQ(TempDir::Read(target).size(), 9472u) << path;
    }
    // Nothing left beside the link or the target.
    int entries = 0;
    for ([[maybe_unused]] const auto& e :
         std::filesystem::directory_iterator(dir.Path() / "shared")) {
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

TEST(WriteGammaFile, HardLinkedFileIsRewrittenForEveryName) {
    TempDir dir;
    const auto first = dir.Write("first.gam", std::string(20000, 'x'));
    const auto second = dir.Path() / "second.gam";
    std::filesystem::create_hard_link(first, second);
    RecordingNotifier notifier;
    ASSERT_EQ(WriteGammaFile(first.string(), GammaTable{}, false, notifier), GammaFileResult::Done);
    EXPECT_EQ(TempDir::Read(second).size(), 7168u);
    EXPECT_EQ(TempDir::Read(first), TempDir::Read(second));
    EXPECT_EQ(std::filesystem::hard_link_count(first), 2u);
}

TEST(WriteGammaFile, NameNearTheLengthLimitStillSaves) {
    TempDir dir;
    const auto target = dir.Path() / (std::string(251, 'g') + ".gam"); // 255 characters
    RecordingNotifier notifier;
    ASSERT_EQ(WriteGammaFile(target.string(), GammaTable{}, true, notifier), GammaFileResult::Done);
    EXPECT_EQ(TempDir::Read(target).size(), 9472u);
    ASSERT_EQ(WriteGammaFile(target.string(), GammaTable{}, false, notifier),
              GammaFileResult::Done);
    EXPECT_EQ(TempDir::Read(target).size(), 7168u);
    EXPECT_TRUE(notifier.fileErrors.empty());
}

// Runs `check` as an unprivileged user (in a child process when the tests run as root, who may
// write any file) with `folder` handed to that user; true when it returned true.
bool AsUnprivilegedUser(const std::filesystem::path& folder, const std::function<bool()>& check) {
    if (::geteuid() != 0) {
        return check();
    }
    constexpr uid_t kNobody = 65534;
    if (::chown(folder.c_str(), kNobody, kNobody) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && check();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TEST(WriteGammaFile, RefusesToReplaceAReadOnlyFile) {
    TempDir dir;
    const auto target = dir.Write("locked.gam", "old content");
    ::chmod(target.c_str(), 0444);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }
    EXPECT_TRUE(AsUnprivilegedUser(dir.Path(), [&] {
        RecordingNotifier notifier;
        return WriteGammaFile(target.string(), GammaTable{}, true, notifier) ==
                   GammaFileResult::Failed &&
               notifier.fileErrors.size() == 1 &&
               notifier.fileErrors[0].reason == std::strerror(EACCES);
    }));
    EXPECT_EQ(TempDir::Read(target), "old content");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(WriteGammaFile, RefusesToSaveOntoAPipeOrADeviceAndLeavesItInPlace) {
    TempDir dir;
    const std::string fifo = (dir.Path() / "pipe.gam").string();
    const std::string device = (dir.Path() / "null.gam").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::pair<std::string, mode_t>> nodes{{fifo, S_IFIFO}};
    // Only a privileged process may make a device node: one of its own, never a system one.
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        nodes.emplace_back(device, S_IFCHR);
    }
    for (const auto& [path, type] : nodes) {
        RecordingNotifier notifier;
        EXPECT_EQ(WriteGammaFile(path, GammaTable{}, true, notifier), GammaFileResult::Failed)
            << path;
        ASSERT_EQ(notifier.fileErrors.size(), 1u) << path;
        EXPECT_EQ(notifier.fileErrors[0].reason, "not a regular file") << path;
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
        EXPECT_EQ(st.st_mode & S_IFMT, type) << path;
    }
    EXPECT_EQ(
        static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                               std::filesystem::directory_iterator())),
        nodes.size());
}

TEST(WriteGammaFile, ReplacementKeepsOwnerAndGroup) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only a privileged process may give a file to another user";
    }
    TempDir dir;
    const auto target = dir.Write("owned.gam", "old content");
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    RecordingNotifier notifier;
    ASSERT_EQ(WriteGammaFile(target.string(), GammaTable{}, true, notifier), GammaFileResult::Done);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
}

} // namespace
} // namespace tonedesk
