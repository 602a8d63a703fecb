#include "Clipboard.h"

#include <QByteArrayView>
#include <QClipboard>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

namespace mnemora {

Clipboard::Clipboard(std::chrono::milliseconds clearDelay, QObject *parent)
    : QObject(parent)
    , m_clearTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("Clipboard"));
    m_clearTimer->setObjectName(QStringLiteral("ClipboardClearTimer"));
    m_clearTimer->setSingleShot(true);
    m_clearTimer->setInterval(clearDelay);
    connect(m_clearTimer, &QTimer::timeout, this, &Clipboard::clearIfUnchanged);
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &Clipboard::clearIfUnchanged);
}

Clipboard::~Clipboard()
{
    clearIfUnchanged();
}

void Clipboard::copySecret(const QString &secret)
{
    if (secret.isEmpty())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setMimeData(secretMimeData(secret), QClipboard::Clipboard);
    m_fingerprint = Fingerprint(secret);
    m_ownershipReported = clipboard->ownsClipboard();
    m_clearTimer->start();
}

void Clipboard::clearIfUnchanged()
{
    m_clearTimer->stop();
    if (m_fingerprint.isEmpty() || QGuiApplication::instance() == nullptr)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    const bool ours = !m_ownershipReported || clipboard->ownsClipboard();
    if (ours && Fingerprint(clipboard->text(QClipboard::Clipboard)) == m_fingerprint)
        clipboard->clear(QClipboard::Clipboard);
    m_fingerprint.clear();
}

std::chrono::milliseconds Clipboard::clearDelay() const
{
    return m_clearTimer->intervalAsDuration();
}

QMimeData *Clipboard::secretMimeData(const QString &secret)
{
    auto *mime = new QMimeData;
    mime->setText(secret);
    mime->setData(QString::fromLatin1(KdeHintFormat), QByteArrayLiteral("secret"));
    mime->setData(QString::fromLatin1(MacConcealedFormat), secret.toUtf8());
    // Windows looks only at whether this format is present.
    mime->setData(QString::fromLatin1(WindowsExcludeFromMonitorsFormat), QByteArray(1, '\0'));
    // A DWORD 0 says no to the clipboard history and to the cloud clipboard.
    const QByteArray no(4, '\0');
    mime->setData(QString::fromLatin1(WindowsHistoryFormat), no);
    mime->setData(QString::fromLatin1(WindowsCloudFormat), no);
    return mime;
}

QByteArray Clipboard::Fingerprint(const QString &text)
{
    if (text.isEmpty())
        return {};
    // Hashes the UTF-16 units in place rather than a converted copy.
    const QByteArrayView units(reinterpret_cast<const char *>(text.constData()),
        text.size() * static_cast<qsizetype>(sizeof(QChar)));
    return QCryptographicHash::hash(units, QCryptographicHash::Sha256);
}

} // namespace mnemora
