// How a page shows, operates and reads each kind of control.
//
// The forms are Designer forms; the model's control kinds map onto Qt widgets so:
//   [BUTTON], [STATUSBUTTON]  QPushButton (any QAbstractButton)
//   [RADIO]                   QRadioButton
//   [CHECK]                   QCheckBox
//   [COMBOBOX]                QComboBox
//   [SLIDER BAR]              QSlider (any QAbstractSlider)
//   [EDIT]                    QLineEdit
//   [SPINBUTTON]              QSpinBox, or any QAbstractSlider (a small scroll bar, say); its
//                             position is -(INCREMENT x value) within MIN..MAX
//   [STATUS]                  QLabel
//
// Buttons that keep their mark when clicked. A radio button that is not auto-exclusive is a
// non-automatic radio button: a click does not check it, and it sends only while it is shown
// checked. A check box is plain unless it has the dynamic property "toggles" set to true: a click
// does not toggle a plain check box, its mark follows the projector only, and the click sends
// the position of the mark it had before the click. Qt has toggled such a button by the time it
// reports the click, so the page undoes the toggle there (with signals blocked) and reads the
// state from before. A tristate check box, like a non-automatic radio button, sends only while
// checked. Auto-exclusive radio buttons and check boxes with "toggles" are checked by the click
// itself and pass.
//
// Scrolling. A drag of a slider's handle is one scroll: every move queues the read-back queries,
// the release sends the value. A step by key, wheel or a click beside the handle is a scroll of
// its own that ends at once; so is every value a spin box takes.
#include "model/ModelFile.h"
#include "ui/panel/ControlPanelHost.h"
#include "ui/widgets/NumberEdit.h"
#include "ui/widgets/RepeatButton.h"
#include "ui/panel/TabPage.h"
#include "ui/widgets/ResourceBundle.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace tonedesk {

namespace {

constexpr std::string_view kPower = "POWR";
constexpr int kFirstControlId = 1000;
constexpr int kLastControlId = 19999;
constexpr int kMaxEditText = 255;

// A button whose click leaves its mark as it was (see above).
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

// An INCREMENT of 0 would divide by zero: it counts as 1.
std::int32_t Increment(const ModelControl& control) {
    return control.increment != 0 ? control.increment : 1;
}

int ClampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

// The position of a slider or spin control (a spin box's value).
int Position(const QWidget* item) {
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(item)) {
        return slider->sliderPosition();
    }
    if (const auto* spin = qobject_cast<const QSpinBox*>(item)) {
        return spin->value();
    }
    return 0;
}

void SetPosition(QWidget* item, int position) {
    const QSignalBlocker block(item);
    if (auto* slider = qobject_cast<QAbstractSlider*>(item)) {
        slider->setValue(position);
    } else if (auto* spin = qobject_cast<QSpinBox*>(item)) {
        spin->setValue(position);
    }
}

void SetRange(QWidget* item, int low, int high) {
    if (low > high) {
        std::swap(low, high);
    }
    const QSignalBlocker block(item);
    if (auto* slider = qobject_cast<QAbstractSlider*>(item)) {
        slider->setRange(low, high);
    } else if (auto* spin = qobject_cast<QSpinBox*>(item)) {
        spin->setRange(low, high);
    }
}

// The edit's text read as a decimal number, as atoi does.
std::int32_t EditNumber(const QWidget* item) {
    const auto* edit = qobject_cast<const QLineEdit*>(item);
    if (!edit) {
        return 0;
    }
    const std::string text = edit->text().left(kMaxEditText).toLatin1().toStdString();
    return static_cast<std::int32_t>(std::atoi(text.c_str()));
}

} // namespace

QWidget* CTabPage::Item(int id) const {
    return form_ ? tonedesk::FindControl(form_, id) : nullptr;
}

const ModelControl* CTabPage::FindControl(int id) const {
    const CModelFile& model = link_.Model();
    const KeyValueEntry* entry = model.idIndex.Find(static_cast<std::uint32_t>(id));
    if (!entry || entry->value <= 0) {
        return nullptr;
    }
    const ModelTab& tab = Tab();
    const auto position = static_cast<std::size_t>(entry->value - 1);
    // The index holds positions within each control's own tab: an id of another tab names
    // nothing here.
    if (position >= tab.controls.size() || tab.controls[position].id != id) {
        return nullptr;
    }
    return &tab.controls[position];
}

