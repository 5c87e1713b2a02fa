#pragma once

#include <string>

namespace tonedesk {

// Reads the whole file at `path` into `text`. Returns 0, or the error number that tells why the
// file could not be opened or read to its end. Only regular files are read: a folder, a pipe or
// a device is refused.
int ReadWholeFile(const std::string& path, std::string& text);

} // namespace tonedesk
