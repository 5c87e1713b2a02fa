#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

enum class ModelSection : std::int32_t;

// Something in a model file that the reader ignores, reads differently from how it looks, or
// that makes the file fail.
struct LintProblem {
    int line; // 1-based; 0 for the file as a whole
    std::string text;
};

// Reads the resource bundles a model file names, for the checks of the tabs' forms.
class BundleReader {
public:
    virtual ~BundleReader() = default;
    // Opens the bundle file at `path`; false, with what is wrong with it in `problem`, when it
    // is not a valid resource bundle.
    virtual bool Open(const std::string& path, std::string& problem) = 0;
    // A file of the bundle opened last (for example "dialogs/300.ui"), or nothing.
    virtual std::optional<std::string> Read(const std::string& name) = 0;
};

// Checks a model file's text, including the codes a tab's controls show that no poll of the tab
// reads. RESOURCEFILE and GAMMAFILE names are looked for in `folder` (the folder the file lies
// in), then in `otherFolders` (the model folders), as the program looks for them. With `bundles`,
// each
// tab's form is checked too: the widget id<N> of every control, of the class its kind needs,
// the entries of combo boxes, and the bitmaps of bitmap labels. Problems come in line order,
// whole-file problems last.
std::vector<LintProblem> LintModelText(std::string_view text, const std::string& folder,
                                       BundleReader* bundles = nullptr,
                                       const std::vector<std::string>& otherFolders = {});

// The Qt widget classes that can stand for a control of the kind in a tab's form; empty for a
// kind that is no control.
std::vector<std::string_view> WidgetClassesFor(ModelSection kind);

// Reads and checks a file; a file that cannot be read gives one problem at line 0.
std::vector<LintProblem> LintModelFile(const std::string& path, BundleReader* bundles = nullptr,
                                       const std::vector<std::string>& otherFolders = {});

} // namespace tonedesk
