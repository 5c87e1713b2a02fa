#pragma once

#include <QDialog>
#include <QTimer>

#include <vector>

class QPushButton;
class QTabWidget;

namespace tonedesk {

class ControlPanelHost;
class ControlPanelTables;
class CTabPage;

// The control panel: one tab per [TAB] of the model, whose page (CTabPage) is built afresh each
// time its tab is chosen, and buttons for loading and saving a settings file.
//
// Only the visible page has its form. At every change of tab the page being left puts the tab's
// values back, and it and every page after it are replaced by fresh page objects, so the page
// that becomes visible starts from the status table with a new poll cycle. Closing the sheet
// leaves its page the same way.
class CControlSheet : public QDialog {
    Q_OBJECT
public:
    // A sheet for the model of the host's link; `tables` gets one page slot per tab (its bundles
    // must have been loaded). Both must outlive the sheet.
    CControlSheet(ControlPanelHost& host, ControlPanelTables& tables, QWidget* parent = nullptr);
    ~CControlSheet() override;

    int DoModal() { return exec(); }

    // The visible page, or null while the sheet is hidden.
    CTabPage* ActivePage() const;
    QTabWidget* Tabs() const { return tabs_; }
    QPushButton* CommandButton(int command) const;
    // Enables the settings-file buttons as the host's commands are.
    void UpdateCommandButtons();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnTabChanged(int index);
    // Builds and shows the page of tab `index`.
    void Activate(int index);
    // The page being left, if any, puts its tab's values back.
    void LeaveActivePage();
    // Replaces the page with a form and every page after it by fresh page objects.
    void RebuildPages();
    CTabPage* MakePage(int index);

    ControlPanelHost& host_;
    ControlPanelTables& tables_;
    QTabWidget* tabs_ = nullptr;
    std::vector<QWidget*> holders_; // the tab widget's page of each tab, holding its CTabPage
    QPushButton* openSettings_ = nullptr;
    QPushButton* saveSettings_ = nullptr;
    QTimer commandTimer_;
    int active_ = -1;
};

} // namespace tonedesk
