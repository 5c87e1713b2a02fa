#include "support/ResourceBundleCheck.h"

#include "support/FileRead.h"

#include <array>
#include <vector>

namespace tonedesk {

namespace {

// The layout of a bundle: a header ("qres", version, then the offsets of the tree, the data and
// the names, all 32-bit big-endian; version 3 adds format flags), then a tree of fixed-size
// entries. Entry n lies at tree + n * entry size: the offset of its name (a 16-bit length in
// UTF-16 units, a 32-bit hash, the characters), 16-bit flags, then for a folder the number of
// its entries and the index of the first, for a file a 32-bit locale and the offset of its data
// (a 32-bit length, the bytes). From version 2 on, each entry ends in a 64-bit time.
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kHeaderSizeV3 = 24;
constexpr std::size_t kEntrySize = 14;
constexpr std::size_t kEntrySizeV2 = 22;

constexpr std::uint32_t kCompressed = 0x01; // zlib, after the unpacked size (32-bit big-endian)
constexpr std::uint32_t kFolder = 0x02;
constexpr std::uint32_t kCompressedZstd = 0x04; // one zstd frame

// The resource system reads offsets, counts and indexes as signed 32-bit numbers.
constexpr std::uint64_t kMaxOffset = 0x7FFFFFFF;

constexpr std::uint32_t kZstdMagic = 0xFD2FB528;

class ByteView {
public:
    ByteView(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::uint64_t Size() const { return size_; }
    // Whether `length` bytes from `offset` lie within the bytes.
    bool Has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    // A big-endian number of `width` bytes at `offset`, which the caller has checked with Has.
    std::uint64_t BigEndian(std::uint64_t offset, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            value = value << 8 | data_[offset + i];
        }
        return value;
    }
    std::uint64_t LittleEndian(std::uint64_t offset, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = width; i > 0; --i) {
            value = value << 8 | data_[offset + i - 1];
        }
        return value;
    }
    std::uint32_t U32(std::uint64_t offset) const {
        return static_cast<std::uint32_t>(BigEndian(offset, 4));
    }
    std::uint32_t U16(std::uint64_t offset) const {
        return static_cast<std::uint32_t>(BigEndian(offset, 2));
    }
    unsigned char Byte(std::uint64_t offset) const { return data_[offset]; }

private:
    const unsigned char* data_;
    std::uint64_t size_;
};

// A zlib-compressed file starts with its unpacked size.
bool ZlibEntryOk(const ByteView& bytes, std::uint64_t at, std::uint64_t length) {
    return length >= 4 && bytes.U32(at) <= kMaxBundleEntrySize;
}

// A zstd frame's header, up to the unpacked size it declares; a frame without one is refused.
bool ZstdEntryOk(const ByteView& bytes, std::uint64_t at, std::uint64_t length) {
    if (length < 5 || bytes.LittleEndian(at, 4) != kZstdMagic) {
        return false;
    }
    const unsigned descriptor = bytes.Byte(at + 4);
    if ((descriptor & 0x08) != 0) { // reserved
        return false;
    }
    const bool singleSegment = (descriptor & 0x20) != 0;
    static constexpr std::array<std::uint64_t, 4> kDictionaryIdSize{0, 1, 2, 4};
    const std::uint64_t sizeAt = 5 + (singleSegment ? 0 : 1) + kDictionaryIdSize[descriptor & 3];
    const unsigned sizeFlag = descriptor >> 6;
    const std::size_t sizeWidth = sizeFlag == 0 ? (singleSegment ? 1 : 0) : 1u << sizeFlag;
    if (sizeWidth == 0 || sizeAt + sizeWidth > length) {
        return false;
    }
    std::uint64_t unpacked = bytes.LittleEndian(at + sizeAt, sizeWidth);
    if (sizeWidth == 2) {
        unpacked += 256;
    }
    return unpacked <= kMaxBundleEntrySize;
}

BundleCheck CheckName(const ByteView& bytes, std::uint64_t names, std::uint32_t offset) {
    const std::uint64_t at = names + offset;
    if (offset > kMaxOffset || !bytes.Has(at, 6)) {
        return BundleCheck::NameOutside;
    }
    return bytes.Has(at + 6, 2 * std::uint64_t{bytes.U16(at)}) ? BundleCheck::Valid
                                                               : BundleCheck::NameOutside;
}

BundleCheck CheckFileData(const ByteView& bytes, std::uint64_t dataRegion, std::uint32_t offset,
                          std::uint32_t flags) {
    const std::uint64_t at = dataRegion + offset;
    if (offset > kMaxOffset || !bytes.Has(at, 4)) {
        return BundleCheck::DataOutside;
    }
    const std::uint64_t length = bytes.U32(at);
    if (!bytes.Has(at + 4, length)) {
        return BundleCheck::DataOutside;
    }
    if ((flags & kCompressed) != 0 && !ZlibEntryOk(bytes, at + 4, length)) {
        return BundleCheck::BadCompression;
    }
    if ((flags & kCompressedZstd) != 0 && !ZstdEntryOk(bytes, at + 4, length)) {
        return BundleCheck::BadCompression;
    }
    return BundleCheck::Valid;
}

} // namespace

