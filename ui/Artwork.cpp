#include "Artwork.h"

#include "PreparedPicture.h"
#include "mnemora_layout.h"

#include <QEvent>
#include <QFile>
#include <QImage>
#include <QResource>
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
// (prepare_pictures.cpp), stored uncompressed so that nothing is decoded or
// inflated before the window shows.
const QString PreparedFolder = QStringLiteral(":/art/prepared/");

QImage Prepared(const QString &fileName)
{
    const QResource resource(PreparedFolder + fileName);
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression
        || resource.size() < qint64(sizeof(PreparedHeader)))
        return {};
    PreparedHeader header{};
    std::memcpy(&header, resource.data(), sizeof header);
    const qint64 rowBytes = qint64(header.width) * 4;
    if (header.magic != PreparedMagic || header.width == 0 || header.height == 0 || header.width > 0x4000
        || header.height > 0x4000 || header.bytesPerLine < rowBytes
        || resource.size() != qint64(sizeof header) + qint64(header.bytesPerLine) * header.height)
        return {};
    // Copied rather than wrapped: resource data is not aligned for 32-bit pixels.
    QImage image(int(header.width), int(header.height), PreparedFormat(header.alpha != 0));
    if (image.isNull())
        return {};
    const uchar *rows = resource.data() + sizeof header;
    for (quint32 y = 0; y < header.height; ++y)
        std::memcpy(image.scanLine(int(y)), rows + qint64(y) * header.bytesPerLine, std::size_t(rowBytes));
    return image;
}

QPixmap Decoded(const QString &fileName)
{
    QImage prepared = Prepared(fileName);
    return prepared.isNull() ? QPixmap(ArtFolder + fileName) : QPixmap::fromImage(std::move(prepared));
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
