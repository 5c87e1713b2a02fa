#pragma once

#include "support/ModelFolders.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

class CFileReplacement;

// The two gamma files a model brings in the folder named after its model file.
inline constexpr const char* kModelGammaFiles[] = {"cstrgb.gam", "cstvideo.gam"};

// Largest piece a copy moves at once.
inline constexpr std::size_t kInstallCopyChunk = 65536;

// How an installation ended.
enum class InstallResult {
    NoModelName,       // the chosen name has no "." and so no model name: nothing happened
    MissingGammaFiles, // no folder NAME holding both gamma files beside the chosen file
    MissingBundle,     // a bundle that a tab names (RESOURCEFILE) is no file beside the model
    Declined,          // the user kept an installed model or bundle
    Failed,            // a file could not be read or written: nothing of it stays
    Installed,         // the model file, both gamma files and the tabs' bundles are in place
};

// What a replace question is about.
enum class ReplaceSubject {
    Model,  // the model file NAME.ext (asked with NAME)
    Bundle, // a tab's bundle that differs from the one installed (asked with its name)
};

// Installs a model file NAME.ext, with the folder NAME beside it that holds the model's gamma
// files and the bundles its tabs name, into a model folder: NAME.ext and the bundles go into the
// folder, the gamma files into its folder NAME.
class CModelInstall {
public:
    // Asked before an existing model file, or an existing bundle of other content, is replaced;
    // true replaces it. Without a question nothing is replaced.
    using ReplaceQuestion = std::function<bool(ReplaceSubject subject, const std::string& name)>;

    CModelInstall();
    ~CModelInstall();
    CModelInstall(const CModelInstall&) = delete;
    CModelInstall& operator=(const CModelInstall&) = delete;

    // Installs the model file at `chosenPath` into `targetFolder`, which is made, with the
    // folders above it, when it is missing. Every source is checked and every question asked
    // before anything is written; the copies are then written whole under temporary names and
    // renamed into place together. When one fails, what this installation wrote is removed again
    // (the folders it made, and a file it replaced is put back), so that a model is installed
    // whole or not at all.
    InstallResult Install(const std::string& chosenPath, std::string targetFolder,
                          const ReplaceQuestion& askReplace);

    // After MissingBundle: the bundle's name as the model file gives it.
    const std::string& MissingBundle() const { return missingBundle_; }
    // After Installed: the files written, as paths within the target folder, in copy order.
    const std::vector<std::string>& InstalledFiles() const { return installedFiles_; }

    // Copies the regular file `source` to `target`, with the source's permission bits and access
    // and modification times. 0 or the error number; `target` is never seen half written.
    int CopyFile(const std::string& source, const std::string& target);

private:
    class Transaction;

    // Writes a copy of the regular file `source` into `out`, which is created, with the
    // source's permission bits and times, and puts it on disk. 0 or the error number.
    int WriteCopy(const std::string& source, CFileReplacement& out);

    std::unique_ptr<char[]> buffer_; // kInstallCopyChunk bytes, from the first copy on
    std::string missingBundle_;
    std::vector<std::string> installedFiles_;
};

// Whether this process may make and replace files in `folder` (the system's own check, which
// also says no on a read-only file system).
bool FolderWritable(const std::string& folder);

// Where Install Model puts a model: into the program's folder while `writable` says this process
// may write there (so that every user of the machine gets it), else into the user's model folder.
std::string InstallFolder(const ModelFolders& folders,
                          const std::function<bool(const std::string&)>& writable);

// The bundles the tabs of a model file's text name (RESOURCEFILE), each once, in file order.
std::vector<std::string> TabBundleNames(std::string_view modelText);

} // namespace tonedesk
