#pragma once

#include "support/Notifier.h"

#include <Qt>

class QWidget;

namespace tonedesk {

// Qt's cursor for a shape of the program: the hourglass for Wait, the arrow with hourglass for
// AppStarting.
Qt::CursorShape QtCursorShape(CursorShape shape);
// Shows `shape` over `window`; only a change reaches the window system.
void ShowWindowCursor(QWidget& window, CursorShape shape);

// Tells the user with message boxes whose texts come from the current bundle's string table.
// The program's cursor is not its business: the frame shows it from the link's state, so that
// every busy cursor ends when the link is idle.
class MessageNotifier final : public Notifier {
public:
    void Message(int stringId, const std::string& argument = {}) override;
    void FileError(const std::string& fileName, const std::string& reason) override;
};

} // namespace tonedesk
