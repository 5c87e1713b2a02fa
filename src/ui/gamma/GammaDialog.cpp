#include "ui/gamma/GammaDialog.h"

#include "gamma/GammaFile.h"
#include "link/ProjectorLink.h"
#include "support/Settings.h"
#include "ui/gamma/GammaGraphView.h"
#include "ui/gamma/ServiceLogDialog.h"
#include "ui/widgets/MessageNotifier.h"
#include "ui/widgets/NumberEdit.h"
#include "ui/widgets/ResourceBundle.h"
#include "ui/widgets/UserPrompts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace tonedesk {

namespace {

constexpr int kTemplateId = 106;
constexpr int kTickMs = 50;
constexpr int kParameterMin = -30;
constexpr int kParameterMax = 30;
constexpr int kParameterTextLimit = 3;
constexpr int kSliderTicks = 3;
constexpr int kStringGammaFilter = 2053;
constexpr int kStringFalling = 4111;
constexpr int kStringWriteNotConfirmed = 4112;
constexpr int kStringWriteNotQueued = 4113;
constexpr char kPowerQuery[] = "POWR????\r";
constexpr int kBanksPerWrite = 6; // blocks of one bank

// Buttons that act when clicked.
constexpr int kCommandButtons[] = {
    kGammaUndo,          kGammaRedo,     kCommandFileOpen,   kCommandFileSaveAs, kGammaReloadAll,
    kGammaReloadChannel, kGammaWriteAll, kGammaWriteChannel, kGammaImport,       kGammaExport,
    kGammaTarget,        kGammaClose,    kGammaServiceLog};

QString ChannelName(int channel) {
    static const char* const names[] = {"red", "green", "blue"};
    return QString::fromLatin1(channel >= 0 && channel < 3 ? names[channel] : "?");
}

// "red of bank 1" for a block number.
QString BlockOwner(int block) {
    const int bank = block / kBanksPerWrite;
    const int channel = block % kBanksPerWrite / 2;
    return QStringLiteral("%1 of bank %2").arg(ChannelName(channel)).arg(bank + 1);
}

} // namespace

CGammaDialog::CGammaDialog(CProjectorLink& link, Settings& profile, Notifier& notifier,
                           UserPrompts& prompts, GammaSaveChooser chooseSave)
    : QDialog(nullptr), link_(link), profile_(profile), notifier_(notifier), prompts_(prompts),
      chooseSave_(chooseSave ? std::move(chooseSave) : PromptedGammaSaveChooser(prompts)),
      curveFiles_(profile, notifier, prompts), graph_(std::make_unique<CGammaGraph>(profile)),
      parameters_{
          {{kGammaExponentEdit, kGammaExponentSlider, &CGammaGraph::SetExponent,
            &CGammaGraph::Exponent},
           {kGammaGainEdit, kGammaGainSlider, &CGammaGraph::SetGain, &CGammaGraph::Gain},
           {kGammaOffsetEdit, kGammaOffsetSlider, &CGammaGraph::SetOffset, &CGammaGraph::Offset}}} {
    BuildControls();
    Initialise();
    ConnectControls();
}

CGammaDialog::~CGammaDialog() {
    timer_.stop();
    // The controls go first: the graph view works on the graph, and focus changes while they
    // are torn down must not reach the handlers.
    destroying_ = true;
    delete form_;
}

