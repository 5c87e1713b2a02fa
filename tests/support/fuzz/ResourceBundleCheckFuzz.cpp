// Fuzz target of the resource bundle check (see common/FuzzDriver.h): whatever the bytes, the
// check only reads within them, and a bundle it passes can be walked as the resource system
// walks it without reading outside the file or coming back to an entry.
#include "common/FuzzDriver.h"
#include "support/ResourceBundleCheck.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace tonedesk;
using tonedesk::test::FuzzCheck;

namespace {

// Every read is checked: at() ends the program on a byte outside the file.
struct Reader {
    const std::vector<std::uint8_t>& bytes;
    std::uint64_t Get(std::uint64_t at, int width) const {
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            value =
                value << 8 | bytes.at(static_cast<std::size_t>(at) + static_cast<std::size_t>(i));
        }
        return value;
    }
};

// The reads of the resource system: each entry's name and hash, a file's length and bytes (and
// the size a zlib file begins with), a folder's entries.
void Walk(const std::vector<std::uint8_t>& bytes) {
    const Reader r{bytes};
    const std::uint64_t version = r.Get(4, 4);
    const std::uint64_t tree = r.Get(8, 4);
    const std::uint64_t data = r.Get(12, 4);
    const std::uint64_t names = r.Get(16, 4);
    const std::uint64_t entrySize = version >= 2 ? 22 : 14;
    std::vector<std::uint64_t> pending{0};
    std::size_t visits = 0;
    while (!pending.empty()) {
        const std::uint64_t at = tree + pending.back() * entrySize;
        const bool root = pending.back() == 0;
        pending.pop_back();
        FuzzCheck(++visits <= bytes.size() / 14, "each entry once");
        r.Get(at + entrySize - 1, 1);
        if (!root) {
            const std::uint64_t name = names + r.Get(at, 4);
            const std::uint64_t length = r.Get(name, 2);
            r.Get(name + 2, 4);
            if (length > 0) {
                r.Get(name + 6 + 2 * length - 1, 1);
            }
        }
        const std::uint64_t flags = r.Get(at + 4, 2);
        if ((flags & 2) != 0) {
            const std::uint64_t count = r.Get(at + 6, 4);
            const std::uint64_t first = r.Get(at + 10, 4);
            for (std::uint64_t child = first; child < first + count; ++child) {
                pending.push_back(child);
            }
            continue;
        }
        const std::uint64_t file = data + r.Get(at + 10, 4);
        const std::uint64_t length = r.Get(file, 4);
        if (length > 0) {
            r.Get(file + 4 + length - 1, 1);
        }
        if ((flags & 1) != 0) {
            FuzzCheck(r.Get(file + 4, 4) <= kMaxBundleEntrySize, "zlib size in range");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size, so that a read past it is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const BundleCheck result = CheckResourceBundle(bytes.data(), bytes.size());
    FuzzCheck(!BundleCheckReason(result).empty(), "every result has a reason");
    if (result == BundleCheck::Valid) {
        Walk(bytes);
    }
    return 0;
}

std::vector<std::string> tonedesk::test::FuzzTokens() {
    return {"qres",
            std::string("\0\0\0\x01", 4),
            std::string("\0\0\0\x02", 4),
            std::string("\0\0\0\x03", 4),
            std::string("\0\x02", 2),
            std::string("\0\x01", 2),
            std::string("\0\x04", 2),
            std::string("\x28\xb5\x2f\xfd", 4),
            std::string("\xff\xff\xff\xff", 4),
            std::string("\x7f\xff\xff\xff", 4)};
}