BundleCheck CheckResourceBundle(const unsigned char* data, std::size_t size) {
    const ByteView bytes(data, size);
    if (!bytes.Has(0, kHeaderSize)) {
        return BundleCheck::TooShort;
    }
    if (data[0] != 'q' || data[1] != 'r' || data[2] != 'e' || data[3] != 's') {
        return BundleCheck::NoMagic;
    }
    const std::uint32_t version = bytes.U32(4);
    if (version < 1 || version > 3) {
        return BundleCheck::UnknownVersion;
    }
    if (version >= 3) {
        if (!bytes.Has(0, kHeaderSizeV3)) {
            return BundleCheck::TooShort;
        }
        if ((bytes.U32(20) & ~(kCompressed | kCompressedZstd)) != 0) {
            return BundleCheck::UnknownFlags;
        }
    }
    const std::uint64_t tree = bytes.U32(8);
    const std::uint64_t dataRegion = bytes.U32(12);
    const std::uint64_t names = bytes.U32(16);
    for (const std::uint64_t region : {tree, dataRegion, names}) {
        if (region > kMaxOffset || region >= bytes.Size()) {
            return BundleCheck::RegionOutside;
        }
    }

    const std::uint64_t entrySize = version >= 2 ? kEntrySizeV2 : kEntrySize;
    const std::uint64_t entryCount = (bytes.Size() - tree) / entrySize;
    if (entryCount == 0) {
        return BundleCheck::EntryOutside;
    }
    if ((bytes.U16(tree + 4) & kFolder) == 0) {
        return BundleCheck::RootNotFolder;
    }
    // Every entry is reached from the root once: through exactly one folder.
    std::vector<bool> reached(entryCount, false);
    std::vector<std::uint64_t> pending{0};
    reached[0] = true;
    while (!pending.empty()) {
        const std::uint64_t entry = pending.back();
        pending.pop_back();
        const std::uint64_t at = tree + entry * entrySize;
        const std::uint32_t flags = bytes.U16(at + 4);
        if (entry != 0) { // the root's name is never read
            if (const BundleCheck name = CheckName(bytes, names, bytes.U32(at));
                name != BundleCheck::Valid) {
                return name;
            }
        }
        if ((flags & ~(kCompressed | kFolder | kCompressedZstd)) != 0 ||
            ((flags & kFolder) != 0 && flags != kFolder) ||
            (flags & (kCompressed | kCompressedZstd)) == (kCompressed | kCompressedZstd)) {
            return BundleCheck::BadEntryFlags;
        }
        if ((flags & kFolder) == 0) {
            const BundleCheck file = CheckFileData(bytes, dataRegion, bytes.U32(at + 10), flags);
            if (file != BundleCheck::Valid) {
                return file;
            }
            continue;
        }
        const std::uint64_t count = bytes.U32(at + 6);
        const std::uint64_t first = bytes.U32(at + 10);
        if (count > kMaxOffset || first > kMaxOffset || first + count > entryCount) {
            return BundleCheck::EntryOutside;
        }
        for (std::uint64_t child = first; child < first + count; ++child) {
            if (reached[child]) {
                return BundleCheck::NotATree;
            }
            reached[child] = true;
            pending.push_back(child);
        }
    }
    return BundleCheck::Valid;
}

std::string_view BundleCheckReason(BundleCheck result) {
    switch (result) {
    case BundleCheck::Valid:
        return "a valid resource bundle";
    case BundleCheck::TooShort:
        return "the file is shorter than a bundle's header";
    case BundleCheck::NoMagic:
        return "the file does not start as a bundle does";
    case BundleCheck::UnknownVersion:
        return "the bundle's format version is unknown";
    case BundleCheck::UnknownFlags:
        return "the bundle's format flags are unknown";
    case BundleCheck::RegionOutside:
        return "the header points outside the file";
    case BundleCheck::EntryOutside:
        return "an entry of the bundle lies outside the file";
    case BundleCheck::NameOutside:
        return "an entry's name runs past the end of the file";
    case BundleCheck::DataOutside:
        return "a file's data run past the end of the bundle";
    case BundleCheck::BadEntryFlags:
        return "an entry is of an unknown kind";
    case BundleCheck::BadCompression:
        return "a compressed file is damaged or too large";
    case BundleCheck::RootNotFolder:
        return "the bundle's root is not a folder";
    case BundleCheck::NotATree:
        return "the bundle's folders loop or share entries";
    }
    return "unknown";
}

std::optional<BundleReadFailure> ReadResourceBundle(const std::string& path, std::string& bytes) {
    if (const int error = ReadWholeFile(path, bytes); error != 0) {
        return BundleReadFailure{true, FileReadReason(error)};
    }
    if (const BundleCheck check = CheckResourceBundle(bytes); check != BundleCheck::Valid) {
        return BundleReadFailure{false, std::string(BundleCheckReason(check))};
    }
    return std::nullopt;
}

} // namespace tonedesk
