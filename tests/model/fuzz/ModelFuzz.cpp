// Fuzz target of the model file reader, its checker and its JSON form, and of the scan of the
// tabs' forms (see common/FuzzDriver.h).
#include "common/FuzzDriver.h"
#include "model/FormScan.h"
#include "model/ModelFile.h"
#include "model/ModelJson.h"
#include "model/ModelLint.h"
#include "support/Notifier.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace tonedesk;
using tonedesk::test::FuzzCheck;

namespace {

// What every parsed model must satisfy, whatever the text.
void CheckModel(const CModelFile& model, ModelLookup result) {
    for (const auto& gamma : model.GammaReferences()) {
        FuzzCheck(gamma.path.size() <= kMaxPathLength, "gamma path cut");
        FuzzCheck(gamma.preset < kPresetGammaCount, "preset index");
    }
    for (const ModelTab& tab : model.tabs) {
        FuzzCheck(tab.resourceFile.size() <= kMaxPathLength, "resource file cut");
        for (const ModelControl& control : tab.controls) {
            FuzzCheck(control.kind >= ModelSection::Button &&
                          control.kind <= ModelSection::SpinButton,
                      "control kind");
            FuzzCheck(control.commandLists.size() <= kMaxCommandLists, "command list count");
            for (const CommandList& list : control.commandLists) {
                for (const CommandItem& item : list) {
                    const auto* entry = model.statusTable.Find(item.Key());
                    FuzzCheck(entry && entry->value == kNoValue,
                              "command code in the status table");
                }
            }
            for (const CommandItem& item : control.disableList) {
                FuzzCheck(model.disableCodes.Find(item.Key()) != nullptr, "disable code entered");
            }
            for (const CommandItem& item : control.reloadCodes) {
                FuzzCheck(item.value == 0, "reload value");
            }
        }
    }
    if (result != ModelLookup::RepeatedId) {
        for (const auto& entry : model.idIndex.Entries()) {
            FuzzCheck(entry.value >= 1, "identifier position");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SilentNotifier notifier;
    CModelFile model(notifier, "/nonexistent-tonedesk-fuzz/");
    for (std::string_view name : {std::string_view("DEMO-100"), std::string_view()}) {
        const ModelLookup result = model.ParseModelText(text, name);
        CheckModel(model, result);
        const std::string json = ModelToJson(model);
        FuzzCheck(!json.empty() && json.front() == '{' && json.back() == '}', "json object");
    }
    const auto problems = LintModelText(text, "/nonexistent-tonedesk-fuzz/");
    for (const LintProblem& problem : problems) {
        FuzzCheck(problem.line >= 0, "lint line");
    }
    if (const auto widgets = ScanFormWidgets(text)) {
        for (const FormWidget& widget : *widgets) {
            FuzzCheck(widget.entries >= 0, "form entries");
            FuzzCheck(FormControlId(widget.name) >= -1, "form control id");
        }
    }
    return 0;
}

std::vector<std::string> tonedesk::test::FuzzTokens() {
    return {
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
}
