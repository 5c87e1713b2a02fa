#pragma once

#include "support/FileRead.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tonedesk {

class Notifier;

// Writes all of `data`, going on after partial writes and interruptions. 0 or the error number
// (EIO when a write takes nothing).
int WriteAll(int fd, const char* data, std::size_t size);

// Makes a rename in `folder` (empty: the current folder) durable. 0 or the error number.
int SyncFolder(const std::string& folder);

// A new file that takes the place of `target` only once it is complete: it is written under a
// fresh temporary name in the target's folder, and Commit puts it on disk and renames it over the
// target. Until then the target keeps what it held; a replacement left without a commit, or
// whose commit failed, removes its temporary file.
class CFileReplacement {
public:
    explicit CFileReplacement(std::string target);
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    // Creates the temporary file for writing with `mode` (less the umask). 0 or the error number.
    int Create(mode_t mode);
    // The temporary file, open for writing; -1 before Create.
    int Descriptor() const { return file_.fd; }
    // Syncs and closes the temporary file, renames it to the target and syncs the folder.
    // 0 or the error number.
    int Commit();

private:
    std::string target_;
    std::string temporary_; // empty when there is no temporary file (any more)
    FileDescriptor file_;
};

// Writes `text` as the whole file `path`. The text goes to a temporary file in the same folder
// that replaces `path` only once it is complete, so a failed write leaves an existing file as it
// was; a replaced file keeps its permissions (and, where the process may, its owner), a symbolic
// link stays a link. Returns 0, or -1 after telling the user why (the file-error box).
int WriteTextFile(const std::string& path, std::string_view text, Notifier& notifier);

} // namespace tonedesk
