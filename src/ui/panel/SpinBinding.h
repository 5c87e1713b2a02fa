#pragma once

#include "ui/panel/SliderBinding.h"

namespace tonedesk {

// A spin control ([SPINBUTTON]): a QSpinBox, or any QAbstractSlider (a small scroll bar, say).
// Its position is -(INCREMENT x value) in 16 bits within MIN..MAX; it sends -(position /
// INCREMENT), truncated toward zero.
class SpinBinding : public SliderBinding {
public:
    using SliderBinding::SliderBinding;

    QObject* Prepare(const ModelControl& control) override;
    void Show(const ModelControl& control, int position, std::int32_t value) override;
    std::optional<ControlChoice> Read(const ModelControl& control) const override;
};

} // namespace tonedesk
