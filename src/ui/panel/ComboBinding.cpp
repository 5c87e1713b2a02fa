#include "ui/panel/ComboBinding.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace tonedesk {

void ComboBinding::Show(const ModelControl& /*control*/, int position, std::int32_t /*value*/) {
    if (auto* combo = qobject_cast<QComboBox*>(Item())) {
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(position >= 0 ? position : 0);
    }
}

std::optional<ControlChoice> ComboBinding::Read(const ModelControl& /*control*/) const {
    const auto* combo = qobject_cast<const QComboBox*>(Item());
    if (!combo || combo->currentIndex() < 0) {
        return std::nullopt;
    }
    return ControlChoice{static_cast<std::size_t>(combo->currentIndex())};
}

} // namespace tonedesk
