#include "Artwork.h"

#include "PreparedPicture.h"
#include "mnemora_layout.h"

#include <QEvent>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>

#include <cstring>

namespace mnemora {

namespace {

const QString ArtFolder = QStringLiteral(":/art/");

class IconOncePainted final : public QObject {
public:
    explicit IconOncePainted(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint) {
            m_window->removeEventFilter(this);
            // Queued: the paint under way, children included, ends first.
            QTimer::singleShot(0, m_window, [window = m_window] { window->setWindowIcon(WindowIcon()); });
            deleteLater();
        }
        return false;
    }

private:
    QWidget *m_window;
};

// The pixels prepared at build time of the pictures shown at start
// (prepare_pictures.cpp), compiled in uncompressed: the image uses them where
// they lie, read-only, so nothing is decoded, inflated or copied before the
// window shows. A pixmap made from it keeps sharing them as long as nothing
// paints into it or changes its pixel ratio.
QImage Prepared(const QString &fileName)
{
    const QByteArray wanted = fileName.toLatin1();
    for (std::size_t i = 0; i < PreparedPictureCount; ++i) {
        const PreparedPictureData &picture = PreparedPictures[i];
        if (wanted != picture.name)
            continue;
        if (picture.size < sizeof(PreparedHeader))
            return {};
        PreparedHeader header{};
        std::memcpy(&header, picture.bytes, sizeof header);
        const std::size_t rowBytes = std::size_t(header.width) * 4;
        if (header.magic != PreparedMagic || header.width == 0 || header.height == 0 || header.width > 0x4000
            || header.height > 0x4000 || header.bytesPerLine < rowBytes || header.bytesPerLine % 4 != 0
            || picture.size != sizeof header + std::size_t(header.bytesPerLine) * header.height)
            return {};
        return QImage(picture.bytes + sizeof header, int(header.width), int(header.height),
            qsizetype(header.bytesPerLine), PreparedFormat(header.alpha != 0));
    }
    return {};
}

QPixmap Decoded(const QString &fileName)
{
    QImage prepared = Prepared(fileName);
    return prepared.isNull() ? QPixmap(ArtFolder + fileName) : QPixmap::fromImage(prepared);
}

QString TwiceSizeName(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return fileName.left(dot) + QStringLiteral("@2x.png");
}

} // namespace

QPixmap LoadPicture(const QString &fileName, qreal devicePixelRatio)
{
    QPixmap picture = Decoded(fileName);
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

void SetWindowIconOncePainted(QWidget *window)
{
    new IconOncePainted(window);
}

QCursor HandCursor()
{
    return QCursor(Decoded(QStringLiteral("hand.png")), 6, 0);
}

} // namespace mnemora
