#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// Something in a model file that the reader ignores, reads differently from how it looks, or
// that makes the file fail.
struct LintProblem {
    int line; // 1-based; 0 for the file as a whole
    std::string text;
};

// Checks a model file's text. RESOURCEFILE and GAMMAFILE names are looked for in `folder` (the
// folder the file lies in, as the program looks for them beside itself). Problems come in line
// order, whole-file problems last.
std::vector<LintProblem> LintModelText(std::string_view text, const std::string& folder);

// Reads and checks a file; a file that cannot be read gives one problem at line 0.
std::vector<LintProblem> LintModelFile(const std::string& path);

} // namespace tonedesk
