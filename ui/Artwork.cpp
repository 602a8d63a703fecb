#include "Artwork.h"

#include <QFile>
#include <QSize>
#include <QtGlobal>

#include <array>

namespace mnemora {

namespace {

const QString ArtFolder = QStringLiteral(":/art/");

QString TwiceSizeName(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return fileName.left(dot) + QStringLiteral("@2x.png");
}

} // namespace

QPixmap LoadPicture(const QString &fileName, qreal devicePixelRatio)
{
    QPixmap picture(ArtFolder + fileName);
    if (devicePixelRatio <= 1.0 || picture.isNull())
        return picture;

    const QString twice = ArtFolder + TwiceSizeName(fileName);
    if (QFile::exists(twice)) {
        QPixmap sharp(twice);
        // The 2x rendition covers the same logical area only if it is exactly twice as large.
        if (sharp.size() == picture.size() * 2) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }

    const QSize device(
        qRound(picture.width() * devicePixelRatio), qRound(picture.height() * devicePixelRatio));
    QPixmap scaled = picture.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(devicePixelRatio);
    return scaled;
}

QIcon WindowIcon()
{
    static constexpr std::array Sizes{16, 24, 32, 48, 64, 128, 256};
    QIcon icon;
    for (const int size : Sizes)
        icon.addFile(ArtFolder + QStringLiteral("icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

QCursor HandCursor()
{
    return QCursor(QPixmap(ArtFolder + QStringLiteral("hand.png")), 6, 0);
}

} // namespace mnemora
