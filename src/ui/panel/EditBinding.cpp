#include "ui/panel/EditBinding.h"

#include "model/ModelFile.h"
#include "ui/widgets/NumberEdit.h"

#include <QLineEdit>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace tonedesk {

namespace {

constexpr int kMaxEditText = 255;

} // namespace

QObject* EditBinding::Prepare(const ModelControl& /*control*/) {
    auto* edit = qobject_cast<QLineEdit*>(Item());
    if (!edit) {
        return nullptr;
    }
    auto* number = new CNumberEdit;
    number->Attach(edit);
    return number;
}

void EditBinding::Show(const ModelControl& /*control*/, int /*position*/, std::int32_t value) {
    if (auto* edit = qobject_cast<QLineEdit*>(Item())) {
        edit->setText(QString::number(value));
    }
}

std::optional<ControlChoice> EditBinding::Read(const ModelControl& control) const {
    std::int32_t value = std::max(Number(Item()), control.min);
    value = std::min(value, control.max);
    return ControlChoice{0, value};
}

std::int32_t EditBinding::Number(const QWidget* item) {
    const auto* edit = qobject_cast<const QLineEdit*>(item);
    if (!edit) {
        return 0;
    }
    const std::string text = edit->text().left(kMaxEditText).toLatin1().toStdString();
    return static_cast<std::int32_t>(std::atoi(text.c_str()));
}

} // namespace tonedesk
