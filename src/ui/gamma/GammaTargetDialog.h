#pragma once

#include "color/Target.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

namespace tonedesk {

// Asks for a standard response to set the curves to; nothing when the user cancelled.
using GammaTargetChooser = std::function<std::optional<Target>(QWidget* parent)>;

// Picks a standard response (gamma, sRGB, BT.1886, L*, PQ, HLG) and its parameter, where the
// response has one, within the parameter's range.
class CGammaTargetDialog : public QDialog {
    Q_OBJECT
public:
    explicit CGammaTargetDialog(QWidget* parent = nullptr);

    // The response and parameter the controls show.
    Target Chosen() const;
    // Shows `kind` with its default parameter.
    void SelectKind(TargetKind kind);
    void SetParameter(double value);

    QComboBox* KindBox() const { return kind_; }
    QDoubleSpinBox* ParameterBox() const { return parameter_; }

    // The program's chooser: this dialog, run modally.
    static GammaTargetChooser Chooser();

private:
    void ShowKind(int item);

    QComboBox* kind_ = nullptr;
    QLabel* parameterLabel_ = nullptr;
    QDoubleSpinBox* parameter_ = nullptr;
};

} // namespace tonedesk
