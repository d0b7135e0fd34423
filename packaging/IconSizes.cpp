// Writes the program's picture as the PNG icons of the desktop's icon theme: one square PNG for
// each size asked for, named SIZE.png in the output folder.
//   talvern-icon-sizes PICTURE OUTPUT_FOLDER SIZE...
// Sizes up to the picture's own are scaled down smoothly; larger ones repeat each pixel, so the
// small picture stays crisp instead of turning into a blur.
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: talvern-icon-sizes PICTURE OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    const QImage picture(QString::fromLocal8Bit(argv[1]));
    if (picture.isNull()) {
        std::fprintf(stderr, "talvern-icon-sizes: cannot read %s\n", argv[1]);
        return 1;
    }
    const QImage square = picture.convertToFormat(QImage::Format_ARGB32);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) {
            std::fprintf(stderr, "talvern-icon-sizes: %s is not a size\n", argv[i]);
            return 2;
        }
        const bool larger = size > square.width() || size > square.height();
        const QImage icon = square.scaled(size, size, Qt::IgnoreAspectRatio,
                                          larger ? Qt::FastTransformation : Qt::SmoothTransformation);
        const QString path = QString::fromLocal8Bit(argv[2]) + QStringLiteral("/%1.png").arg(size);
        if (!icon.save(path, "PNG")) {
            std::fprintf(stderr, "talvern-icon-sizes: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
