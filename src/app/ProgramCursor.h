#pragma once

#include "support/Notifier.h"

#include <optional>

namespace tonedesk {

// The cursor shown over every window of the program while it works: the application's override
// cursor. Its owner is the only one to set that cursor, so one shape is shown at a time (a new
// shape replaces the one shown, never piles on it) and the arrow takes it away at once.
class ProgramCursor {
public:
    ProgramCursor() = default;
    // Takes the shape shown away.
    ~ProgramCursor();
    ProgramCursor(const ProgramCursor&) = delete;
    ProgramCursor& operator=(const ProgramCursor&) = delete;

    // Shows `shape` over every window; the arrow restores each window's own cursor.
    void Show(CursorShape shape);
    // The shape shown now (Arrow when none).
    CursorShape Shape() const { return shown_.value_or(CursorShape::Arrow); }

private:
    std::optional<CursorShape> shown_; // the override set by this object, if any
};

} // namespace tonedesk
