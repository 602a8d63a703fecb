#pragma once

#include <QLineEdit>
#include <QMenu>
#include <QPointer>

#include <functional>
#include <utility>

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
//
// A box that takes input keeps the first line of what is pasted or dropped
// into it, by any of the keyboard, the context menu, the middle button and
// dragging, and says when a line break cut it short (pasteCut).
//
// A box that takes a secret as input keeps no undo history. QLineEdit
// records every character typed or deleted, one per 16-byte record, in a
// vector that clearing the box empties but never frees or overwrites, so the
// whole password could be read from the heap long after the box was cleared.
// Every edit of such a box is therefore made by a short-lived stand-in line
// edit, with QLineEdit's own rules, and the result set as the box's text
// (which records nothing); the stand-in and the history it recorded are freed
// after each edit. Undo and Redo find nothing to undo (Undo in a password box
// empties it, as QLineEdit's does).
//
// Such a box shown in clear (the key) puts its selection on the X11 primary
// selection, as QLineEdit does, where it lives on as a string of its own
// after the box is emptied. The box gives the primary selection up as soon
// as it has no selection any more: when it is cleared, deselected or loses
// the focus within the window.
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

    void setCopyHandedOver(bool handedOver) { m_copyHandedOver = handedOver; }
    // Adds the window's own entries to the context menu of a box whose copy
    // is handed over, after its Copy and Select All.
    void setMenuExtension(std::function<void(QMenu *)> extend) { m_extendMenu = std::move(extend); }
    void setHistoryKept(bool kept);

signals:
    void gotFocus();
    // Copy was asked for; selectedText() is what to copy.
    void copyRequested();
    // A paste or a drop brought a line break: only the text before it went in.
    void pasteCut();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    class StandIn;

    bool editsOnStandIn() const;
    // Makes one edit on a stand-in that starts with this box's text, cursor
    // and selection, and takes over what the edit left.
    void editOnStandIn(const std::function<void(StandIn &)> &edit);
    // Inserts the first line of a pasted or dropped text in place of the
    // selection (at the cursor without one), with QLineEdit's own rules.
    void insertPasted(const QString &pasted);
    void popUpMenu(QMenu *menu, QContextMenuEvent *event);
    QMenu *handOverCopyMenu();
    QMenu *historyFreeMenu();
    void addSelectAll(QMenu *menu);
    void releaseSelection();

    bool m_focusByClick = false;
    bool m_copyHandedOver = false;
    bool m_historyKept = true;
    std::function<void(QMenu *)> m_extendMenu;
    QPointer<QMenu> m_menu; // the context menu shown last
};

} // namespace mnemora
