#include "ui/widgets/NumberEdit.h"

#include "support/TextScan.h"

#include <QLineEdit>
#include <QValidator>

namespace tonedesk {

namespace {

// Lets the user type no more than the limit; texts the program sets are shown whole.
class LengthLimit final : public QValidator {
public:
    LengthLimit(QLineEdit* edit, const std::int32_t& limit, const QString& shown)
        : QValidator(edit), limit_(limit), shown_(shown) {}
    State validate(QString& input, int&) const override {
        const bool grew = input.size() > shown_.size();
        return grew && input.size() > limit_ ? Invalid : Acceptable;
    }

private:
    const std::int32_t& limit_;
    const QString& shown_; // the text before this change
};

} // namespace

CNumberEdit::CNumberEdit() = default;
CNumberEdit::~CNumberEdit() = default;

void CNumberEdit::Attach(QLineEdit* edit) {
    edit_ = edit;
    setParent(edit);
    edit->setMaxLength(32767);
    shown_ = edit->text();
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { shown_ = text; });
    edit->setValidator(new LengthLimit(edit, textLimit_, shown_));
}

void CNumberEdit::SetIntValue(std::int32_t value, std::int32_t textLimit, std::int32_t minimum,
                              std::int32_t maximum) {
    if (textLimit != kKeepLimit) {
        textLimit_ = textLimit;
    }
    if (minimum != kKeepMinimum) {
        minimum_ = minimum;
    }
    if (maximum != kKeepMaximum) {
        maximum_ = maximum;
    }
    if (value < minimum_) {
        value = minimum_;
    } else if (value > maximum_) {
        value = maximum_;
    }
    if (edit_) {
        edit_->setText(QString::number(value));
        edit_->selectAll();
    }
}

std::int32_t CNumberEdit::GetIntValue(std::int32_t minimum, std::int32_t maximum,
                                      std::int32_t* flags) const {
    const std::string text =
        edit_ ? edit_->text().left(63).toLatin1().toStdString() : std::string();
    const char* end = nullptr;
    const std::int32_t number = ParseNumber(text.c_str(), &end);
    std::int32_t result = number;
    if (number < minimum) {
        result = minimum;
    } else if (number > maximum) {
        result = maximum;
    }
    if (flags) {
        if (end && *end != '\0') {
            *flags |= kTrailingText;
        }
        if (result != number) {
            *flags |= kClamped;
        }
    }
    return result;
}

} // namespace tonedesk