void CGammaDialog::BuildControls() {
    form_ = BuildDialogFromForm(*this, kTemplateId);
    if (!form_) {
        form_ = new QWidget(this);
        (new QVBoxLayout(this))->addWidget(form_);
    }
    bank_ = FindControl<QComboBox>(form_, kGammaBank);
    channel_ = FindControl<QComboBox>(form_, kGammaChannel);
    formula_ = FindControl<QCheckBox>(form_, kGammaFormula);
    readoutX_ = FindControl<QLabel>(form_, kGammaReadoutX);
    readoutY_ = FindControl<QLabel>(form_, kGammaReadoutY);
    falling_ = FindControl<QLabel>(form_, kGammaFallingWarning);
    pointInput_ = FindControl<QLineEdit>(form_, kGammaPointInput);
    pointOutput_ = FindControl<QLineEdit>(form_, kGammaPointOutput);
    for (QLineEdit* edit : {pointInput_, pointOutput_}) {
        if (edit) {
            edit->setValidator(new QIntValidator(0, kMaxLevel, edit));
        }
    }
    if (falling_) {
        falling_->setText(LoadString(kStringFalling));
        falling_->hide();
    }
    // Enabled once there is a control panel to open.
    if (QWidget* panel = Control(kGammaControlPanel)) {
        panel->setEnabled(false);
    }
    for (Parameter& p : parameters_) {
        p.edit = FindControl<QLineEdit>(form_, p.editId);
        p.slider = FindControl<QSlider>(form_, p.sliderId);
        if (p.edit) {
            p.number = new CNumberEdit;
            p.number->Attach(p.edit);
        }
    }

    // The graph fills its placeholder and grows with the dialog.
    QWidget* frame = Control(kGammaGraphFrame);
    view_ = new CGammaGraphView(*graph_, frame ? frame : form_);
    if (frame) {
        auto* box = new QVBoxLayout(frame);
        box->setContentsMargins(0, 0, 0, 0);
        box->addWidget(view_);
    }
}

void CGammaDialog::Initialise() {
    setWindowIcon(LoadIcon(kIconProgram));
    // A window of its own on the task bar, which the user may resize.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    graph_->SwitchBank(1);
    ReloadFromModel(kAllChannels);
    graph_->SwitchBank(0);
    ReloadFromModel(kAllChannels);

    for (Parameter& p : parameters_) {
        if (p.slider) {
            p.slider->setRange(kParameterMin, kParameterMax);
            p.slider->setTickInterval(kSliderTicks);
            p.slider->setTickPosition(QSlider::TicksBelow);
        }
    }
    UpdateControls();

    link_.QueueCommand(kPowerQuery, static_cast<std::int32_t>(sizeof kPowerQuery - 1),
                       AnswerKind::Value, false);

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CGammaDialog::OnTimer);
    timer_.start();
}

