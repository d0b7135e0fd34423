#include "Pictures.h"

#include "Bitmap24.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include <cstring>

// A static library has to register its compiled-in resources itself.
static void registerPictures() {
    Q_INIT_RESOURCE(talvern);
}

namespace talvern::pictures {

namespace {

// Both pictures are read before the locked window first appears, without Qt's image reader (see
// Bitmap24.h); should a picture ever be replaced by another kind of bitmap, the reader takes it.
QImage readBitmap(const char* path) {
    registerPictures();
    QFile file(QString::fromLatin1(path));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (const auto bitmap = readBitmap24(view)) {
            QImage image(bitmap->width, bitmap->height, QImage::Format_RGB32);
            for (int y = 0; y < bitmap->height; ++y)
                std::memcpy(image.scanLine(y), bitmap->pixels.data() + static_cast<std::size_t>(y) * bitmap->width,
                            static_cast<std::size_t>(bitmap->width) * sizeof(std::uint32_t));
            return image;
        }
    }
    QImageReader reader(QString::fromLatin1(path), "bmp");
    return reader.read();
}

} // namespace

QPixmap splash() {
    return QPixmap::fromImage(readBitmap(":/talvern/splash.bmp"));
}

QIcon windowIcon() {
    return QIcon(QPixmap::fromImage(readBitmap(":/talvern/icon.bmp")));
}

QIcon okGlyph() {
    QIcon icon;
    for (const int side : {16, 32}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(side / 16.0, side / 16.0);
        QPainterPath tick;
        tick.moveTo(2.5, 8.5);
        tick.lineTo(6.5, 12.5);
        tick.lineTo(13.5, 3.5);
        painter.setPen(QPen(QColor(0, 128, 0), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(tick);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace talvern::pictures
