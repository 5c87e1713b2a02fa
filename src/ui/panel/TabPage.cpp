#include "ui/panel/TabPage.h"

#include "model/ModelFile.h"
#include "ui/widgets/BitmapStatic.h"
#include "ui/panel/ControlPanelHost.h"
#include "support/Notifier.h"
#include "ui/widgets/MessageNotifier.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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
        host_.PanelInteractionBits() &= ~1;
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
    if (restorePending == 0) {
        return;
    }
    for (const CommandItem& item : Tab().leaveCommands) {
        if (item.value != kNoValue) {
            link_.SendValue(std::string(item.Code()).c_str(), item.value, 1);
        }
    }
    restorePending = 0;
}

void CTabPage::Retire() {
    timer_.stop();
    hide(); // an edit that had the focus is committed now
    retired_ = true;
}

void CTabPage::Queue(std::string_view code, std::int32_t value, AnswerKind kind) {
    const std::string command = ValueCommand(code, value);
    if (!command.empty()) {
        link_.QueueCommand(command.data(), static_cast<std::int32_t>(command.size()), kind, 0);
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
    if (powerOffPending != 0) {
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
    powerOffPending = 0;
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
    switch (pollStep) {
    case 0:
        Queue(kPower, kNoValue, AnswerKind::Value);
        pollStep = 1;
        break;
    case 1:
        RefreshForCode(kPower);
        if (status.FindOrAdd(CodeKey(kPower)).value == 1) {
            for (const CommandItem& item : tab.leaveCommands) {
                if (item.value == kNoValue) {
                    Queue(item.Code(), kNoValue, AnswerKind::Value);
                }
            }
            pollStep = 2;
        } else {
            pollStep = 0;
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
        restorePending = 1;
        SendControl(tab.modeControlId, static_cast<int>(AnswerKind::Value), true);
        pollStep = 0;
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

} // namespace tonedesk
