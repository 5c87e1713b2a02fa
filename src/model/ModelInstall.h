#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace tonedesk {

// The two gamma files a model brings in the folder named after its model file.
inline constexpr const char* kModelGammaFiles[] = {"cstrgb.gam", "cstvideo.gam"};

// Largest piece a copy moves at once.
inline constexpr std::size_t kInstallCopyChunk = 65536;

// How an installation ended.
enum class InstallResult {
    NoModelName,       // the chosen name has no "." and so no model name: nothing happened
    MissingGammaFiles, // no folder NAME holding both gamma files beside the chosen file
    Declined,          // the model was already installed and the user kept it
    Failed,            // the target folder could not be made or a copy failed
    Installed,         // the model file and both gamma files are in place
};

// Installs a model file NAME.ext, with the folder NAME beside it that holds the model's gamma
// files, into the program's folder: NAME.ext goes into the program folder, the gamma files into
// its folder NAME.
class CModelInstall {
public:
    // Asked with NAME when the program folder already holds NAME.ext; true replaces it. Without
    // a question an installed model is kept.
    using ReplaceQuestion = std::function<bool(const std::string& name)>;

    CModelInstall();
    ~CModelInstall();
    CModelInstall(const CModelInstall&) = delete;
    CModelInstall& operator=(const CModelInstall&) = delete;

    // Installs the model file at `chosenPath` into `programFolder`. Nothing on disk changes unless
    // the gamma files are there and the user did not decline; a copy that fails leaves the files
    // copied before it in place.
    InstallResult Install(const std::string& chosenPath, std::string programFolder,
                          const ReplaceQuestion& askReplace);

    // Copies the regular file `source` to `target`, with the source's permission bits and access
    // and modification times. 0 or the error number; `target` is never seen half written.
    int CopyFile(const std::string& source, const std::string& target);

private:
    std::unique_ptr<char[]> buffer_; // kInstallCopyChunk bytes, from the first copy on
};

} // namespace tonedesk
