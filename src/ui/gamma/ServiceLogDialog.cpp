#include "ui/gamma/ServiceLogDialog.h"

#include "link/ServiceLog.h"
#include "support/FileReplace.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tonedesk {

namespace {

// The received-text dialog's form and its text box.
constexpr int kTemplateId = 131;
constexpr int kTextBoxId = 1010;
constexpr char kLogFilter[] = "Service logs (*.log)\t*.log\tAll files (*.*)\t*.*\t";

} // namespace

CServiceLogDialog::CServiceLogDialog(const ServiceLog& log, UserPrompts& prompts,
                                     Notifier& notifier, QWidget* parent)
    : QDialog(parent), prompts_(prompts), notifier_(notifier) {
    QWidget* form = BuildDialogFromForm(*this, kTemplateId);
    if (form) {
        textBox_ = FindControl<QPlainTextEdit>(form, kTextBoxId);
        if (auto* hint = form->findChild<QLabel*>(QStringLiteral("hintLabel"))) {
            hint->setText(tr("Exchanges with the projectors in this session:"));
        }
    }
    if (!textBox_) {
        textBox_ = new QPlainTextEdit(this);
        textBox_->setReadOnly(true);
        textBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
        QLayout* box = layout() ? layout() : new QVBoxLayout(this);
        box->addWidget(textBox_);
    }
    setWindowTitle(tr("Service Log"));

    saveButton_ = new QPushButton(tr("Save &As..."), this);
    saveButton_->setAutoDefault(false);
    auto* buttons = form ? form->findChild<QHBoxLayout*>(QStringLiteral("buttonLayout")) : nullptr;
    if (buttons) {
        buttons->insertWidget(buttons->count() - 1, saveButton_);
    } else {
        layout()->addWidget(saveButton_);
    }
    connect(saveButton_, &QPushButton::clicked, this, &CServiceLogDialog::SaveAs);

    QStringList lines;
    lines.reserve(static_cast<qsizetype>(log.Lines().size()));
    for (const std::string& line : log.Lines()) {
        lines.append(QString::fromStdString(line));
    }
    textBox_->setPlainText(lines.join(u'\n'));
    textBox_->moveCursor(QTextCursor::End);
}

bool CServiceLogDialog::SaveAs() {
    const std::optional<std::string> path =
        prompts_.ChooseFile(FileDialogMode::Save, kLogFilter, "service.log");
    if (!path) {
        return false;
    }
    QString text = textBox_->toPlainText();
    if (!text.isEmpty()) {
        text += u'\n';
    }
    return WriteTextFile(*path, text.toStdString(), notifier_) == 0;
}

} // namespace tonedesk
