#pragma once

#include "model/StatusTable.h"
#include "support/Clock.h"

#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace tonedesk {

struct ModelControl;

// What a control's widget says the user chose: the position of its command lists to send, and
// the value to send with each item (kNoValue: the item's own value).
struct ControlChoice {
    std::size_t position = 0;
    std::int32_t value = kNoValue;
};

// What a page does with the widget of one control of its tab: show the projector's state in it
// and read what the user chose. One class per kind of control; MakeBinding picks it. The Qt
// widget classes a tab's form may use for each kind are those of WidgetClassesFor
// (model/ModelLint.h), which the model checker holds forms to.
//
// This class itself serves the controls the page never changes and reads nothing from: the
// status text ([STATUS]) and the button that shows an answer text ([STATUSBUTTON]).
class ControlBinding {
public:
    explicit ControlBinding(QWidget* item) : item_(item) {}
    virtual ~ControlBinding() = default;
    ControlBinding(const ControlBinding&) = delete;
    ControlBinding& operator=(const ControlBinding&) = delete;

    // Prepares the widget once, when the page is built (ranges, attached helpers). Returns a
    // helper the page keeps until it goes, or null.
    virtual QObject* Prepare(const ModelControl& control);
    // Shows the control's state: `position` is the first command position whose items all agree
    // with the status table (-1: none), `value` the last value the status table holds for any
    // of its codes (the control's default when none).
    virtual void Show(const ModelControl& control, int position, std::int32_t value);
    // What the user chose; none when the widget sends nothing now.
    virtual std::optional<ControlChoice> Read(const ModelControl& control) const;

    QWidget* Item() const { return item_; }

protected:
    // An INCREMENT of 0 would divide by zero: it counts as 1.
    static std::int32_t Increment(const ModelControl& control);

private:
    QPointer<QWidget> item_;
};

// The binding of the control's kind for its widget `item` (never null).
std::unique_ptr<ControlBinding> MakeBinding(const ModelControl& control, QWidget* item,
                                            const Clock& clock);

} // namespace tonedesk
