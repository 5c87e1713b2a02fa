#include "ui/widgets/BitmapWindow.h"

#include "ui/widgets/ResourceBundle.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tonedesk {

namespace {

std::int32_t ReadInt32(const QByteArray& d, qsizetype at) {
    const auto b = [&](qsizetype i) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + i]));
    };
    return static_cast<std::int32_t>(b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24));
}

int ReadInt16(const QByteArray& d, qsizetype at) {
    return static_cast<std::uint8_t>(d[at]) | (static_cast<std::uint8_t>(d[at + 1]) << 8);
}

QImage Reject(QString* why, const char* text) {
    if (why) {
        *why = QString::fromLatin1(text);
    }
    return {};
}

} // namespace

QImage DecodeBitmapFile(const QByteArray& data, QString* why) {
    constexpr qsizetype header = kBitmapFileHeaderSize;
    constexpr qsizetype pixels = header + kBitmapInfoHeaderSize + kBitmapPaletteSize;
    if (data.size() < pixels) {
        return Reject(why, "shorter than its headers and colour table");
    }
    const std::int32_t width = ReadInt32(data, header + 4);
    const std::int32_t height = ReadInt32(data, header + 8);
    if (ReadInt16(data, header + 14) != 8) {
        return Reject(why, "not an 8-bit bitmap");
    }
    if (ReadInt32(data, header + 16) != 0) {
        return Reject(why, "compressed");
    }
    if (width <= 0 || height == 0 || width > 32767 || std::abs(height) > 32767) {
        return Reject(why, "size out of range");
    }
    const int rows = std::abs(height);
    const qsizetype stride = (static_cast<qsizetype>(width) + 3) & ~qsizetype{3};
    if (data.size() - pixels < stride * rows) {
        return Reject(why, "shorter than its pixel rows");
    }
    QImage image(width, rows, QImage::Format_Indexed8);
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i) {
        const qsizetype e = header + kBitmapInfoHeaderSize + 4 * i;
        table[i] = qRgb(static_cast<std::uint8_t>(data[e + 2]),
                        static_cast<std::uint8_t>(data[e + 1]), static_cast<std::uint8_t>(data[e]));
    }
    image.setColorTable(table);
    for (int y = 0; y < rows; ++y) {
        const int source = height > 0 ? rows - 1 - y : y; // bottom-up unless the height is negative
        std::memcpy(image.scanLine(y), data.constData() + pixels + stride * source,
                    static_cast<std::size_t>(width));
    }
    return image;
}

QRect CenteredRect(const QSize& desktop, int w, int h) {
    return QRect((desktop.width() - w) / 2, (desktop.height() - h) / 2, w, h);
}

CBitmapWindow::CBitmapWindow(int templateId, BitmapName bitmap)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint), templateId_(templateId),
      bitmap_(std::move(bitmap)) {}

bool CBitmapWindow::Create() {
    const QWidget* form = BuildDialogFromForm(*this, templateId_);

    QByteArray bytes;
    if (const int* id = std::get_if<int>(&bitmap_)) {
        // A bitmap named by its id is only looked up in the bundle, never as a file.
        if (const ResourceBundle* bundle = CurrentBundle()) {
            bytes = bundle->BitmapData(*id);
        }
    } else {
        QFile file(std::get<QString>(bitmap_));
        if (file.open(QIODevice::ReadOnly)) {
            bytes = file.readAll();
        }
    }
    image_ = DecodeBitmapFile(bytes);
    if (!image_.isNull()) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QSize desktop = screen ? screen->geometry().size() : QSize();
        setGeometry(CenteredRect(desktop, image_.width(), image_.height()));
        update();
    }
    return form != nullptr;
}

void CBitmapWindow::paintEvent(QPaintEvent* event) {
    if (image_.isNull()) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image_);
}

} // namespace tonedesk
