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
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

signals:
    void gotFocus();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_focusByClick = false;
};

} // namespace mnemora