std::vector<std::int32_t> CTabPage::CodeValues(const ModelControl& control) const {
    std::vector<std::int32_t> values;
    const StatusTable& status = link_.Status();
    for (const CommandList& list : control.commandLists) {
        for (const CommandItem& item : list) {
            const KeyValueEntry* entry = status.Find(item.Key());
            values.push_back(entry ? entry->value : kNoValue);
        }
    }
    return values;
}

void CTabPage::UpdateControl(const ModelControl& control, bool first) {
    std::int32_t value = control.defaultValue;
    int position = -1;
    StatusTable& status = link_.Status();
    if (!control.commandLists.empty()) {
        const std::size_t m = control.commandLists.front().size();
        std::vector<bool> mismatch(m, false);
        for (const CommandList& list : control.commandLists) {
            for (std::size_t p = 0; p < list.size(); ++p) {
                const std::int32_t c = status.FindOrAdd(list[p].Key()).value;
                if (c != kNoValue) {
                    value = c;
                }
                if (p < m && c != list[p].value) {
                    mismatch[p] = true;
                }
            }
        }
        const auto match = std::find(mismatch.begin(), mismatch.end(), false);
        position = match != mismatch.end() ? static_cast<int>(match - mismatch.begin()) : -1;
    }
    const auto& controls = Tab().controls;
    const auto index = static_cast<std::size_t>(&control - controls.data());
    if (index < shownValues_.size()) {
        shownValues_[index] = CodeValues(control);
    }

    QWidget* item = Item(control.id);
    if (!item) {
        return;
    }
    const std::int32_t increment = Increment(control);
    switch (control.kind) {
    case ModelSection::Button:
        if (first && control.elapse != 0) {
            if (auto* button = qobject_cast<QAbstractButton*>(item)) {
                auto* repeat = new CRepeatButton(control.elapse, &host_.PanelClock());
                repeat->Attach(button);
                subclassedWindows_.emplace_back(repeat);
            }
        }
        SetChecked(item, position == 0);
        break;
    case ModelSection::Check:
        SetChecked(item, position == 0);
        break;
    case ModelSection::Radio:
        SetChecked(item, position >= 0);
        break;
    case ModelSection::ComboBox:
        if (auto* combo = qobject_cast<QComboBox*>(item)) {
            const QSignalBlocker block(combo);
            combo->setCurrentIndex(position >= 0 ? position : 0);
        }
        break;
    case ModelSection::SliderBar:
        if (first) {
            SetRange(item, control.min, control.max);
            if (auto* slider = qobject_cast<QSlider*>(item)) {
                slider->setTickInterval(control.freq);
            }
        }
        SetPosition(item, ClampToInt(static_cast<long long>(increment) * value));
        break;
    case ModelSection::Edit:
        if (auto* edit = qobject_cast<QLineEdit*>(item)) {
            if (first) {
                auto* number = new CNumberEdit;
                number->Attach(edit);
                subclassedWindows_.emplace_back(number);
            }
            edit->setText(QString::number(value));
        }
        break;
    case ModelSection::SpinButton:
        if (first) {
            SetRange(item, static_cast<std::int16_t>(control.min),
                     static_cast<std::int16_t>(control.max));
            if (auto* spin = qobject_cast<QSpinBox*>(item)) {
                spin->setKeyboardTracking(false); // a typed number counts once it is complete
            }
        }
        SetPosition(item, static_cast<std::int16_t>(-(static_cast<long long>(increment) * value)));
        break;
    default: // [STATUS], [STATUSBUTTON]: the page does not change them
        break;
    }
}

