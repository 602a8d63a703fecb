// Build step: decodes each picture the window shows at start and writes its
// pixels in the form a raster pixmap keeps them (32-bit, premultiplied when
// the picture has transparency), so that the window copies them at start
// instead of decoding GIF, JPEG or PNG. The same decoder as at run time, so
// the pixels are those the window used to decode itself.
//
// Usage: mnemora-prepare-pictures output-folder picture...
// Each output file is named as its picture and holds the header of
// PreparedPicture.h followed by the rows.

#include "PreparedPicture.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: mnemora-prepare-pictures output-folder picture...\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        QImage image(path);
        if (image.isNull()) {
            std::fprintf(stderr, "mnemora-prepare-pictures: cannot decode %s\n", argv[i]);
            return 1;
        }
        const bool alpha = image.hasAlphaChannel();
        image = std::move(image).convertToFormat(mnemora::PreparedFormat(alpha));
        const mnemora::PreparedHeader header{mnemora::PreparedMagic, static_cast<quint32>(image.width()),
            static_cast<quint32>(image.height()), static_cast<quint32>(image.bytesPerLine()),
            image.hasAlphaChannel() ? 1U : 0U};
        QFile out(folder + QLatin1Char('/') + QFileInfo(path).fileName());
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || out.write(reinterpret_cast<const char *>(&header), sizeof header) != sizeof header
            || out.write(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes())
                != image.sizeInBytes()
            || !out.flush()) {
            std::fprintf(stderr, "mnemora-prepare-pictures: cannot write %s\n", qPrintable(out.fileName()));
            return 1;
        }
    }
    return 0;
}
