#pragma once

#include "ui/panel/ControlBinding.h"

namespace tonedesk {

// A slider ([SLIDER BAR]): any QAbstractSlider (a QSpinBox also serves), with the range MIN..MAX
// and the tick interval FREQ. Its position is INCREMENT x value; it sends position / INCREMENT,
// truncated toward zero.
class SliderBinding : public ControlBinding {
public:
    using ControlBinding::ControlBinding;

    QObject* Prepare(const ModelControl& control) override;
    void Show(const ModelControl& control, int position, std::int32_t value) override;
    std::optional<ControlChoice> Read(const ModelControl& control) const override;

protected:
    // The position of the slider or spin box (its value).
    int Position() const;
    void SetPosition(int position);
    void SetRange(int low, int high);
};

} // namespace tonedesk
