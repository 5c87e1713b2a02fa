#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

// One widget of a Designer form (a .ui file), with what the model checks need of it.
struct FormWidget {
    std::string className; // for example "QSlider"
    std::string name;      // the object name, for example "id1001"
    // The dynamic property "bitmap" as written (a number or any text), when the widget has one.
    std::optional<std::string> bitmap;
    int entries = 0; // <item> entries written in the form (the entries of a combo box)
};

// The widgets of a form in document order, found by a plain scan of its XML (no validation).
// Nothing when the text has no <ui> element.
std::optional<std::vector<FormWidget>> ScanFormWidgets(std::string_view ui);

// The control id a widget's object name stands for: "id1001" -> 1001; -1 for any other name.
int FormControlId(std::string_view objectName);

} // namespace tonedesk
