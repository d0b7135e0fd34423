#include "Pictures.h"

#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

// A static library has to register its compiled-in resources itself.
static void registerPictures() {
    Q_INIT_RESOURCE(talvern);
}

namespace talvern::pictures {

namespace {

// Both pictures are read before the locked window first appears. Naming the format, and not letting
// the reader guess it, keeps it from loading and asking every image plugin of the system first.
QImage readBitmap(const char* path) {
    registerPictures();
    QImageReader reader(QString::fromLatin1(path), "bmp");
    reader.setAutoDetectImageFormat(false);
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
