#pragma once

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QRect>
#include <QString>

#include <variant>

namespace tonedesk {

// Size of a bitmap file's own header, of the bitmap header and of its 256-entry colour table.
inline constexpr int kBitmapFileHeaderSize = 14;
inline constexpr int kBitmapInfoHeaderSize = 40;
inline constexpr int kBitmapPaletteSize = 256 * 4;

// Decodes a 256-colour bitmap file: the 14-byte file header, the 40-byte bitmap header, 256
// colour-table entries and rows of one byte a pixel (each row padded to 4 bytes; bottom-up, or
// top-down with a negative height). The pixels are always taken right after the 256 entries.
// Returns a null image for a file that is shorter than its headers, colour table and rows, or
// that is not an uncompressed 8-bit bitmap; `why` then says what is wrong.
QImage DecodeBitmapFile(const QByteArray& data, QString* why = nullptr);

// Where a window of w x h is placed to be centred on a desktop of that size: x = (desktop width
// - w) / 2 and y = (desktop height - h) / 2, truncated toward zero (negative when the window is
// larger).
QRect CenteredRect(const QSize& desktop, int w, int h);

// A modeless window that shows one 256-colour bitmap at its natural size, centred on the
// desktop. The bitmap is bitmap N of the current bundle, or a file when it is named by a path.
class CBitmapWindow : public QDialog {
    Q_OBJECT
public:
    using BitmapName = std::variant<int, QString>;

    CBitmapWindow(int templateId, BitmapName bitmap);

    // Builds the window from its form, loads the bitmap and places the window. True when the
    // form was found (a missing bitmap only leaves the window blank).
    bool Create();

    // The loaded bitmap; null when none could be loaded.
    const QImage& Image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int templateId_;
    BitmapName bitmap_;
    QImage image_;
};

} // namespace tonedesk
