#include "ui/panel/ControlSheet.h"

#include "model/ModelFile.h"
#include "ui/panel/ControlPanelHost.h"
#include "ui/panel/ControlPanelTables.h"
#include "ui/panel/TabPage.h"
#include "ui/widgets/ProgramIds.h"
#include "ui/widgets/ResourceBundle.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

namespace tonedesk {

namespace {

constexpr int kCommandCheckMs = 100;

// The title of the tab's form, which names the tab.
QString FormTitle(const ResourceBundle* bundle, int id) {
    std::unique_ptr<QWidget> form(bundle ? bundle->LoadForm(id) : nullptr);
    if (!form) {
        form.reset(LoadForm(id));
    }
    return form && !form->windowTitle().isEmpty() ? form->windowTitle() : QString::number(id);
}

} // namespace

CControlSheet::CControlSheet(ControlPanelHost& host, ControlPanelTables& tables, QWidget* parent)
    : QDialog(parent), host_(host), tables_(tables) {
    setWindowTitle(tr("Control Panel"));
    setWindowIcon(LoadIcon(kIconProgram));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_);

    auto* buttons = new QDialogButtonBox(this);
    openSettings_ = buttons->addButton(tr("&Load Settings..."), QDialogButtonBox::ActionRole);
    saveSettings_ = buttons->addButton(tr("&Save Settings..."), QDialogButtonBox::ActionRole);
    openSettings_->setObjectName(ControlName(kCommandFileOpen));
    saveSettings_->setObjectName(ControlName(kCommandFileSaveAs));
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    // Return in a page's edit presses none of these.
    for (QPushButton* button : {openSettings_, saveSettings_, close}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(openSettings_, &QPushButton::clicked, this,
            [this] { host_.RunPanelCommand(kCommandFileOpen); });
    connect(saveSettings_, &QPushButton::clicked, this,
            [this] { host_.RunPanelCommand(kCommandFileSaveAs); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    const CModelFile& model = host_.PanelLink().Model();
    tables_.pages.assign(model.tabs.size(), nullptr);
    for (std::size_t i = 0; i < model.tabs.size(); ++i) {
        const ModelTab& tab = model.tabs[i];
        auto* holder = new QWidget;
        auto* holderLayout = new QVBoxLayout(holder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        holders_.push_back(holder);
        tabs_->addTab(holder, FormTitle(tables_.Bundle(tab.resourceFile), tab.id));
        tables_.pages[i] = MakePage(static_cast<int>(i));
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &CControlSheet::OnTabChanged);

    commandTimer_.setInterval(kCommandCheckMs);
    connect(&commandTimer_, &QTimer::timeout, this, &CControlSheet::UpdateCommandButtons);
    UpdateCommandButtons();
}

CControlSheet::~CControlSheet() {
    commandTimer_.stop();
    // The pages put their tab's values back while the link is still there.
    for (QPointer<CTabPage>& page : tables_.pages) {
        delete page.data();
    }
}

CTabPage* CControlSheet::MakePage(int index) {
    const ModelTab& tab = host_.PanelLink().Model().tabs.at(static_cast<std::size_t>(index));
    QWidget* holder = holders_.at(static_cast<std::size_t>(index));
    auto* page = new CTabPage(host_, index, tables_.Bundle(tab.resourceFile), tab.id, holder);
    holder->layout()->addWidget(page);
    return page;
}

CTabPage* CControlSheet::ActivePage() const {
    if (active_ < 0 || static_cast<std::size_t>(active_) >= tables_.pages.size()) {
        return nullptr;
    }
    CTabPage* page = tables_.pages[static_cast<std::size_t>(active_)];
    return page && page->IsBuilt() ? page : nullptr;
}

QPushButton* CControlSheet::CommandButton(int command) const {
    if (command == kCommandFileOpen) {
        return openSettings_;
    }
    return command == kCommandFileSaveAs ? saveSettings_ : nullptr;
}

void CControlSheet::UpdateCommandButtons() {
    openSettings_->setEnabled(host_.IsPanelCommandEnabled(kCommandFileOpen));
    saveSettings_->setEnabled(host_.IsPanelCommandEnabled(kCommandFileSaveAs));
}

void CControlSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (active_ < 0 && tabs_->count() > 0) {
        Activate(tabs_->currentIndex());
    }
    UpdateCommandButtons();
    commandTimer_.start();
}

void CControlSheet::done(int result) {
    commandTimer_.stop();
    LeaveActivePage();
    RebuildPages();
    QDialog::done(result);
}

void CControlSheet::OnTabChanged(int index) {
    LeaveActivePage();
    RebuildPages();
    if (isVisible() && index >= 0) {
        Activate(index);
    }
}

void CControlSheet::LeaveActivePage() {
    if (CTabPage* page = ActivePage()) {
        page->OnKillActive();
    }
    active_ = -1;
}

void CControlSheet::RebuildPages() {
    const int n = static_cast<int>(tables_.pages.size());
    int first = 0;
    for (int i = 0; i < n; ++i) {
        if (tables_.pages[static_cast<std::size_t>(i)] &&
            tables_.pages[static_cast<std::size_t>(i)]->IsBuilt()) {
            first = i;
            break;
        }
    }
    for (int i = n - 1; i >= first; --i) {
        // A page may be the sender of what closes the sheet: it goes once that is over.
        if (CTabPage* page = tables_.pages[static_cast<std::size_t>(i)]) {
            page->Retire();
            page->deleteLater();
        }
    }
    for (int i = first; i < n; ++i) {
        tables_.pages[static_cast<std::size_t>(i)] = MakePage(i);
    }
}

void CControlSheet::Activate(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= tables_.pages.size()) {
        return;
    }
    CTabPage* page = tables_.pages[static_cast<std::size_t>(index)];
    if (!page) {
        page = MakePage(index);
        tables_.pages[static_cast<std::size_t>(index)] = page;
    }
    active_ = index;
    page->OnInitDialog();
    page->show();
    // The sheet grows to hold the page's form, once the layouts have taken the form in.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    resize(size().expandedTo(sizeHint()));
    page->OnSetActive();
}

} // namespace tonedesk
