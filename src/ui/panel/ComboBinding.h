#pragma once

#include "ui/panel/ControlBinding.h"

namespace tonedesk {

// A combo box ([COMBOBOX]): shows the entry at the matching position (entry 0 when none
// matches) and sends the position of the selected entry; with no selection it sends nothing.
class ComboBinding : public ControlBinding {
public:
    using ControlBinding::ControlBinding;

    void Show(const ModelControl& control, int position, std::int32_t value) override;
    std::optional<ControlChoice> Read(const ModelControl& control) const override;
};

} // namespace tonedesk
