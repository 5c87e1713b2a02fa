#pragma once

#include "support/Clock.h"

#include <QObject>

#include <functional>

namespace tonedesk {

class CMainFrame;
class SerialPortFactory;
struct PortEntry;

// Leads the user from the first idle moment to the end of the program: the connection dialog,
// the model file of the chosen projector, its port reopened outside the scan, the gamma editor,
// the draining of the link and the close of the frame (which ends the program). Cancel, a model
// file that cannot be read or a connection dialog that cannot be built end the program early.
class CStartSequence : public QObject {
    Q_OBJECT
public:
    // Waits about `ms` milliseconds between two passes of the drain; tests move a virtual clock.
    using DrainPause = std::function<void(Tick ms)>;

    // The frame and the port factory must outlive the sequence. `pause` empty: the thread
    // sleeps.
    CStartSequence(CMainFrame& frame, const SerialPortFactory& ports, DrainPause pause = {});

    // Runs the whole sequence; returns once the frame has been asked to close.
    void Run();

    // The drain: while the current port is busy, one Service of the link and a pause of 1 ms.
    // Ends once its queue is empty and no answer is awaited, or the link dropped the queue.
    void Drain();

signals:
    // The chosen projector is connected: whoever builds the gamma editor runs it modally from a
    // direct connection. The sequence goes on (to the drain) when the slot returns.
    void GammaEditorRequested();

private:
    // Makes the chosen entry the current port outside the scanning mode; the others are closed.
    void Connect(const PortEntry& chosen);
    void End();

    CMainFrame& frame_;
    const SerialPortFactory& ports_;
    DrainPause pause_;
};

} // namespace tonedesk
