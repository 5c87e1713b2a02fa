#include "ui/panel/ControlBinding.h"

#include "model/ModelFile.h"
#include "ui/panel/ButtonBinding.h"
#include "ui/panel/ComboBinding.h"
#include "ui/panel/EditBinding.h"
#include "ui/panel/SliderBinding.h"
#include "ui/panel/SpinBinding.h"

namespace tonedesk {

QObject* ControlBinding::Prepare(const ModelControl& /*control*/) {
    return nullptr;
}

void ControlBinding::Show(const ModelControl& /*control*/, int /*position*/,
                          std::int32_t /*value*/) {}

std::optional<ControlChoice> ControlBinding::Read(const ModelControl& /*control*/) const {
    return ControlChoice{};
}

std::int32_t ControlBinding::Increment(const ModelControl& control) {
    return control.increment != 0 ? control.increment : 1;
}

std::unique_ptr<ControlBinding> MakeBinding(const ModelControl& control, QWidget* item,
                                            const Clock& clock) {
    switch (control.kind) {
    case ModelSection::Button:
    case ModelSection::Radio:
    case ModelSection::Check:
        return std::make_unique<ButtonBinding>(item, control.kind, clock);
    case ModelSection::ComboBox:
        return std::make_unique<ComboBinding>(item);
    case ModelSection::SliderBar:
        return std::make_unique<SliderBinding>(item);
    case ModelSection::Edit:
        return std::make_unique<EditBinding>(item);
    case ModelSection::SpinButton:
        return std::make_unique<SpinBinding>(item);
    default: // [STATUS], [STATUSBUTTON]: the page does not change them
        return std::make_unique<ControlBinding>(item);
    }
}

} // namespace tonedesk
