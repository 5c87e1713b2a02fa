#include "app/AboutDialog.h"

#include "ProgramVersion.h"
#include "ui/widgets/ProgramIds.h"
#include "ui/widgets/ResourceBundle.h"

#include <QLabel>

namespace tonedesk {

namespace {

constexpr int kTemplateId = 100;
constexpr int kIconLabelId = 1200;
constexpr int kVersionLabelId = 1201;
constexpr int kIconSize = 64;

} // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    const QWidget* form = BuildDialogFromForm(*this, kTemplateId);
    const QIcon icon = LoadIcon(kIconProgram);
    setWindowIcon(icon);
    if (auto* label = FindControl<QLabel>(form, kIconLabelId); label && !icon.isNull()) {
        label->setPixmap(icon.pixmap(kIconSize));
    }
    if (auto* label = FindControl<QLabel>(form, kVersionLabelId)) {
        label->setText(QStringLiteral("%1 %2").arg(label->text(), QLatin1String(kProgramVersion)));
    }
}

} // namespace tonedesk
