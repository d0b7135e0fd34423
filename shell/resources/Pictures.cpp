#include "Pictures.h"

#include <QImageReader>

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

} // namespace talvern::pictures
