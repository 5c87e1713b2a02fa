#pragma once

#include "model/ModelFile.h"
#include "model/ModelSyntax.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// The checks of the numbers a model file gives against what the program can send: a command
// carries its value in four columns ("%4d"), so only -999 .. 9999 can be sent, and the program
// drops a command with any other value without a word.

inline constexpr std::int32_t kLowestSentValue = -999;
inline constexpr std::int32_t kHighestSentValue = 9999;

inline bool IsSendableValue(std::int32_t value) {
    return value >= kLowestSentValue && value <= kHighestSentValue;
}

// Whether the lists of `key` in `section` are sent with their values: a control's COMMAND ..
// COMMAND5, a tab's COMMAND and COMMAND2 (the [SAVE] and DISABLE lists are only compared).
bool SendsListValues(std::int32_t key, ModelSection section);

// What is wrong with a list value: a code that is not four characters, numbers that read as
// something else than they look, and (when `sent`) values that cannot be sent.
std::vector<std::string> ListValueProblems(std::string_view keyName, const ListEnd& end, bool sent);

// A number written in hexadecimal or binary beyond 31 bits reads as a negative number: the
// problem, or empty.
std::string WrappedNumberProblem(std::string_view keyName, std::string_view written,
                                 std::int32_t value);

// A slider, spin control or edit field whose MIN .. MAX range gives values that cannot be sent:
// the problem, or empty.
std::string ControlRangeProblem(const ModelControl& control);

} // namespace tonedesk
