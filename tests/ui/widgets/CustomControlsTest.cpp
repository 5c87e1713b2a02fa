#include "common/GuiTestKit.h"

#include "ui/widgets/BitmapStatic.h"
#include "ui/widgets/NumberEdit.h"
#include "ui/widgets/RepeatButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace tonedesk::test {
namespace {

class CustomControlsTest : public GuiTest {};

TEST_F(CustomControlsTest, NumberEditShowsClampedValuesAndKeepsWhatItIsToldToKeep) {
    QLineEdit edit;
    auto* number = new CNumberEdit;
    number->Attach(&edit);
    EXPECT_EQ(number->parent(), &edit);

    number->SetIntValue(45, 3, -30, 30);
    EXPECT_EQ(edit.text(), QStringLiteral("30"));
    EXPECT_EQ(edit.selectedText(), QStringLiteral("30"));
    EXPECT_EQ(number->TextLimit(), 3);

    number->SetIntValue(5, CNumberEdit::kKeepLimit, CNumberEdit::kKeepMinimum,
                        CNumberEdit::kKeepMaximum);
    EXPECT_EQ(edit.text(), QStringLiteral("5"));
    EXPECT_EQ(number->TextLimit(), 3);
    EXPECT_EQ(number->Minimum(), -30);
    EXPECT_EQ(number->Maximum(), 30);

    // A value the program sets is shown whole even beyond the limit...
    number->SetIntValue(-30);
    EXPECT_EQ(edit.text(), QStringLiteral("-30"));
    // ...while the user types at most three characters.
    ShowReady(edit);
    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("12345"));
    EXPECT_EQ(edit.text(), QStringLiteral("123"));
}

TEST_F(CustomControlsTest, NumberEditReadsClampedNumbersWithFlags) {
    QLineEdit edit;
    auto* number = new CNumberEdit;
    number->Attach(&edit);
    struct Case {
        const char* text;
        std::int32_t expected;
        std::int32_t flags;
    };
    const Case cases[] = {
        {"12abc", 12, CNumberEdit::kTrailingText},
        {"99", 30, CNumberEdit::kClamped},
        {"-99", -30, CNumberEdit::kClamped},
        {"", 0, 0},
        {"  -7", -7, 0},
        {"$1F", 30, CNumberEdit::kClamped},
        {"%101", 5, 0},
        {"0x10", 16, 0},
        {"abc", 0, CNumberEdit::kTrailingText},
        {"40x", 30, CNumberEdit::kTrailingText | CNumberEdit::kClamped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        edit.setText(QString::fromLatin1(c.text));
        std::int32_t flags = 0;
        EXPECT_EQ(number->GetIntValue(-30, 30, &flags), c.expected);
        EXPECT_EQ(flags, c.flags);
    }
    // Other bits are the caller's.
    edit.setText(QStringLiteral("5"));
    std::int32_t flags = 0x40;
    EXPECT_EQ(number->GetIntValue(-30, 30, &flags), 5);
    EXPECT_EQ(flags, 0x40);
    EXPECT_EQ(number->GetIntValue(-30, 30), 5);
}

TEST_F(CustomControlsTest, RepeatButtonClicksOncePerIntervalHeldPlusTheRelease) {
    struct Case {
        std::int32_t interval;
        Tick held;
        int repeats;
    };
    const Case cases[] = {{250, 1000, 4}, {250, 999, 3}, {250, 249, 0}, {100, 1050, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.held);
        ManualClock clock;
        QPushButton button(QStringLiteral("+"));
        auto* repeat = new CRepeatButton(c.interval, &clock);
        repeat->Attach(&button);
        QSignalSpy clicks(&button, &QAbstractButton::clicked);
        ShowReady(button);

        QTest::mousePress(&button, Qt::LeftButton);
        EXPECT_TRUE(repeat->IsHeld());
        // The timer's ticks come late or not at all: the count follows the clock.
        for (Tick t = 0; t < c.held; t += 170) {
            clock.Advance(std::min<Tick>(170, c.held - t));
            repeat->PostDueRepeats();
            QCoreApplication::processEvents();
        }
        const int beforeRelease = clicks.count();
        QTest::mouseRelease(&button, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_FALSE(repeat->IsHeld());
        EXPECT_EQ(clicks.count(), c.repeats + 1);
        EXPECT_GE(beforeRelease, c.repeats - 1);

        // Nothing more once released.
        clock.Advance(5000);
        repeat->PostDueRepeats();
        QCoreApplication::processEvents();
        EXPECT_EQ(clicks.count(), c.repeats + 1);
    }
}

TEST_F(CustomControlsTest, BitmapStaticPaintsTheBitmapOfItsBundleOrPaintsAsUsual) {
    const QImage bitmap = ProgramBundle().Bitmap(189).toImage();
    ASSERT_FALSE(bitmap.isNull());

    QLabel withBitmap(QStringLiteral("text"));
    withBitmap.setProperty("bitmap", 189);
    withBitmap.resize(60, 40);
    auto* painter = new CBitmapStatic;
    painter->Attach(&withBitmap);
    // The bundle that was current when it was attached stays its source.
    SetCurrentBundle(nullptr);
    EXPECT_EQ(painter->SourceBundle(), &ProgramBundle());
    EXPECT_EQ(painter->BitmapNumber(), 189);
    const QImage shown = withBitmap.grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), bitmap.pixel(0, 0));
    EXPECT_EQ(shown.pixel(59, 39), bitmap.pixel(59, 39));
    SetCurrentBundle(&ProgramBundle());

    // Named by its own id, with no such bitmap: a normal label.
    QLabel plain(QStringLiteral("text"));
    plain.resize(60, 40);
    const QImage expected = plain.grab().toImage();
    QLabel missing(QStringLiteral("text"));
    missing.setObjectName(QStringLiteral("id4711"));
    missing.resize(60, 40);
    auto* none = new CBitmapStatic;
    none->Attach(&missing);
    EXPECT_EQ(none->BitmapNumber(), 4711);
    EXPECT_EQ(missing.grab().toImage(), expected);

    // Without an id there is no bitmap to look for.
    QLabel noId(QStringLiteral("text"));
    auto* unnamed = new CBitmapStatic;
    unnamed->Attach(&noId);
    EXPECT_EQ(unnamed->BitmapNumber(), -1);
}

} // namespace
} // namespace tonedesk::test
