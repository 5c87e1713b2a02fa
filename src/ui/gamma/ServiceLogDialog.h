#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace tonedesk {

class Notifier;
class ServiceLog;
class UserPrompts;

// Shows the session's exchanges with the projectors, the service log's last lines, in the
// program's text box (form 131); Save As... writes them to a file the user picks.
class CServiceLogDialog : public QDialog {
    Q_OBJECT
public:
    CServiceLogDialog(const ServiceLog& log, UserPrompts& prompts, Notifier& notifier,
                      QWidget* parent = nullptr);

    int DoModal() { return exec(); }

    // Asks for a file and writes the lines shown into it (replaced only once complete); false
    // when the user cancelled or the file could not be written (the file-error box told why).
    bool SaveAs();

    QPlainTextEdit* TextBox() const { return textBox_; }
    QPushButton* SaveButton() const { return saveButton_; }

private:
    UserPrompts& prompts_;
    Notifier& notifier_;
    QPlainTextEdit* textBox_ = nullptr;
    QPushButton* saveButton_ = nullptr;
};

} // namespace tonedesk