void CTabPage::SendCommands(int id, int kind, bool withSet) {
    const ModelControl* control = FindControl(id);
    if (!control) {
        return;
    }
    std::int32_t value = kNoValue;
    std::size_t position = 0;
    QWidget* item = Item(id);
    if (!item || control->commandLists.empty()) {
        return;
    }
    const std::int32_t increment = Increment(*control);
    if (kind != static_cast<int>(AnswerKind::Value)) {
        switch (control->kind) {
        case ModelSection::Button:
        case ModelSection::Radio:
            if (SendsOnlyChecked(item) && !IsChecked(item)) {
                return;
            }
            break;
        case ModelSection::Check:
            position = IsChecked(item) ? 1 : 0;
            break;
        case ModelSection::ComboBox: {
            const auto* combo = qobject_cast<const QComboBox*>(item);
            if (!combo || combo->currentIndex() < 0) {
                return;
            }
            position = static_cast<std::size_t>(combo->currentIndex());
            break;
        }
        case ModelSection::SliderBar:
            // In 64 bits: the lowest position divided by -1 does not fit.
            value = ClampToInt(static_cast<long long>(Position(item)) / increment);
            break;
        case ModelSection::Edit:
            value = std::max(EditNumber(item), control->min);
            value = std::min(value, control->max);
            break;
        case ModelSection::SpinButton:
            value = -(static_cast<std::int16_t>(Position(item)) / increment);
            break;
        default:
            break;
        }
    }
    for (const CommandList& list : control->commandLists) {
        if (list.size() <= position) {
            continue;
        }
        const CommandItem& command = list[position];
        const std::int32_t v = value != kNoValue ? value : command.value;
        if (kind == static_cast<int>(AnswerKind::Value)) {
            ShowBusy(1);
            Queue(command.Code(), kNoValue, AnswerKind::Value);
            continue;
        }
        if (kind != static_cast<int>(AnswerKind::Plain) &&
            kind != static_cast<int>(AnswerKind::Text)) {
            continue;
        }
        if (withSet) {
            ShowBusy(0);
            // An item without a value has nothing to set: sending its "????" as a set would be
            // a query whose answer nobody takes.
            if (v != kNoValue) {
                Queue(command.Code(), v, static_cast<AnswerKind>(kind));
            }
        }
        if (kind == static_cast<int>(AnswerKind::Plain)) {
            Queue(command.Code(), kNoValue, AnswerKind::Value);
        }
        if (command.Code() == kPower) {
            link_.Status().FindOrAdd(CodeKey(kPower)).value = 0;
            RefreshForCode(kPower);
        }
        if (!control->reloadCodes.empty()) {
            ShowBusy(0);
            for (const CommandItem& reload : control->reloadCodes) {
                Queue(reload.Code(), kNoValue, AnswerKind::Value);
            }
        }
    }
}

const ModelControl* CTabPage::SendControl(int id, int kind, bool withSet) {
    if (id == -1) {
        return nullptr;
    }
    const ModelControl* control = FindControl(id);
    if (!control) {
        return nullptr;
    }
    // Switching the projector off waits for the menu state: the timer asks and sends.
    if (!control->commandLists.empty() && !control->commandLists.front().empty()) {
        const CommandItem& head = control->commandLists.front()[0];
        if (head.Code() == kPower && head.value == 0) {
            Queue("MOUT", kNoValue, AnswerKind::Value);
            powerOffPending = 1;
            return control;
        }
    }
    const int targetKind = kind >= 0 ? kind : control->mode;
    if (control->relatedIds.empty()) {
        SendCommands(id, targetKind, withSet);
    } else {
        // Related ids name controls of this tab; SendCommands passes over any other.
        for (std::int32_t target : control->relatedIds) {
            SendCommands(target, targetKind, withSet);
        }
    }
    return control;
}

std::vector<std::int32_t> CTabPage::DisableValues() const {
    std::vector<std::int32_t> values;
    const StatusTable& status = link_.Status();
    for (const ModelControl& control : Tab().controls) {
        for (const CommandItem& item : control.disableList) {
            const KeyValueEntry* entry = status.Find(item.Key());
            values.push_back(entry ? entry->value : 0);
        }
    }
    return values;
}

void CTabPage::ApplyDisableRules() {
    StatusTable& status = link_.Status();
    for (const ModelControl& control : Tab().controls) {
        bool disabled = false;
        for (const CommandItem& item : control.disableList) {
            if (status.FindOrAdd(item.Key()).value == item.value) {
                disabled = true;
            }
        }
        if (QWidget* item = Item(control.id)) {
            item->setEnabled(!disabled);
        }
    }
    disableValues_ = DisableValues();
}

void CTabPage::RefreshForCode(std::string_view code) {
    const std::uint32_t key = CodeKey(code);
    for (const ModelControl& control : Tab().controls) {
        const bool uses = std::any_of(
            control.commandLists.begin(), control.commandLists.end(), [key](const CommandList& l) {
                return std::any_of(l.begin(), l.end(),
                                   [key](const CommandItem& i) { return i.Key() == key; });
            });
        if (uses) {
            UpdateControl(control, false);
        }
    }
    if (link_.Model().disableCodes.Find(key)) {
        ApplyDisableRules();
    }
    if (code == kPower) {
        refreshStamp = 0;
        if (QWidget* gamma = Item(kPanelGammaCommand)) {
            gamma->setEnabled(link_.Status().FindOrAdd(CodeKey(kPower)).value == 1);
        }
    }
}

