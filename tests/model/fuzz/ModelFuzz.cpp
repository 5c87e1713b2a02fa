// Fuzz target of the model file reader, its checker and its JSON form, and of the scan of the
// tabs' forms.
//
// With libFuzzer:   clang++ -fsanitize=fuzzer,address -DTONEDESK_LIBFUZZER ... (option
//                   TONEDESK_FUZZ=ON builds model_fuzz_libfuzzer)
// As a program:     model_fuzz [--mutations N] [--seed S] FOLDER_OR_FILE...
//                   runs every file given (or found in a folder), then N deterministic
//                   mutations of each, and reports how many inputs ran.
#include "model/FormScan.h"
#include "model/ModelFile.h"
#include "model/ModelJson.h"
#include "model/ModelLint.h"
#include "support/Notifier.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace tonedesk;

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "model_fuzz: broken invariant: %s\n", what);
        std::abort();
    }
}

// What every parsed model must satisfy, whatever the text.
void CheckModel(const CModelFile& model, int result) {
    Check(result == 1 || result == 0 || result == -2, "result");
    for (const auto& gamma : model.GammaReferences()) {
        Check(gamma.path.size() <= kMaxPathLength, "gamma path cut");
        Check(gamma.preset < kPresetGammaCount, "preset index");
    }
    for (const ModelTab& tab : model.tabs) {
        Check(tab.resourceFile.size() <= kMaxPathLength, "resource file cut");
        for (const ModelControl& control : tab.controls) {
            Check(control.kind >= ModelSection::Button && control.kind <= ModelSection::SpinButton,
                  "control kind");
            Check(control.commandLists.size() <= kMaxCommandLists, "command list count");
            for (const CommandList& list : control.commandLists) {
                for (const CommandItem& item : list) {
                    const auto* entry = model.statusTable.Find(item.Key());
                    Check(entry && entry->value == kNoValue, "command code in the status table");
                }
            }
            for (const CommandItem& item : control.disableList) {
                Check(model.disableCodes.Find(item.Key()) != nullptr, "disable code entered");
            }
            for (const CommandItem& item : control.reloadCodes) {
                Check(item.value == 0, "reload value");
            }
        }
    }
    if (result >= 0) {
        for (const auto& entry : model.idIndex.Entries()) {
            Check(entry.value >= 1, "identifier position");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SilentNotifier notifier;
    CModelFile model(notifier, "/nonexistent-tonedesk-fuzz/");
    for (std::string_view name : {std::string_view("DEMO-100"), std::string_view()}) {
        const int result = model.ParseModelText(text, name);
        CheckModel(model, result);
        const std::string json = ModelToJson(model);
        Check(!json.empty() && json.front() == '{' && json.back() == '}', "json object");
    }
    const auto problems = LintModelText(text, "/nonexistent-tonedesk-fuzz/");
    for (const LintProblem& problem : problems) {
        Check(problem.line >= 0, "lint line");
    }
    if (const auto widgets = ScanFormWidgets(text)) {
        for (const FormWidget& widget : *widgets) {
            Check(widget.entries >= 0, "form entries");
            Check(FormControlId(widget.name) >= -1, "form control id");
        }
    }
    return 0;
}

#ifndef TONEDESK_LIBFUZZER

namespace {

// xorshift64*: the same mutations on every run.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed ? seed : 1) {}
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 2685821657736338717ull;
    }
    std::size_t Below(std::size_t n) { return n ? static_cast<std::size_t>(Next() % n) : 0; }

private:
    std::uint64_t state_;
};

const std::vector<std::string> kTokens{
    "[PROPERTY]",
    "[SAVE]",
    "[TAB]",
    "[BUTTON]",
    "[RADIO]",
    "[CHECK]",
    "[COMBOBOX]",
    "[SLIDER BAR]",
    "[STATUS]",
    "[STATUSBUTTON]",
    "[EDIT]",
    "[SPINBUTTON]",
    "PROJECTOR_NAME=",
    "AUTORECVELAPSE=",
    "RESOURCEFILE=",
    "ID=",
    "ITEM=",
    "MAX=",
    "MIN=",
    "FREQ=",
    "DEFAULT=",
    "COMMAND=",
    "COMMAND2=",
    "COMMAND5=",
    "RELATE=",
    "MODE=1",
    "ELAPSE=",
    "INCREMENT=0",
    "DISABLE=",
    "RELOAD=",
    "GAMMAFILE1=",
    "GAMMAFILE5=",
    "=",
    ",",
    "????",
    "\r",
    "\n",
    "\r\n",
    "\x1a",
    std::string(1, '\0'),
    "$",
    "%",
    "0x",
    "-",
    "2147483647",
    "-2147483648",
    "99999999999",
    "$FFFFFFFF",
    "%",
    " ",
    "\t",
    "POWR,0",
    std::string(300, 'x'),
    std::string(600, ','),
};

std::string Mutate(const std::string& input, Random& random) {
    std::string text = input;
    const int steps = 1 + static_cast<int>(random.Below(6));
    for (int s = 0; s < steps; ++s) {
        const std::size_t at = random.Below(text.size() + 1);
        switch (random.Below(6)) {
        case 0: // flip a byte
            if (!text.empty()) {
                text[random.Below(text.size())] ^= static_cast<char>(1u << random.Below(8));
            }
            break;
        case 1: // insert a token
            text.insert(at, kTokens[random.Below(kTokens.size())]);
            break;
        case 2: // delete a run
            text.erase(at, random.Below(40));
            break;
        case 3: // repeat a run elsewhere
            if (!text.empty()) {
                const std::size_t from = random.Below(text.size());
                const std::string piece = text.substr(from, random.Below(200));
                text.insert(random.Below(text.size() + 1), piece);
            }
            break;
        case 4: // cut the end
            text.resize(at);
            break;
        default: // a random byte
            text.insert(at, 1, static_cast<char>(random.Below(256)));
            break;
        }
    }
    return text;
}

void Collect(const std::filesystem::path& path, std::vector<std::string>& inputs) {
    if (std::filesystem::is_directory(path)) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end()); // the same order on every run
        for (const auto& file : files) {
            Collect(file, inputs);
        }
        return;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "model_fuzz: cannot read %s\n", path.string().c_str());
        std::exit(2);
    }
    inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Run(const std::string& text) {
    return LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace

int main(int argc, char** argv) {
    std::size_t mutations = 0;
    std::uint64_t seed = 20261207;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--mutations" && i + 1 < argc) {
            mutations = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else {
            Collect(argv[i], inputs);
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: model_fuzz [--mutations N] [--seed S] FOLDER_OR_FILE...\n");
        return 2;
    }
    Random random(seed);
    std::size_t ran = 0;
    for (const std::string& input : inputs) {
        Run(input);
        ++ran;
        std::string text = input;
        for (std::size_t m = 0; m < mutations; ++m) {
            // Mostly mutate the original; now and then keep mutating the last mutant.
            text = Mutate(random.Below(4) == 0 ? text : input, random);
            Run(text);
            ++ran;
        }
    }
    std::printf("model_fuzz: %zu inputs from %zu files, no fault\n", ran, inputs.size());
    return 0;
}

#endif
