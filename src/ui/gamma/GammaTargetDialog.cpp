#include "ui/gamma/GammaTargetDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <array>

namespace tonedesk {

namespace {

// Each response, in the order of the list, with its parameter's range and default.
struct TargetChoice {
    TargetKind kind;
    const char* name;
    const char* parameterName; // null: the response has no parameter
    double minimum;
    double maximum;
    double initial;
    double step;
    int decimals;
};

constexpr std::array<TargetChoice, 6> kChoices{{
    {TargetKind::Power, "Gamma", "Exponent:", 1.0, 3.0, 2.2, 0.05, 2},
    {TargetKind::Srgb, "sRGB", nullptr, 0, 0, 0, 0, 0},
    {TargetKind::Bt1886, "BT.1886", "Black level (Lb / Lw):", 0.0, 0.1, 0.0, 0.001, 4},
    {TargetKind::Lstar, "L*", nullptr, 0, 0, 0, 0, 0},
    {TargetKind::Pq, "PQ", "Peak (cd/m\u00b2):", 100, 10000, 1000, 100, 0},
    {TargetKind::Hlg, "HLG", nullptr, 0, 0, 0, 0, 0},
}};

} // namespace

CGammaTargetDialog::CGammaTargetDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Target"));
    kind_ = new QComboBox(this);
    for (const TargetChoice& choice : kChoices) {
        kind_->addItem(QString::fromUtf8(choice.name));
    }
    parameter_ = new QDoubleSpinBox(this);
    parameterLabel_ = new QLabel(this);
    auto* form = new QFormLayout;
    form->addRow(tr("Response:"), kind_);
    form->addRow(parameterLabel_, parameter_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(kind_, &QComboBox::currentIndexChanged, this, &CGammaTargetDialog::ShowKind);
    ShowKind(0);
}

void CGammaTargetDialog::ShowKind(int item) {
    const TargetChoice& choice = kChoices.at(static_cast<std::size_t>(item < 0 ? 0 : item));
    const bool has = choice.parameterName != nullptr;
    parameterLabel_->setText(has ? QString::fromUtf8(choice.parameterName) : tr("Parameter:"));
    parameter_->setDecimals(choice.decimals);
    parameter_->setRange(choice.minimum, choice.maximum);
    parameter_->setSingleStep(choice.step);
    parameter_->setValue(choice.initial);
    parameter_->setEnabled(has);
    parameter_->setSpecialValueText(has ? QString() : tr("none"));
}

void CGammaTargetDialog::SelectKind(TargetKind kind) {
    for (std::size_t i = 0; i < kChoices.size(); ++i) {
        if (kChoices[i].kind == kind) {
            kind_->setCurrentIndex(static_cast<int>(i));
        }
    }
}

void CGammaTargetDialog::SetParameter(double value) {
    parameter_->setValue(value);
}

Target CGammaTargetDialog::Chosen() const {
    const TargetChoice& choice = kChoices.at(static_cast<std::size_t>(kind_->currentIndex()));
    return Target{choice.kind, choice.parameterName ? parameter_->value() : 0.0};
}

GammaTargetChooser CGammaTargetDialog::Chooser() {
    return [](QWidget* parent) -> std::optional<Target> {
        CGammaTargetDialog dialog(parent);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.Chosen();
    };
}

} // namespace tonedesk
