#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "mnemora_layout.h"

#include <chrono>

class QMimeData;
class QTimer;

namespace mnemora {

// Puts secrets on the system clipboard and takes them off again.
//
// A secret goes out as plain text together with the markers that ask
// clipboard managers, clipboard histories and cloud clipboards to leave it
// alone (KDE, macOS and Windows each read their own; the others ignore them).
// Only the clipboard proper is written, never the X11 selection.
//
// Some time after a copy the clipboard is emptied again, but only if it still
// holds that secret: whatever the user copied since is theirs. The secret
// itself is not kept for that comparison, only a digest of it. The same
// clear runs when the application quits or this object goes, before Qt
// hands the clipboard's content to a clipboard manager at exit.
//
// Only a clipboard this process owns is read. Once another program owns it,
// the user copied something there, or a clipboard manager took our secret
// over and already keeps it in its history, where emptying the clipboard
// would not reach; and reading another program's clipboard waits on that
// program (Qt blocks the event loop for up to 15 s on one that does not
// answer). So the secret is then forgotten without reading anything.
class Clipboard : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultClearDelay{layout::ClipboardClearMs};

    // The formats that mark a secret, and their contents besides the text itself.
    static constexpr const char *KdeHintFormat = "x-kde-passwordManagerHint";
    static constexpr const char *MacConcealedFormat = "application/x-nspasteboard-concealed-type";
    static constexpr const char *WindowsExcludeFromMonitorsFormat
        = "ExcludeClipboardContentFromMonitorProcessing";
    static constexpr const char *WindowsHistoryFormat = "CanIncludeInClipboardHistory";
    static constexpr const char *WindowsCloudFormat = "CanUploadToCloudClipboard";

    explicit Clipboard(std::chrono::milliseconds clearDelay = DefaultClearDelay, QObject *parent = nullptr);
    ~Clipboard() override;

    Clipboard(const Clipboard &) = delete;
    Clipboard &operator=(const Clipboard &) = delete;

    // Replaces the clipboard's content with the secret and (re)starts the
    // delay after which it is cleared. An empty secret is ignored.
    void copySecret(const QString &secret);

    // Empties the clipboard if this process still owns it and it still holds
    // the secret copied last, and forgets that secret either way. Runs by
    // itself when the delay expires and when the application quits.
    void clearIfUnchanged();

    std::chrono::milliseconds clearDelay() const;

    // The clipboard content for a secret: the text plus every marker.
    static QMimeData *secretMimeData(const QString &secret);

private:
    static QByteArray Fingerprint(const QString &text);

    QTimer *m_clearTimer;
    // Digest of the secret copied last; empty when there is nothing to clear.
    QByteArray m_fingerprint;
    // Whether the platform reports which program owns the clipboard. Qt's
    // offscreen and minimal platforms do not; their clipboard lives inside
    // this process, so reading it there cannot wait on anyone.
    bool m_ownershipReported = false;
};

} // namespace mnemora
