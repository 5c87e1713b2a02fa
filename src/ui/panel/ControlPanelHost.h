#pragma once

#include "ui/widgets/ProgramIds.h"

#include <cstdint>

namespace tonedesk {

class Clock;
class CProjectorLink;
class Notifier;
class UserPrompts;

// What the control panel needs from the window that owns it (the main frame): the link, the
// interaction bits, the time, the user, and the frame's own commands.
class ControlPanelHost {
public:
    virtual ~ControlPanelHost() = default;

    virtual CProjectorLink& PanelLink() = 0;
    // Bit 0 is set while the user drags a slider or scroll bar; while any bit is set the panel
    // does not poll the projector.
    virtual std::int32_t PanelInteractionBits() const = 0;
    // Sets or clears bit 0.
    virtual void SetPanelDragging(bool dragging) = 0;
    virtual const Clock& PanelClock() const = 0;
    virtual UserPrompts& PanelPrompts() = 0;
    virtual Notifier& PanelNotifier() = 0;

    // Runs one of the frame's commands (20000..30000, 57601, 57604); false when it is unknown
    // or disabled.
    virtual bool RunPanelCommand(int command) = 0;
    // Whether the frame's command is enabled now.
    virtual bool IsPanelCommandEnabled(int command) = 0;
    // Shows the growing text answer of the link's current port until the user closes it
    // (modal).
    virtual void RunReceivedTextDialog() = 0;
};

} // namespace tonedesk
