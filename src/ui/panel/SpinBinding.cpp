#include "ui/panel/SpinBinding.h"

#include "model/ModelFile.h"

#include <QSpinBox>

namespace tonedesk {

QObject* SpinBinding::Prepare(const ModelControl& control) {
    SetRange(static_cast<std::int16_t>(control.min), static_cast<std::int16_t>(control.max));
    if (auto* spin = qobject_cast<QSpinBox*>(Item())) {
        spin->setKeyboardTracking(false); // a typed number counts once it is complete
    }
    return nullptr;
}

void SpinBinding::Show(const ModelControl& control, int /*position*/, std::int32_t value) {
    SetPosition(static_cast<std::int16_t>(-(static_cast<long long>(Increment(control)) * value)));
}

std::optional<ControlChoice> SpinBinding::Read(const ModelControl& control) const {
    return ControlChoice{0, -(static_cast<std::int16_t>(Position()) / Increment(control))};
}

} // namespace tonedesk
