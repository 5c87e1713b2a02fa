#pragma once

#include "support/TextString.h"

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <functional>

class QPlainTextEdit;

namespace tonedesk {

class CProjectorLink;

// Shows the text answer of the link's current port as it grows: every 10 ms the part that came
// in since the last look is appended to the text box (control 1010 of form 131).
class CReceivedTextDialog : public QDialog {
    Q_OBJECT
public:
    // The text answer to show; null while there is none (no current port).
    using AnswerSource = std::function<const ByteBuffer*()>;

    // Follows the current port of `link`.
    explicit CReceivedTextDialog(CProjectorLink& link, QWidget* parent = nullptr);
    explicit CReceivedTextDialog(AnswerSource source, QWidget* parent = nullptr);

    int DoModal() { return exec(); }

    // One look at the answer (the timer's work).
    void Refresh();

    QPlainTextEdit* TextBox() const { return textBox_; }
    // Bytes of the answer shown so far, its final 0 byte included; 0 while nothing is shown.
    std::int32_t Shown() const { return shown_; }
    QTimer& Timer() { return timer_; }

private:
    void Append(const ByteBuffer& answer, std::int32_t from);

    AnswerSource source_;
    QPlainTextEdit* textBox_ = nullptr;
    std::int32_t shown_ = 0;
    QTimer timer_;
};

} // namespace tonedesk
