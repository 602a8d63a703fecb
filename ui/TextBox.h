#pragma once

#include <QLineEdit>

namespace mnemora {

// A single-line text box that reports when it has received the keyboard
// focus, so that the window can select its whole text.
//
// QLineEdit moves the cursor on the mouse press that gives it the focus,
// which would undo a selection made when the focus arrived. A focus that
// comes with a click is therefore reported once that click is over; a focus
// that comes back with the window's activation is not reported, since the box
// keeps its selection across it.
//
// A box that holds a secret for the user to copy hands every copy to the
// window (copyRequested) instead of copying the text itself: the keyboard's
// Copy and the context menu's Copy alike. QLineEdit would also put every
// selection made with the mouse or the keyboard on the X11 primary
// selection, where any program reads it; such a box never does.
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

    void setCopyHandedOver(bool handedOver) { m_copyHandedOver = handedOver; }

signals:
    void gotFocus();
    // Copy was asked for; selectedText() is what to copy.
    void copyRequested();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    bool m_focusByClick = false;
    bool m_copyHandedOver = false;
};

} // namespace mnemora
