#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

namespace mnemora {

// The window's pictures, compiled into the program under ":/art/".

// One picture by file name ("background.gif"), sized for a screen of the given
// device pixel ratio: its logical size is always the 1x picture's size. Above
// ratio 1 the 2x rendition ("background@2x.png") is used where one was drawn;
// other pictures are scaled up smoothly.
QPixmap LoadPicture(const QString &fileName, qreal devicePixelRatio);

// The window icon in every size that was drawn.
QIcon WindowIcon();

// Gives the window its icon once it has been painted for the first time:
// decoding every size of the icon is no part of what the user waits for
// before the window appears, and desktops take a window's icon at any time.
void SetWindowIconOncePainted(QWidget *window);

// The pointing hand shown over every control that reacts to a click; its hot
// spot is the fingertip at (6, 0).
QCursor HandCursor();

} // namespace mnemora
