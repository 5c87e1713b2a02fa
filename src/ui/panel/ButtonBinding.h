#pragma once

#include "ui/panel/ControlBinding.h"

class QAbstractButton;

namespace tonedesk {

enum class ModelSection : std::int32_t;

// A push button ([BUTTON]), radio button ([RADIO]) or check box ([CHECK]).
//
// Shown: a button or check box is checked when position 0 matches, a radio button when any
// position does. Read: a check box sends position 1 when checked, else 0; the others send
// position 0. A button with ELAPSE repeats its click while held (CRepeatButton).
//
// Buttons that keep their mark when clicked. A radio button that is not auto-exclusive is a
// non-automatic radio button: a click does not check it, and it sends only while it is shown
// checked. A check box is plain unless it has the dynamic property "toggles" set to true: a click
// does not toggle a plain check box, its mark follows the projector only, and the click sends
// the position of the mark it had before the click. Qt has toggled such a button by the time it
// reports the click, so the page undoes the toggle there (UndoClickToggle) and reads the state
// from before. A tristate check box, like a non-automatic radio button, sends only while
// checked. Auto-exclusive radio buttons and check boxes with "toggles" are checked by the click
// itself and pass.
class ButtonBinding : public ControlBinding {
public:
    ButtonBinding(QWidget* item, ModelSection kind, const Clock& clock);

    QObject* Prepare(const ModelControl& control) override;
    void Show(const ModelControl& control, int position, std::int32_t value) override;
    std::optional<ControlChoice> Read(const ModelControl& control) const override;

    // Called with the state a click left: puts back the mark of a button whose click must not
    // change it.
    static void UndoClickToggle(QAbstractButton* button, bool checked);

private:
    ModelSection kind_;
    const Clock& clock_;
};

} // namespace tonedesk
