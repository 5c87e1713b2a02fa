#include "model/LintValues.h"

#include <algorithm>

namespace tonedesk {

namespace {

std::string Range() {
    return std::to_string(kLowestSentValue) + " .. " + std::to_string(kHighestSentValue);
}

bool IsUnsignedForm(std::string_view written) {
    return written.starts_with('$') || written.starts_with('%') || written.starts_with("0x") ||
           written.starts_with("0X");
}

} // namespace

bool SendsListValues(std::int32_t key, ModelSection section) {
    if (IsControlSection(section)) {
        return key >= kKeyCommand && key <= kKeyCommand5;
    }
    return section == ModelSection::Tab && (key == kKeyCommand || key == kKeyCommand2);
}

std::vector<std::string> ListValueProblems(std::string_view keyName, const ListEnd& end,
                                           bool sent) {
    std::vector<std::string> problems;
    const std::string key(keyName);
    if (!end.shortCode.empty()) {
        problems.push_back(key + ": code '" + end.shortCode +
                           "' is not four characters: the list is read wrongly from there");
    }
    for (const ListParameter& parameter : end.parameters) {
        const std::string item = std::string(parameter.code) + "," + std::string(parameter.text);
        if (std::string wrapped =
                WrappedNumberProblem(key + ": " + item, parameter.text, parameter.value);
            !wrapped.empty()) {
            problems.push_back(std::move(wrapped));
        } else if (sent && parameter.value == kNoValue) {
            problems.push_back(key + ": " + item +
                               " reads as no value: the command only asks for the value");
        } else if (sent && !IsSendableValue(parameter.value)) {
            problems.push_back(key + ": " + item + " is never sent: a value must lie in " +
                               Range());
        }
    }
    return problems;
}

std::string WrappedNumberProblem(std::string_view keyName, std::string_view written,
                                 std::int32_t value) {
    if (value >= 0 || !IsUnsignedForm(written)) {
        return {};
    }
    return std::string(keyName) + " reads as " + std::to_string(value) +
           " (beyond 31 bits a number wraps to a negative one)";
}

std::string ControlRangeProblem(const ModelControl& control) {
    // The values the control sends at its two ends.
    std::int64_t low = control.min;
    std::int64_t high = control.max;
    switch (control.kind) {
    case ModelSection::Edit:
        break;
    case ModelSection::SliderBar:
    case ModelSection::SpinButton:
        if (control.increment == 0) {
            return {}; // reported with INCREMENT
        }
        low /= control.increment;
        high /= control.increment;
        if (control.kind == ModelSection::SpinButton) {
            low = -low;
            high = -high;
        }
        break;
    default:
        return {};
    }
    const std::int64_t lowest = std::min(low, high);
    const std::int64_t highest = std::max(low, high);
    if (lowest >= kLowestSentValue && highest <= kHighestSentValue) {
        return {};
    }
    return "MIN .. MAX of this " + std::string(SectionHeader(control.kind)) + " gives values " +
           std::to_string(lowest) + " .. " + std::to_string(highest) + ", of which only those in " +
           Range() + " can be sent";
}

} // namespace tonedesk
