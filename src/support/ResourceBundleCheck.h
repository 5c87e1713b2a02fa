#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tonedesk {

// What the structure check of a binary resource bundle (an .rcc file) found.
enum class BundleCheck {
    Valid,
    TooShort,       // shorter than its header
    NoMagic,        // does not start with "qres"
    UnknownVersion, // a format version other than 1 to 3
    UnknownFlags,   // format flags this program cannot read
    RegionOutside,  // the tree, the names or the data start outside the file
    EntryOutside,   // an entry of the tree, or a folder's list of entries, lies outside it
    NameOutside,    // an entry's name runs past the end of the file
    DataOutside,    // a file's data run past the end of the file
    BadEntryFlags,  // an entry's kind is none this program knows
    BadCompression, // a compressed file too short for its header, or too large unpacked
    RootNotFolder,  // the first entry is not a folder
    NotATree,       // an entry is reached twice: a loop, or an entry in two folders
};

// Largest size a compressed file of a bundle may claim to unpack to.
inline constexpr std::uint64_t kMaxBundleEntrySize = 64u << 20; // 64 MiB

// Checks the structure of a bundle held in memory before it is given to the resource system,
// which trusts it: the header and its version, and every entry of the tree reachable from the
// root, with its name, its data or the entries of its folder within the `size` bytes, no entry
// reached twice, and every compressed file's header and unpacked size within bounds. Only reads.
BundleCheck CheckResourceBundle(const unsigned char* data, std::size_t size);

inline BundleCheck CheckResourceBundle(std::string_view bytes) {
    return CheckResourceBundle(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// What the check found, in words for the user ("the file ends inside an entry's name").
std::string_view BundleCheckReason(BundleCheck result);

// Why a bundle file cannot be registered.
struct BundleReadFailure {
    bool unreadable = false; // the file could not be read at all (else its structure is damaged)
    std::string reason;      // FileReadReason or BundleCheckReason
};

// Reads the bundle file at `path` whole into `bytes` (only a regular file, up to the reader's
// size limit) and checks its structure. Nothing when the bytes may be registered.
std::optional<BundleReadFailure> ReadResourceBundle(const std::string& path, std::string& bytes);

} // namespace tonedesk