void CGammaDialog::ConnectControls() {
    for (int id : kCommandButtons) {
        if (auto* button = FindControl<QAbstractButton>(form_, id)) {
            connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
        }
    }
    if (bank_) {
        connect(bank_, &QComboBox::currentIndexChanged, this, &CGammaDialog::OnBankChanged);
    }
    if (channel_) {
        connect(channel_, &QComboBox::currentIndexChanged, this, &CGammaDialog::OnChannelChanged);
    }
    if (formula_) {
        connect(formula_, &QAbstractButton::clicked, this, &CGammaDialog::OnFormulaClicked);
    }
    if (auto* panel = FindControl<QAbstractButton>(form_, kGammaControlPanel)) {
        connect(panel, &QAbstractButton::clicked, this, &CGammaDialog::ControlPanelRequested);
    }
    if (auto* about = FindControl<QAbstractButton>(form_, kCommandAbout)) {
        connect(about, &QAbstractButton::clicked, this, &CGammaDialog::AboutRequested);
    }
    SetServiceLog(nullptr);
    for (Parameter& p : parameters_) {
        if (p.slider) {
            connect(p.slider, &QSlider::valueChanged, this, [this, &p] { OnSliderMoved(p); });
        }
    }
    connect(view_, &CGammaGraphView::ReadoutsChanged, this, &CGammaDialog::ShowReadouts);
    connect(view_, &CGammaGraphView::DragFinished, this, [this](bool modified) {
        if (modified) {
            UpdateControls();
        }
    });
    connect(view_, &CGammaGraphView::PointEdited, this, &CGammaDialog::UpdateControls);
    for (QLineEdit* edit : {pointInput_, pointOutput_}) {
        if (edit) {
            connect(edit, &QLineEdit::editingFinished, this, &CGammaDialog::CommitPointEdits);
        }
    }
    connect(view_, &CGammaGraphView::FallingChanged, this, [this](bool falling) {
        if (falling_) {
            falling_->setVisible(falling);
        }
    });

    // The keyboard rules apply whichever control has the focus.
    for (QWidget* child : form_->findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

QWidget* CGammaDialog::Control(int id) const {
    return FindControl(form_, id);
}

CursorShape CGammaDialog::CurrentCursor() const {
    return link_.IsBusy() ? CursorShape::AppStarting : CursorShape::Arrow;
}

void CGammaDialog::ShowCursor(CursorShape shape) {
    // This window's own cursor; the program's busy cursor over every window is the frame's.
    ShowWindowCursor(*this, shape);
}

void CGammaDialog::OnTimer() {
    // A message box opened below runs its own event loop, which delivers further ticks.
    if (tickDepth_ > 0) {
        return;
    }
    if (link_.IsBusy()) {
        ShowCursor(CursorShape::AppStarting);
        return;
    }
    ++tickDepth_;
    const auto leave = qScopeGuard([this] { --tickDepth_; });

    const bool writeEnded = sending_;
    sending_ = false;
    // The link is idle: whatever made it busy (a write of this editor, the control panel's poll
    // while it lay over this window) is over.
    ShowCursor(CursorShape::Arrow);
    if (pending_) {
        graph_->ClearModified();
        graph_->RecomputeLevels();
        view_->RedrawBackground();
        graph_->Redraw();
        pending_ = false;
        UpdateControls();
    }
    if (writeEnded) {
        ReportWrite();
    }
}

void CGammaDialog::UpdateControls() {
    const bool formula = graph_->FormulaMode();
    const int selected = graph_->SelectedChannel();
    const bool single = selected != kAllChannels;
    const int undo = graph_->UndoState();
    {
        const QSignalBlocker bankBlock(bank_);
        const QSignalBlocker channelBlock(channel_);
        if (formula_) {
            formula_->setChecked(formula);
        }
        if (bank_) {
            bank_->setCurrentIndex(graph_->ActiveBank());
        }
        if (channel_) {
            channel_->setCurrentIndex(selected + 1);
        }
    }
    for (Parameter& p : parameters_) {
        const int value = ((*graph_).*p.get)();
        if (p.slider) {
            const QSignalBlocker block(p.slider);
            p.slider->setValue(value);
        }
        if (p.number) {
            p.number->SetIntValue(value, kParameterTextLimit, kParameterMin, kParameterMax);
        }
    }

    const auto enable = [this](int id, bool on) {
        if (QWidget* control = Control(id)) {
            control->setEnabled(on);
        }
    };
    const bool ready = !pending_;
    for (int id : {kGammaBank, kGammaChannel, kGammaFormula, kGammaWriteAll, kGammaImport,
                   kGammaExport, kGammaTarget, kGammaClose}) {
        enable(id, ready);
    }
    for (const Parameter& p : parameters_) {
        enable(p.editId, ready && formula);
        enable(p.sliderId, ready && formula);
    }
    enable(kGammaUndo, ready && !formula && undo == 1);
    enable(kGammaRedo, ready && !formula && undo == -1);
    for (int id : {kCommandFileOpen, kCommandFileSaveAs, kGammaReloadAll}) {
        enable(id, ready && !formula);
    }
    enable(kGammaReloadChannel, ready && !formula && single);
    enable(kGammaWriteChannel, ready && single);
    enable(kGammaControlPanel, ready && controlPanelAvailable_);
    view_->setEnabled(ready);
    setEnabled(ready);
    ShowReadouts();
}

void CGammaDialog::ShowReadouts() {
    if (readoutX_ && readoutY_) {
        readoutX_->setText(QString::fromStdString(graph_->ReadoutX()));
        readoutY_->setText(QString::fromStdString(graph_->ReadoutY()));
    }
    const int selected = graph_->SelectedPoint();
    const ControlPointList* points = graph_->DisplayedPoints();
    const auto show = [&](QLineEdit* edit, auto coordinate) {
        if (!edit) {
            return;
        }
        edit->setText(selected < 0 ? QString()
                                   : QString::number(coordinate(points->points[selected])));
        edit->setEnabled(!pending_ && selected >= 0);
    };
    show(pointInput_, [](const ControlPoint& p) { return p.x; });
    show(pointOutput_, [](const ControlPoint& p) { return p.y; });
}

void CGammaDialog::CommitPointEdits() {
    const int selected = graph_->SelectedPoint();
    if (selected < 0 || !pointInput_ || !pointOutput_) {
        return;
    }
    const ControlPoint& p = graph_->DisplayedPoints()->points[selected];
    bool okX = false;
    bool okY = false;
    const int x = pointInput_->text().toInt(&okX);
    const int y = pointOutput_->text().toInt(&okY);
    if (graph_->MoveSelectedTo(okX ? x : p.x, okY ? y : p.y)) {
        UpdateControls();
    }
    // The point may have stopped short of a neighbour: show where it is.
    ShowReadouts();
}

void CGammaDialog::SetExactLevels(const LevelTable& levels) {
    SetExactLevels(ChannelLevels{levels, levels, levels});
}

void CGammaDialog::SetExactLevels(const ChannelLevels& levels) {
    graph_->SetExactLevels(levels);
    view_->RedrawBackground();
    graph_->Redraw();
    SetPending();
    UpdateControls();
}

void CGammaDialog::ReloadFromModel(int channel) {
    const GammaFileTable& preset = link_.Model().presetGamma[graph_->ActiveBank() == 1 ? 1 : 0];
    graph_->LoadChannels(preset, channel);
    if (channel == kAllChannels) {
        graph_->SelectChannel(graph_->ChannelsIdentical() ? kAllChannels : 0);
    }
    graph_->ClearUndo();
}

void CGammaDialog::QueueGammaTables(int channel) {
    write_ = tonedesk::QueueGammaTables(link_, graph_->ActiveBank(), graph_->Active(), channel);
    SetPending();
    UpdateControls();
    sending_ = true;
    ShowCursor(CursorShape::AppStarting);
}

void CGammaDialog::ReportWrite() {
    const GammaWriteSummary summary = SummariseGammaWrite(link_, write_);
    if (summary.Confirmed()) {
        return;
    }
    QStringList owners;
    QStringList lines;
    for (const GammaWriteProblem& problem : summary.problems) {
        const QString owner = BlockOwner(problem.entry.block);
        if (!owners.contains(owner)) {
            owners.push_back(owner);
        }
        lines.push_back(QString::fromStdString(DescribeGammaWriteProblem(problem)));
    }
    QString text;
    if (!summary.queued) {
        text = LoadString(kStringWriteNotQueued);
    }
    if (!owners.isEmpty()) {
        if (!text.isEmpty()) {
            text += QStringLiteral("\n\n");
        }
        text += FormatMessageText(LoadString(kStringWriteNotConfirmed),
                                  owners.join(QStringLiteral(", ")));
        text += QStringLiteral("\n\n") + lines.join(u'\n');
    }
    prompts_.ShowText(text);
}

void CGammaDialog::SetControlPanelAvailable(bool available) {
    controlPanelAvailable_ = available;
    if (QWidget* panel = Control(kGammaControlPanel)) {
        panel->setEnabled(available && !pending_);
    }
}

void CGammaDialog::SetServiceLog(const ServiceLog* log) {
    serviceLog_ = log;
    if (QWidget* button = Control(kGammaServiceLog)) {
        button->setEnabled(log != nullptr);
    }
}

bool CGammaDialog::OnCommand(int id) {
    switch (id) {
    case kGammaUndo:
    case kGammaRedo:
        graph_->SwapUndo();
        if (QWidget* other = Control(id == kGammaUndo ? kGammaRedo : kGammaUndo)) {
            other->setFocus();
        }
        SetPending();
        return true;
    case kCommandFileOpen:
        OpenGammaFile();
        return true;
    case kCommandFileSaveAs:
        SaveGammaFile();
        return true;
    case kGammaReloadAll:
        ReloadFromModel(kAllChannels);
        SetPending();
        return true;
    case kGammaReloadChannel:
        ReloadFromModel(graph_->SelectedChannel());
        SetPending();
        return true;
    case kGammaWriteAll:
        QueueGammaTables(kAllChannels); // shows the controls' new state itself
        return true;
    case kGammaWriteChannel:
        QueueGammaTables(graph_->SelectedChannel()); // shows the controls' new state itself
        return true;
    case kGammaImport:
        ImportCurves();
        return true;
    case kGammaExport:
        curveFiles_.Export(graph_->Active());
        return true;
    case kGammaTarget:
        ApplyTarget();
        return true;
    case kGammaServiceLog:
        if (serviceLog_) {
            CServiceLogDialog dialog(*serviceLog_, prompts_, notifier_, this);
            dialog.DoModal();
        }
        return serviceLog_ != nullptr;
    case kGammaClose:
        reject();
        return true;
    default:
        return false;
    }
}

void CGammaDialog::OnBankChanged(int item) {
    if (graph_->SwitchBank(item)) {
        SetPending();
    }
}

void CGammaDialog::OnChannelChanged(int item) {
    const int channel = item - 1;
    if (channel == graph_->SelectedChannel()) {
        return;
    }
    graph_->PropagateLinked();
    graph_->ClearUndo();
    graph_->SelectChannel(channel);
    SetPending();
}

void CGammaDialog::OnFormulaClicked() {
    const bool on = formula_->isChecked();
    graph_->SetFormulaMode(on);
    graph_->ClearUndo();
    if (!on) {
        for (int c = 0; c < kChannelCount; ++c) {
            graph_->FitPointsToLevels(c);
        }
    }
    SetPending();
}

void CGammaDialog::OnSliderMoved(Parameter& parameter) {
    ((*graph_).*parameter.set)(parameter.slider->value());
    SetPending();
}

void CGammaDialog::CommitEdit(Parameter& parameter) {
    ((*graph_).*parameter.set)(parameter.number->GetIntValue(kParameterMin, kParameterMax));
    SetPending();
}

void CGammaDialog::OpenGammaFile() {
    const std::string filter = LoadString(kStringGammaFilter).toLocal8Bit().toStdString();
    for (;;) {
        const std::optional<std::string> path =
            prompts_.ChooseFile(FileDialogMode::Open, filter, GammaFolder(profile_));
        if (!path) {
            return;
        }
        RememberGammaFolder(profile_, *path);
        GammaFileTable table;
        // A file that cannot be read or is no gamma file was reported; the user picks another.
        if (ReadGammaFile(*path, table, notifier_) == GammaReadResult::Read) {
            graph_->OpenTable(table);
            SetPending();
            return;
        }
    }
}

void CGammaDialog::SaveGammaFile() {
    const std::string filter = LoadString(kStringGammaFilter).toLocal8Bit().toStdString();
    const std::optional<GammaSaveChoice> choice = chooseSave_(filter, GammaFolder(profile_));
    if (!choice) {
        return;
    }
    RememberGammaFolder(profile_, choice->path);
    // A write error was reported; the tables stay as they are.
    WriteGammaFile(choice->path, graph_->Active(), choice->fourColumns, notifier_);
}

void CGammaDialog::ImportCurves() {
    if (const std::optional<ChannelLevels> levels = curveFiles_.Import()) {
        SetExactLevels(*levels);
    }
}

void CGammaDialog::ApplyTarget() {
    if (const std::optional<Target> target = chooseTarget_(this)) {
        SetExactLevels(target->Levels());
    }
}

CGammaDialog::Parameter* CGammaDialog::ParameterOfEdit(const QObject* watched) {
    for (Parameter& p : parameters_) {
        if (p.edit && p.edit == watched) {
            return &p;
        }
    }
    return nullptr;
}

CGammaDialog::Parameter* CGammaDialog::ParameterOfSlider(const QObject* watched) {
    for (Parameter& p : parameters_) {
        if (p.slider && p.slider == watched) {
            return &p;
        }
    }
    return nullptr;
}

bool CGammaDialog::eventFilter(QObject* watched, QEvent* event) {
    if (destroying_) {
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        if (Parameter* p = ParameterOfEdit(watched); p && p->number && p->edit->isEnabled()) {
            CommitEdit(*p);
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (Parameter* p = ParameterOfEdit(watched); p && p->number) {
            CommitEdit(*p);
            p->edit->selectAll();
        }
        return false;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        // Up moves a slider towards +30, Down towards -30.
        if (Parameter* p = ParameterOfSlider(watched)) {
            p->slider->triggerAction(key == Qt::Key_Up ? QAbstractSlider::SliderSingleStepAdd
                                                       : QAbstractSlider::SliderSingleStepSub);
            return true;
        }
    }
    return false;
}

void CGammaDialog::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the editor, and Enter has no default button to press.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tonedesk
