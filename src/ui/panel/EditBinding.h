#pragma once

#include "ui/panel/ControlBinding.h"

namespace tonedesk {

// A numeric edit ([EDIT]): a QLineEdit with a CNumberEdit attached. Shows the value as "%d"
// text and sends the text's number limited to MIN..MAX.
class EditBinding : public ControlBinding {
public:
    using ControlBinding::ControlBinding;

    QObject* Prepare(const ModelControl& control) override;
    void Show(const ModelControl& control, int position, std::int32_t value) override;
    std::optional<ControlChoice> Read(const ModelControl& control) const override;

    // The edit's text read as a decimal number, as atoi does (0 for any other widget).
    static std::int32_t Number(const QWidget* item);
};

} // namespace tonedesk
