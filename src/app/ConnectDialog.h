#pragma once

#include <QDialog>
#include <QTimer>

#include <array>
#include <cstdint>
#include <map>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace tonedesk {

class CMainFrame;
class CModelFile;
enum class ModelLookup;
class SerialPortFactory;
struct PortEntry;

// Control and message ids of the connection dialog.
inline constexpr int kConnectTemplate = 130;
inline constexpr int kConnectProjectorList = 1000;
inline constexpr int kConnectRescan = 3;
inline constexpr int kConnectInstallModel = 2001;
inline constexpr int kConnectPassedOverNote = 1001; // the model files passed over, under the list
inline constexpr int kMessageFaultyModel = 4096;
inline constexpr int kMessagePortAccess = 4121; // %s: the denied devices and how to get access
inline constexpr int kStringModelFilesPassedOver = 2070; // heading of that note
inline constexpr int kStringRepeatsIdentifier = 2071;    // why a file with a repeated id is left

// The first window the user sees: lists the projectors the port scan has found and for which a
// model file exists, as "COM<n> / <name> / <baud rate>", while the scan goes on, and lets the
// user pick one, scan again or install a model file. A top-level window of its own (the main
// frame is never shown), so it gets its own taskbar entry.
class CConnectDialog : public QDialog {
    Q_OBJECT
public:
    // The link and the model folder are the frame's; `ports` names the device behind each COM
    // number in the list's tooltips. Both must outlive the dialog. The list is filled at once
    // (a running scan is joined, else a new one started), and refreshed every 50 ms while the
    // scan runs.
    CConnectDialog(CMainFrame& frame, const SerialPortFactory& ports);
    ~CConnectDialog() override;

    // False when the form could not be built: the dialog cannot be shown.
    bool IsBuilt() const { return list_ != nullptr; }
    int DoModal() { return exec(); }

    // Position of the chosen entry in the link's port table after OK; -1 before.
    std::int32_t ChosenEntry() const { return chosenEntry_; }
    // The chosen entry, or null before OK.
    const PortEntry* ChosenPort() const;

    // Command 3: empties the list and, unless a scan runs, starts a new one.
    void Rescan();
    // Adds every entry the scan has found since the last call and for which a model file reads;
    // tells the user about a faulty one (message 4096) each time it is looked at. The note under
    // the list names the model files passed over: those that could not be read, and those left
    // for a repeated identifier.
    void Refresh();
    // Command 2001: installs a model file into a model folder, then refreshes.
    void InstallModel();
    // The 50 ms tick: refreshes, and stops once the scan has ended. A tick during a refresh (while
    // message 4096 is shown) is ignored.
    void OnTimer();
    // Once the scan has ended: when no projector answered and the scan was denied access to some
    // ports, tells the user how to get access (message 4121), once per scan.
    void ExplainDeniedPorts();

    // OK: ends the scan and takes the COM number of the selected text as the chosen entry.
    void accept() override;

private:
    // The list and OK are enabled when the list holds a text, Rescan when no scan runs.
    void UpdateControls();
    void UpdateCursor();
    // Remembers the files the model search just passed over, and shows them in the note.
    void NotePassedOver(const CModelFile& model, ModelLookup result);
    void ShowPassedOver();

    CMainFrame& frame_;
    const SerialPortFactory& ports_;
    QComboBox* list_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* rescanButton_ = nullptr;
    QLabel* passedOverNote_ = nullptr;
    std::map<std::string, QString> passedOver_; // file path -> why it was passed over
    QTimer timer_;
    int refreshDepth_ = 0;
    bool accessExplained_ = false; // message 4121 was shown for this scan
    std::int32_t chosenEntry_ = -1;
    // Per position of the port table: 0 not listed yet, else the baud rate it was listed at.
    std::array<std::int32_t, 256> listed_{};
};

} // namespace tonedesk
