#pragma once

#include "gamma/GammaGraph.h"
#include "link/GammaQueue.h"
#include "support/Notifier.h"
#include "ui/gamma/GammaCurveFiles.h"
#include "ui/gamma/GammaSaveDialog.h"
#include "ui/gamma/GammaTargetDialog.h"
#include "ui/widgets/ProgramIds.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace tonedesk {

class CGammaGraphView;
class CNumberEdit;
class CProjectorLink;
class ServiceLog;
class Settings;
class UserPrompts;

// Command and control ids of the gamma editor's form.
inline constexpr int kGammaUndo = 900;
inline constexpr int kGammaRedo = 901;
inline constexpr int kGammaBank = 1000;
inline constexpr int kGammaChannel = 1001;
inline constexpr int kGammaGainEdit = 1010;
inline constexpr int kGammaOffsetEdit = 1011;
inline constexpr int kGammaExponentEdit = 1012;
inline constexpr int kGammaGainSlider = 1020;
inline constexpr int kGammaOffsetSlider = 1021;
inline constexpr int kGammaExponentSlider = 1022;
inline constexpr int kGammaFormula = 1030;
inline constexpr int kGammaReloadChannel = 1088;
inline constexpr int kGammaWriteChannel = 1089;
inline constexpr int kGammaReloadAll = 1090;
inline constexpr int kGammaWriteAll = 1091;
inline constexpr int kGammaGraphFrame = 1134;
inline constexpr int kGammaReadoutX = 1126;
inline constexpr int kGammaReadoutY = 1129;
inline constexpr int kGammaPointInput = 1127;
inline constexpr int kGammaPointOutput = 1130;
inline constexpr int kGammaFallingWarning = 1140;
inline constexpr int kGammaImport = 1150;
inline constexpr int kGammaExport = 1151;
inline constexpr int kGammaTarget = 1152;
inline constexpr int kGammaServiceLog = 1153;
inline constexpr int kGammaClose = 2000;
inline constexpr int kGammaControlPanel = 20001;

// The gamma editor: edits the two banks of the connected projector's gamma curves, by points or
// by formula, opens and saves gamma files and writes the active bank into the projector. A
// top-level window of its own, run modally by its caller.
//
// Every change sets the pending flag; the 50 ms timer recomputes, redraws and enables the
// controls again on its first tick at which the link is idle, so nothing is edited while a
// write is on its way.
class CGammaDialog : public QDialog {
    Q_OBJECT
public:
    // `chooseSave` names the file a bank is saved to; empty: the prompts' save dialog. The
    // link, profile, notifier and prompts must outlive the dialog.
    CGammaDialog(CProjectorLink& link, Settings& profile, Notifier& notifier, UserPrompts& prompts,
                 GammaSaveChooser chooseSave = {});
    ~CGammaDialog() override;

    int DoModal() { return exec(); }

    // The timer's work.
    void OnTimer();
    // Shows the graph's state in the controls and enables them as the state allows.
    void UpdateControls();
    // Loads the active bank's channel (-1: all) from the model's preset table.
    void ReloadFromModel(int channel);
    // Queues the active bank's tables of the channel (-1: all) for the projector.
    void QueueGammaTables(int channel);
    // Sets the selected channel, or all three when linked, of the active bank to exactly
    // `levels`, with points fitted to them for editing (CGammaGraph::SetExactLevels). The curve
    // shows at once; undo brings back the previous curves.
    void SetExactLevels(const LevelTable& levels);
    // The same with each channel's own levels: the selected channel takes its entry, all three
    // take theirs when linked.
    void SetExactLevels(const ChannelLevels& levels);
    // Replaces the target dialog (tests answer it themselves).
    void SetTargetChooser(GammaTargetChooser chooser) { chooseTarget_ = std::move(chooser); }
    // Runs a command of the form's buttons; false for an id that is not one.
    bool OnCommand(int id);

    // The cursor the dialog shows now.
    CursorShape CurrentCursor() const;

    CGammaGraph& Graph() { return *graph_; }
    CGammaGraphView* View() const { return view_; }
    QWidget* Control(int id) const;
    bool Pending() const { return pending_; }
    bool Sending() const { return sending_; }
    QTimer& Timer() { return timer_; }

    // Enables the control panel button (20001) whenever the editor's controls are: there is a
    // control panel to open.
    void SetControlPanelAvailable(bool available);
    // The session's service log, which the Service log... button (1153) shows; the button is
    // disabled while there is none. It must outlive the editor.
    void SetServiceLog(const ServiceLog* log);

signals:
    // The control panel button (20001) was pressed: whoever owns the panel shows it now.
    void ControlPanelRequested();
    // The about button (57664) was pressed: the application shows its about box.
    void AboutRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Parameter {
        int editId;
        int sliderId;
        void (CGammaGraph::*set)(int);
        int (CGammaGraph::*get)() const;
        QLineEdit* edit = nullptr;
        CNumberEdit* number = nullptr;
        QSlider* slider = nullptr;
    };

    void BuildControls();
    void ConnectControls();
    void Initialise();
    void SetPending() { pending_ = true; }

    void OnBankChanged(int item);
    void OnChannelChanged(int item);
    void OnFormulaClicked();
    void OnSliderMoved(Parameter& parameter);
    // The edit's value, clamped to the parameters' range, becomes the parameter.
    void CommitEdit(Parameter& parameter);
    void OpenGammaFile();
    void SaveGammaFile();
    // Import...: the curves of a chosen file become the selected or linked channels' levels.
    void ImportCurves();
    // Target...: the chosen standard response becomes the selected or linked channels' levels.
    void ApplyTarget();
    // Once the link finished a write: tells the user when the projector did not confirm it.
    void ReportWrite();
    void ShowCursor(CursorShape shape);
    // The read-outs of the dragged or selected point, and its exact input and output.
    void ShowReadouts();
    // The typed input and output become the selected point's.
    void CommitPointEdits();

    Parameter* ParameterOfEdit(const QObject* watched);
    Parameter* ParameterOfSlider(const QObject* watched);

    CProjectorLink& link_;
    Settings& profile_;
    Notifier& notifier_;
    UserPrompts& prompts_;
    GammaSaveChooser chooseSave_;
    GammaTargetChooser chooseTarget_ = CGammaTargetDialog::Chooser();
    CGammaCurveFiles curveFiles_;
    std::unique_ptr<CGammaGraph> graph_;
    bool pending_ = true;
    bool sending_ = false;
    GammaWrite write_;
    int tickDepth_ = 0;
    bool destroying_ = false;
    bool controlPanelAvailable_ = false;
    const ServiceLog* serviceLog_ = nullptr;

    QWidget* form_ = nullptr;
    CGammaGraphView* view_ = nullptr;
    QComboBox* bank_ = nullptr;
    QComboBox* channel_ = nullptr;
    QCheckBox* formula_ = nullptr;
    QLabel* readoutX_ = nullptr;
    QLabel* readoutY_ = nullptr;
    QLabel* falling_ = nullptr;
    QLineEdit* pointInput_ = nullptr;
    QLineEdit* pointOutput_ = nullptr;
    std::array<Parameter, 3> parameters_;
    QTimer timer_;
};

} // namespace tonedesk
