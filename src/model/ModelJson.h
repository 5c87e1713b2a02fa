#pragma once

#include <string>
#include <string_view>

namespace tonedesk {

class CModelFile;

// The parsed model as one JSON object: the polling interval, the tabs with their controls and
// the [SAVE] lists. A command list is an array of [code, value] pairs (kNoValue as null), a code
// list an array of codes, a control's kind its section header.
std::string ModelToJson(const CModelFile& model);

// `text` as a JSON string literal, quotes included. Bytes outside printable ASCII are written
// as \u00XX, so any model file gives valid JSON.
std::string JsonString(std::string_view text);

} // namespace tonedesk
