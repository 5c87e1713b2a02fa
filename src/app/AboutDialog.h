#pragma once

#include <QDialog>

namespace tonedesk {

// The about box: form 100 of the bundle with the program's icon, and the program's version after
// the text of its label 1201 ("Version").
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    int DoModal() { return exec(); }
};

} // namespace tonedesk
