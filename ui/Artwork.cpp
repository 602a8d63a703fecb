#include "Artwork.h"

#include "mnemora_layout.h"

#include <QFile>
#include <QSize>
#include <QtGlobal>

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
    QIcon icon;
    for (const layout::PictureFile &picture : layout::Pictures) {
        const QString file = QString::fromLatin1(picture.file);
        if (file.startsWith(QStringLiteral("icon-")))
            icon.addFile(ArtFolder + file, QSize(picture.width, picture.height));
    }
    return icon;
}

QCursor HandCursor()
{
    return QCursor(QPixmap(ArtFolder + QStringLiteral("hand.png")), 6, 0);
}

} // namespace mnemora