void CTabPage::ShowChangedValues() {
    // Values the projector answered show at once, not only at the next power refresh; never in
    // the control being typed in or while a slider is dragged.
    if (host_.PanelInteractionBits() & 1) {
        return;
    }
    const auto& controls = Tab().controls;
    for (std::size_t i = 0; i < controls.size() && i < shownValues_.size(); ++i) {
        if (controls[i].id != editingControlId && CodeValues(controls[i]) != shownValues_[i]) {
            UpdateControl(controls[i], false);
        }
    }
    if (!disableValues_.empty() && DisableValues() != disableValues_) {
        ApplyDisableRules();
    }
}

void CTabPage::OnControlClicked(int id) {
    const ModelControl* control = SendControl(id, -1, true);
    if (control && control->kind == ModelSection::StatusButton) {
        if (PortEntry* port = link_.CurrentPort()) {
            port->textAnswer.clear();
        }
        host_.RunReceivedTextDialog();
    }
}

void CTabPage::OnEditChanged(int id) {
    QWidget* item = Item(id);
    if (item && item->hasFocus()) {
        editingControlId = id; // polling waits until the edit is left
    }
}

void CTabPage::OnEditLostFocus(int id) {
    editingControlId = -1;
    const ModelControl* control = FindControl(id);
    QWidget* item = Item(id);
    if (!control || !item || control->commandLists.empty() ||
        control->commandLists.front().empty()) {
        return;
    }
    const std::int32_t typed = EditNumber(item);
    const KeyValueEntry* entry = link_.Status().Find(control->commandLists.front()[0].Key());
    const std::int32_t known = entry ? entry->value : kNoValue;
    if (known != kNoValue && typed != known) {
        OnControlClicked(id);
    }
}

void CTabPage::OnScroll(int id, bool end) {
    std::int32_t& bits = host_.PanelInteractionBits();
    bits |= 1;
    dragging_ = true;
    SendCommands(id, static_cast<int>(AnswerKind::Plain), end);
    if (end) {
        bits &= ~1;
        dragging_ = false;
    }
}

void CTabPage::ConnectButton(QAbstractButton* button, int id) {
    connect(button, &QAbstractButton::clicked, this, [this, button, id](bool checked) {
        if (KeepsMarkOnClick(button)) {
            SetChecked(button, !checked);
        }
        OnControlClicked(id);
    });
}

void CTabPage::ConnectSlider(QAbstractSlider* slider, int id) {
    connect(slider, &QAbstractSlider::sliderPressed, this, [this] {
        host_.PanelInteractionBits() |= 1;
        dragging_ = true;
    });
    connect(slider, &QAbstractSlider::actionTriggered, this, [this, slider, id] {
        OnScroll(id, false);
        if (!slider->isSliderDown()) {
            OnScroll(id, true);
        }
    });
    connect(slider, &QAbstractSlider::sliderReleased, this, [this, id] { OnScroll(id, true); });
}

void CTabPage::ConnectControls() {
    for (QWidget* widget : form_->findChildren<QWidget*>()) {
        const int id = ControlId(widget);
        if (id >= kPanelFrameCommandFirst && id <= kPanelFrameCommandLast) {
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                connect(button, &QAbstractButton::clicked, this,
                        [this, id] { host_.RunPanelCommand(id); });
            }
            continue;
        }
        if (id < kFirstControlId || id > kLastControlId) {
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            ConnectButton(button, id);
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            connect(combo, &QComboBox::activated, this, [this, id] { OnControlClicked(id); });
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            connect(edit, &QLineEdit::textEdited, this, [this, id] { OnEditChanged(id); });
            edit->installEventFilter(this);
        } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) {
            ConnectSlider(slider, id);
        } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
            connect(spin, &QSpinBox::valueChanged, this, [this, id] {
                OnScroll(id, false);
                OnScroll(id, true);
            });
        }
    }
}

bool CTabPage::eventFilter(QObject* watched, QEvent* event) {
    if (!retired_ && event->type() == QEvent::FocusOut && qobject_cast<QLineEdit*>(watched)) {
        OnEditLostFocus(ControlId(watched));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tonedesk
