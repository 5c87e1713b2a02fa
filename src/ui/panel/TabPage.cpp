// A page of the control panel. The bindings (ControlBinding and one class per kind) show and read
// the controls' widgets; the page matches the status table, queues the commands and polls.
//
// Scrolling. A drag of a slider's handle is one scroll: every move queues the read-back queries,
// the release sends the value. A step by key, wheel or a click beside the handle is a scroll of
// its own that ends at once; so is every value a spin box takes.
#include "ui/panel/TabPage.h"

#include "model/ModelFile.h"
#include "support/Notifier.h"
#include "ui/panel/ButtonBinding.h"
#include "ui/panel/ControlBinding.h"
#include "ui/panel/ControlPanelHost.h"
#include "ui/panel/EditBinding.h"
#include "ui/widgets/BitmapStatic.h"
#include "ui/widgets/MessageNotifier.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace tonedesk {

namespace {

// One page timer handler runs at a time, whichever page it belongs to: a question asked from it
// runs an event loop that delivers further ticks.
int g_pageTimerDepth = 0;

class TimerDepth {
public:
    TimerDepth() { ++g_pageTimerDepth; }
    ~TimerDepth() { --g_pageTimerDepth; }
    TimerDepth(const TimerDepth&) = delete;
    TimerDepth& operator=(const TimerDepth&) = delete;
};

// Makes a bundle current for a while.
class CurrentBundleScope {
public:
    explicit CurrentBundleScope(const ResourceBundle* bundle) : previous_(CurrentBundle()) {
        if (bundle) {
            SetCurrentBundle(bundle);
        }
    }
    ~CurrentBundleScope() { SetCurrentBundle(previous_); }
    CurrentBundleScope(const CurrentBundleScope&) = delete;
    CurrentBundleScope& operator=(const CurrentBundleScope&) = delete;

private:
    const ResourceBundle* previous_;
};

constexpr std::string_view kPower = "POWR";
constexpr std::string_view kMenuShown = "MOUT";
constexpr int kFirstControlId = 1000;
constexpr int kLastControlId = 19999;

} // namespace

CTabPage::CTabPage(ControlPanelHost& host, int index, const ResourceBundle* bundle, int templateId,
                   QWidget* parent)
    : QWidget(parent), tabIndex(index), host_(host), link_(host.PanelLink()), bundle_(bundle),
      templateId_(templateId) {
    timer_.setInterval(kPagePollMs);
    connect(&timer_, &QTimer::timeout, this, &CTabPage::OnTimer);
}

CTabPage::~CTabPage() {
    timer_.stop();
    if (form_) {
        RestoreTab();
    }
    if (dragging_) {
        host_.SetPanelDragging(false);
    }
    // The form's controls go before the page: focus moving while they are torn down must not
    // reach the handlers.
    retired_ = true;
    for (QPointer<QObject>& attached : subclassedWindows_) {
        delete attached.data();
    }
    delete form_;
}

const ModelTab& CTabPage::Tab() const {
    return link_.Model().tabs.at(static_cast<std::size_t>(tabIndex));
}

bool CTabPage::OnInitDialog() {
    if (form_ || retired_) {
        return form_ != nullptr;
    }
    // The tab's bundle is current while the page is built: the bitmap statics draw from it. A
    // tab whose bundle did not load takes its form from the current bundle.
    const CurrentBundleScope scope(bundle_);
    form_ = bundle_ ? bundle_->LoadForm(templateId_, this) : nullptr;
    if (!form_) {
        form_ = LoadForm(templateId_, this);
    }
    if (!form_) {
        return false;
    }
    // The forms place their controls themselves; the page is as large as its form.
    form_->setMinimumSize(form_->size());
    setMinimumSize(form_->size());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form_);

    // A bitmap static is a label with the dynamic property "bitmap" (the bitmap's number, or
    // anything else for the label's own id).
    for (QLabel* label : form_->findChildren<QLabel*>()) {
        if (label->property("bitmap").isValid()) {
            auto* bitmap = new CBitmapStatic;
            bitmap->Attach(label);
            subclassedWindows_.emplace_back(bitmap);
        }
    }
    // Return in an edit must not press a button of the page (such as switching the projector
    // off): no push button is a default button.
    for (QPushButton* button : form_->findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    const ModelTab& tab = Tab();
    shownValues_.assign(tab.controls.size(), {});
    // The only place that looks at the kind of a control: its binding knows the rest.
    bindings_.clear();
    for (const ModelControl& control : tab.controls) {
        QWidget* item = Item(control.id);
        bindings_.push_back(item ? MakeBinding(control, item, host_.PanelClock()) : nullptr);
    }
    for (const ModelControl& control : tab.controls) {
        UpdateControl(control, true);
    }
    ConnectControls();
    timer_.start();
    return true;
}

