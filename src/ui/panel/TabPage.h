#pragma once

#include "link/ProjectorLink.h"
#include "support/Clock.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class QAbstractButton;
class QAbstractSlider;

namespace tonedesk {

class ControlBinding;
class ControlPanelHost;
class ResourceBundle;
struct ModelControl;
struct ModelTab;

// String ids of the busy texts, in the tab's bundle.
inline constexpr int kStringQuerying = 2048;
inline constexpr int kStringSending = 2049;
// Message ids of switching the projector off from a page.
inline constexpr int kStringPowerOffQuestion = 4099;
inline constexpr int kStringPowerOffNotice = 4100;
// The page's poll timer.
inline constexpr int kPagePollMs = 10;

// One page of the control panel: the form dialogs/<tab id>.ui of the tab's bundle, whose
// controls (the widgets named id<N>) the model file's control sections drive. While it is
// shown, its 10 ms timer polls the projector; the controls show the status table and send
// their commands through the link's queue.
//
// A page object is built without its form; OnInitDialog builds the form when the page is first
// shown.
class CTabPage : public QWidget {
    Q_OBJECT
public:
    // The page of tab `tabIndex` of the link's model, built from form `templateId` of `bundle`
    // (null: of the bundle that is current when the page is first shown).
    CTabPage(ControlPanelHost& host, int tabIndex, const ResourceBundle* bundle, int templateId,
             QWidget* parent = nullptr);
    ~CTabPage() override;

    // Builds the form, attaches the bitmap statics, shows every control (preparing it) and
    // starts the poll timer. False when no bundle has the form (the page stays empty).
    bool OnInitDialog();
    // The page becomes the visible one.
    void OnSetActive();
    // The page is left: the tab's values are put back.
    void OnKillActive();
    // Queues the values captured on entry (leaveCommands) with the pause flag, once.
    void RestoreTab();
    // Stops the page for good: no more ticks; the owner deletes it later.
    void Retire();

    // The timer's work: the power-off question, the display of changed values and the poll
    // cycle.
    void OnTimer();
    // Shows a busy state (-1 idle, 0 sending, 1 querying) in the cursor and the tab's status
    // control; true when the status text changed.
    bool ShowBusy(int state);

    // Shows the control's state from the status table; `first` also prepares the control.
    void UpdateControl(const ModelControl& control, bool first);
    // Reads the control's state and queues its commands as `kind` (Plain, Value or Text).
    void SendCommands(int id, AnswerKind kind, bool withSet);
    // Operates the control as the user does (no kind: the control's own mode); the control, or
    // null when the id is none of the tab's.
    const ModelControl* SendControl(int id, std::optional<AnswerKind> kind, bool withSet);
    // The status table's value of the code may have changed.
    void RefreshForCode(std::string_view code);

    // What the user does to control `id`.
    void OnControlClicked(int id);
    void OnEditChanged(int id);
    void OnEditLostFocus(int id);
    // A scroll step of a slider or spin control; `end` when the scroll has ended.
    void OnScroll(int id, bool end);

    bool IsBuilt() const { return form_ != nullptr; }
    QWidget* Form() const { return form_; }
    // The form's control `id`, or null.
    QWidget* Item(int id) const;
    const ModelTab& Tab() const;
    int TemplateId() const { return templateId_; }
    QTimer& Timer() { return timer_; }
    const std::vector<QPointer<QObject>>& SubclassedWindows() const { return subclassedWindows_; }

    bool restorePending = false;
    std::int32_t tabIndex = 0;
    std::int32_t busyState = -1;
    std::int32_t editingControlId = -1;
    Tick refreshStamp = 0; // end of the last poll cycle; 0: poll at the next tick

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The tab's control with this id, or null (also for an id of another tab).
    const ModelControl* FindControl(int id) const;
    // The binding of the tab's control, or null when the form has no widget for it.
    ControlBinding* Binding(const ModelControl& control) const;
    void ConnectControls();
    void ConnectButton(QAbstractButton* button, int id);
    void ConnectSlider(QAbstractSlider* slider, int id);
    // Queues code + "%4d\r" (or "????\r" for kNoValue) on the current port.
    void Queue(std::string_view code, std::int32_t value, AnswerKind kind);
    // Disables the controls whose DISABLE rules hold, enables the others.
    void ApplyDisableRules();
    // Shows again the controls whose codes' values changed since they were last shown.
    void ShowChangedValues();
    // The status values the control's codes hold now, list by list.
    std::vector<std::int32_t> CodeValues(const ModelControl& control) const;
    std::vector<std::int32_t> DisableValues() const;
    void ServicePowerOff();
    void Poll();
    QString BusyText(int id) const;

    ControlPanelHost& host_;
    CProjectorLink& link_;
    const ResourceBundle* bundle_;
    int templateId_;
    QWidget* form_ = nullptr;
    QTimer timer_;
    std::vector<QPointer<QObject>> subclassedWindows_;
    // One binding per control of the tab, by position; null where the form has no widget.
    std::vector<std::unique_ptr<ControlBinding>> bindings_;
    // The values each control (by its position in the tab) showed when it was last shown, and
    // those the DISABLE rules were last applied to.
    std::vector<std::vector<std::int32_t>> shownValues_;
    std::vector<std::int32_t> disableValues_;
    bool powerOffPending_ = false; // a power-off waits for the menu state (ServicePowerOff)
    std::int32_t pollStep_ = 0;    // the step of the poll cycle Poll takes next
    bool dragging_ = false;        // this page set interaction bit 0
    bool retired_ = false;
};

} // namespace tonedesk
