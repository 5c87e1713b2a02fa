#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <limits>

class QLineEdit;

namespace tonedesk {

// Shows and reads a bounded integer in a line edit.
class CNumberEdit : public QObject {
    Q_OBJECT
public:
    static constexpr std::int32_t kKeepLimit = std::numeric_limits<std::int32_t>::max();
    static constexpr std::int32_t kKeepMinimum = std::numeric_limits<std::int32_t>::max();
    static constexpr std::int32_t kKeepMaximum = std::numeric_limits<std::int32_t>::min();

    // Bits of GetIntValue's flags.
    static constexpr std::int32_t kTrailingText = 1; // characters follow the number
    static constexpr std::int32_t kClamped = 2;      // the result differs from the number typed

    CNumberEdit();
    ~CNumberEdit() override;

    // Attaches to `edit`, which then owns this object.
    void Attach(QLineEdit* edit);

    // Stores the limit and range (kKeep* keeps a stored field), clamps the value to the range,
    // shows it, selects the whole text and lets the user type at most textLimit characters.
    virtual void SetIntValue(std::int32_t value, std::int32_t textLimit = kKeepLimit,
                             std::int32_t minimum = kKeepMinimum,
                             std::int32_t maximum = kKeepMaximum);
    // The number in the text, clamped to minimum..maximum (the stored range is not used). flags,
    // when given, gets kTrailingText and kClamped set as they apply; its other bits stay.
    virtual std::int32_t GetIntValue(std::int32_t minimum, std::int32_t maximum,
                                     std::int32_t* flags = nullptr) const;

    std::int32_t Minimum() const { return minimum_; }
    std::int32_t Maximum() const { return maximum_; }
    std::int32_t TextLimit() const { return textLimit_; }
    QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_ = nullptr;
    std::int32_t minimum_ = std::numeric_limits<std::int32_t>::min();
    std::int32_t maximum_ = std::numeric_limits<std::int32_t>::max();
    std::int32_t textLimit_ = 0x7FFF;
    QString shown_; // the edit's text as last changed
};

} // namespace tonedesk
