#include "Artwork.h"

#include "mnemora_layout.h"

#include <QEvent>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>

#include <future>

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

// Pictures decoded ahead by PreloadPictures, by file name, in the formats
// a pixmap keeps them in.
using Decoded = QHash<QString, QImage>;
std::future<Decoded> g_preloading;

QImage Preloaded(const QString &fileName)
{
    static Decoded decoded;
    if (g_preloading.valid())
        decoded = g_preloading.get();
    return decoded.take(fileName);
}

QString TwiceSizeName(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return fileName.left(dot) + QStringLiteral("@2x.png");
}

} // namespace

void PreloadPictures()
{
    g_preloading = std::async(std::launch::async, [] {
        Decoded decoded;
        for (const layout::ControlPlace &place : layout::Controls) {
            if (!*place.picture)
                continue;
            QImage image(ArtFolder + QString::fromLatin1(place.picture));
            const QImage::Format format
                = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
            decoded.insert(QString::fromLatin1(place.picture), std::move(image).convertToFormat(format));
        }
        return decoded;
    });
}

QPixmap LoadPicture(const QString &fileName, qreal devicePixelRatio)
{
    QImage preloaded = Preloaded(fileName);
    QPixmap picture
        = preloaded.isNull() ? QPixmap(ArtFolder + fileName) : QPixmap::fromImage(std::move(preloaded));
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
    return QCursor(QPixmap(ArtFolder + QStringLiteral("hand.png")), 6, 0);
}

} // namespace mnemora
