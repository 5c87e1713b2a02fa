#include "ui/panel/ButtonBinding.h"

#include "model/ModelFile.h"
#include "ui/widgets/RepeatButton.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QSignalBlocker>

namespace tonedesk {

namespace {

// A button whose click leaves its mark as it was.
bool KeepsMarkOnClick(const QAbstractButton* button) {
    if (const auto* radio = qobject_cast<const QRadioButton*>(button)) {
        return !radio->autoExclusive();
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(button)) {
        return !check->property("toggles").toBool();
    }
    return false;
}

// A button that sends only while it is checked.
bool SendsOnlyChecked(const QWidget* item) {
    if (const auto* radio = qobject_cast<const QRadioButton*>(item)) {
        return !radio->autoExclusive();
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(item)) {
        return check->isTristate();
    }
    return false;
}

void SetChecked(QWidget* item, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(item);
    if (!button || !button->isCheckable()) {
        return;
    }
    const QSignalBlocker block(button);
    // An auto-exclusive radio button cannot be unchecked while it is exclusive.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(checked);
    button->setAutoExclusive(exclusive);
}

bool IsChecked(const QWidget* item) {
    const auto* button = qobject_cast<const QAbstractButton*>(item);
    return button && button->isChecked();
}

} // namespace

ButtonBinding::ButtonBinding(QWidget* item, ModelSection kind, const Clock& clock)
    : ControlBinding(item), kind_(kind), clock_(clock) {}

QObject* ButtonBinding::Prepare(const ModelControl& control) {
    if (kind_ != ModelSection::Button || control.elapse == 0) {
        return nullptr;
    }
    auto* button = qobject_cast<QAbstractButton*>(Item());
    if (!button) {
        return nullptr;
    }
    auto* repeat = new CRepeatButton(control.elapse, &clock_);
    repeat->Attach(button);
    return repeat;
}

void ButtonBinding::Show(const ModelControl& /*control*/, int position, std::int32_t /*value*/) {
    SetChecked(Item(), kind_ == ModelSection::Radio ? position >= 0 : position == 0);
}

std::optional<ControlChoice> ButtonBinding::Read(const ModelControl& /*control*/) const {
    if (kind_ == ModelSection::Check) {
        return ControlChoice{IsChecked(Item()) ? 1u : 0u};
    }
    if (SendsOnlyChecked(Item()) && !IsChecked(Item())) {
        return std::nullopt;
    }
    return ControlChoice{};
}

void ButtonBinding::UndoClickToggle(QAbstractButton* button, bool checked) {
    if (KeepsMarkOnClick(button)) {
        SetChecked(button, !checked);
    }
}

} // namespace tonedesk