void CTabPage::OnSetActive() {
    for (const ModelControl& control : Tab().controls) {
        UpdateControl(control, false);
    }
    RefreshForCode(kPower);
}

void CTabPage::OnKillActive() {
    RestoreTab();
}

void CTabPage::RestoreTab() {
    if (!restorePending) {
        return;
    }
    for (const CommandItem& item : Tab().leaveCommands) {
        if (item.value != kNoValue) {
            link_.SendValue(std::string(item.Code()).c_str(), item.value, true);
        }
    }
    restorePending = false;
}

void CTabPage::Retire() {
    timer_.stop();
    hide(); // an edit that had the focus is committed now
    retired_ = true;
}

void CTabPage::Queue(std::string_view code, std::int32_t value, AnswerKind kind) {
    const std::string command = ValueCommand(code, value);
    if (!command.empty()) {
        link_.QueueCommand(command.data(), static_cast<std::int32_t>(command.size()), kind, false);
    }
}

void CTabPage::OnTimer() {
    if (g_pageTimerDepth > 0 || !form_ || retired_) {
        return;
    }
    const TimerDepth depth;
    if (link_.IsBusy()) {
        return; // nothing is done while a command is queued or awaits its answer
    }
    ShowBusy(-1);
    if (powerOffPending_) {
        ServicePowerOff();
    }
    ShowChangedValues();

    const CModelFile& model = link_.Model();
    const Tick now = host_.PanelClock().Now();
    const Tick elapse = static_cast<Tick>(model.autoReceiveElapse);
    if (refreshStamp != 0 &&
        (editingControlId >= 0 || model.autoReceiveElapse == 0 || host_.PanelInteractionBits())) {
        return;
    }
    if (now < refreshStamp + elapse || !isVisible()) {
        return;
    }
    Poll();
}

void CTabPage::ServicePowerOff() {
    powerOffPending_ = false;
    const std::int32_t menuShown = link_.Status().FindOrAdd(CodeKey(kMenuShown)).value;
    if (menuShown != 0 || host_.PanelPrompts().AskYesNo(LoadString(kStringPowerOffQuestion))) {
        Queue(kPower, 0, AnswerKind::Plain);
        if (menuShown == 0) {
            host_.PanelNotifier().Message(kStringPowerOffNotice);
        }
    }
    Queue(kPower, kNoValue, AnswerKind::Value);
}

void CTabPage::Poll() {
    const ModelTab& tab = Tab();
    StatusTable& status = link_.Status();
    switch (pollStep_) {
    case 0:
        Queue(kPower, kNoValue, AnswerKind::Value);
        pollStep_ = 1;
        break;
    case 1:
        RefreshForCode(kPower);
        if (status.FindOrAdd(CodeKey(kPower)).value == 1) {
            for (const CommandItem& item : tab.leaveCommands) {
                if (item.value == kNoValue) {
                    Queue(item.Code(), kNoValue, AnswerKind::Value);
                }
            }
            pollStep_ = 2;
        } else {
            pollStep_ = 0;
            refreshStamp = host_.PanelClock().Now();
        }
        break;
    default: {
        // The values the tab puts back when it is left are those the projector had on entry.
        CModelFile& model = link_.Model();
        for (CommandItem& item : model.tabs[static_cast<std::size_t>(tabIndex)].leaveCommands) {
            if (item.value == kNoValue) {
                item.value = status.FindOrAdd(item.Key()).value;
            }
        }
        for (const CommandItem& item : tab.enterCommands) {
            if (item.value != kNoValue) {
                Queue(item.Code(), item.value, AnswerKind::Plain);
            }
            Queue(item.Code(), kNoValue, AnswerKind::Value);
        }
        restorePending = true;
        SendControl(tab.modeControlId, AnswerKind::Value, true);
        pollStep_ = 0;
        refreshStamp = host_.PanelClock().Now();
        break;
    }
    }
}

