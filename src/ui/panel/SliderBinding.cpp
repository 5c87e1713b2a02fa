#include "ui/panel/SliderBinding.h"

#include "model/ModelFile.h"

#include <QAbstractSlider>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>
#include <limits>

namespace tonedesk {

namespace {

int ClampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

} // namespace

QObject* SliderBinding::Prepare(const ModelControl& control) {
    SetRange(control.min, control.max);
    if (auto* slider = qobject_cast<QSlider*>(Item())) {
        slider->setTickInterval(control.freq);
    }
    return nullptr;
}

void SliderBinding::Show(const ModelControl& control, int /*position*/, std::int32_t value) {
    SetPosition(ClampToInt(static_cast<long long>(Increment(control)) * value));
}

std::optional<ControlChoice> SliderBinding::Read(const ModelControl& control) const {
    // In 64 bits: the lowest position divided by -1 does not fit.
    return ControlChoice{0, ClampToInt(static_cast<long long>(Position()) / Increment(control))};
}

int SliderBinding::Position() const {
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(Item())) {
        return slider->sliderPosition();
    }
    if (const auto* spin = qobject_cast<const QSpinBox*>(Item())) {
        return spin->value();
    }
    return 0;
}

void SliderBinding::SetPosition(int position) {
    QWidget* item = Item();
    const QSignalBlocker block(item);
    if (auto* slider = qobject_cast<QAbstractSlider*>(item)) {
        slider->setValue(position);
    } else if (auto* spin = qobject_cast<QSpinBox*>(item)) {
        spin->setValue(position);
    }
}

void SliderBinding::SetRange(int low, int high) {
    if (low > high) {
        std::swap(low, high);
    }
    QWidget* item = Item();
    const QSignalBlocker block(item);
    if (auto* slider = qobject_cast<QAbstractSlider*>(item)) {
        slider->setRange(low, high);
    } else if (auto* spin = qobject_cast<QSpinBox*>(item)) {
        spin->setRange(low, high);
    }
}

} // namespace tonedesk
