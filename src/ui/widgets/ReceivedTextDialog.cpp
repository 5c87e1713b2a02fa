#include "ui/widgets/ReceivedTextDialog.h"

#include "link/ProjectorLink.h"
#include "ui/widgets/ResourceBundle.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace tonedesk {

namespace {

constexpr int kTemplateId = 131;
constexpr int kTextBoxId = 1010;
constexpr int kRefreshMs = 10;

} // namespace

CReceivedTextDialog::CReceivedTextDialog(CProjectorLink& link, QWidget* parent)
    : CReceivedTextDialog(
          [&link]() -> const ByteBuffer* {
              const PortEntry* port = link.CurrentPort();
              return port ? &port->textAnswer : nullptr;
          },
          parent) {}

CReceivedTextDialog::CReceivedTextDialog(AnswerSource source, QWidget* parent)
    : QDialog(parent), source_(std::move(source)) {
    if (QWidget* form = BuildDialogFromForm(*this, kTemplateId)) {
        textBox_ = FindControl<QPlainTextEdit>(form, kTextBoxId);
    }
    if (!textBox_) {
        // Without its form the dialog still shows the answer.
        textBox_ = new QPlainTextEdit(this);
        textBox_->setReadOnly(true);
        QLayout* box = layout() ? layout() : new QVBoxLayout(this);
        box->addWidget(textBox_);
    }
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &CReceivedTextDialog::Refresh);
    timer_.start();
}

void CReceivedTextDialog::Refresh() {
    const ByteBuffer* answer = source_ ? source_() : nullptr;
    if (!answer) {
        return;
    }
    const auto size = static_cast<std::int32_t>(answer->size());
    if (size == shown_) {
        return;
    }
    if (size < shown_) {
        // Another text command emptied the answer: show the new one from its start.
        textBox_->clear();
        shown_ = 0;
    }
    Append(*answer, shown_ > 0 ? shown_ - 1 : 0);
    shown_ = size;
}

void CReceivedTextDialog::Append(const ByteBuffer& answer, std::int32_t from) {
    // The answer's final 0 byte is not text; CR LF between lines becomes one line break.
    QString text;
    const auto end = static_cast<std::int32_t>(answer.size());
    for (std::int32_t i = from; i < end; ++i) {
        const auto c = static_cast<char>(answer[static_cast<std::size_t>(i)]);
        if (c == '\0') {
            break;
        }
        if (c == '\r') {
            if (i + 1 < end && answer[static_cast<std::size_t>(i) + 1] == '\n') {
                continue;
            }
            text += u'\n';
            continue;
        }
        text += QChar::fromLatin1(c);
    }
    if (!text.isEmpty()) {
        textBox_->insertPlainText(text);
    }
}

} // namespace tonedesk
