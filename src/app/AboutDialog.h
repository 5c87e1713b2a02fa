#pragma once

#include <QDialog>

namespace tonedesk {

// The about box: form 100 of the bundle with the program's icon.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    int DoModal() { return exec(); }
};

} // namespace tonedesk