QString CTabPage::BusyText(int id) const {
    if (bundle_ && bundle_->HasString(id)) {
        return bundle_->String(id);
    }
    return LoadString(id);
}

bool CTabPage::ShowBusy(int state) {
    ShowWindowCursor(*window(), state < 0 ? CursorShape::Arrow : CursorShape::AppStarting);
    const std::int32_t statusId = Tab().statusControlId;
    if (state == busyState || statusId < 0) {
        return false;
    }
    busyState = state;
    if (QWidget* item = Item(statusId)) {
        const QString text = state == 0   ? BusyText(kStringSending)
                             : state == 1 ? BusyText(kStringQuerying)
                                          : QString();
        item->setProperty("text", text);
    }
    return true;
}

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

ControlBinding* CTabPage::Binding(const ModelControl& control) const {
    const auto index = static_cast<std::size_t>(&control - Tab().controls.data());
    return index < bindings_.size() ? bindings_[index].get() : nullptr;
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

    ControlBinding* binding = Binding(control);
    if (!binding || !binding->Item()) {
        return;
    }
    if (first) {
        if (QObject* attached = binding->Prepare(control)) {
            subclassedWindows_.emplace_back(attached);
        }
    }
    binding->Show(control, position, value);
}

void CTabPage::SendCommands(int id, AnswerKind kind, bool withSet) {
    const ModelControl* control = FindControl(id);
    if (!control) {
        return;
    }
    ControlBinding* binding = Binding(*control);
    if (!binding || !binding->Item() || control->commandLists.empty()) {
        return;
    }
    ControlChoice choice;
    if (kind != AnswerKind::Value) {
        const std::optional<ControlChoice> read = binding->Read(*control);
        if (!read) {
            return;
        }
        choice = *read;
    }
    for (const CommandList& list : control->commandLists) {
        if (list.size() <= choice.position) {
            continue;
        }
        const CommandItem& command = list[choice.position];
        const std::int32_t v = choice.value != kNoValue ? choice.value : command.value;
        if (kind == AnswerKind::Value) {
            ShowBusy(1);
            Queue(command.Code(), kNoValue, AnswerKind::Value);
            continue;
        }
        if (kind != AnswerKind::Plain && kind != AnswerKind::Text) {
            continue;
        }
        if (withSet) {
            ShowBusy(0);
            // An item without a value has nothing to set: sending its "????" as a set would be
            // a query whose answer nobody takes.
            if (v != kNoValue) {
                Queue(command.Code(), v, kind);
            }
        }
        if (kind == AnswerKind::Plain) {
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

const ModelControl* CTabPage::SendControl(int id, std::optional<AnswerKind> kind, bool withSet) {
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
            powerOffPending_ = true;
            return control;
        }
    }
    // A MODE that names no kind of answer sends nothing.
    const AnswerKind targetKind = kind ? *kind : static_cast<AnswerKind>(control->mode);
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
        if (QWidget* gamma = Item(kCommandGammaDialog)) {
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
    const ModelControl* control = SendControl(id, std::nullopt, true);
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
    const std::int32_t typed = EditBinding::Number(item);
    const KeyValueEntry* entry = link_.Status().Find(control->commandLists.front()[0].Key());
    const std::int32_t known = entry ? entry->value : kNoValue;
    if (known != kNoValue && typed != known) {
        OnControlClicked(id);
    }
}

void CTabPage::OnScroll(int id, bool end) {
    host_.SetPanelDragging(true);
    dragging_ = true;
    SendCommands(id, AnswerKind::Plain, end);
    if (end) {
        host_.SetPanelDragging(false);
        dragging_ = false;
    }
}

void CTabPage::ConnectButton(QAbstractButton* button, int id) {
    connect(button, &QAbstractButton::clicked, this, [this, button, id](bool checked) {
        ButtonBinding::UndoClickToggle(button, checked);
        OnControlClicked(id);
    });
}

void CTabPage::ConnectSlider(QAbstractSlider* slider, int id) {
    connect(slider, &QAbstractSlider::sliderPressed, this, [this] {
        host_.SetPanelDragging(true);
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
        if (id >= kFrameCommandFirst && id <= kFrameCommandLast) {
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
