#include "TextBox.h"

#include <QFocusEvent>
#include <QMouseEvent>

namespace mnemora {

void TextBox::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        m_focusByClick = true;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        break;
    default:
        emit gotFocus();
        break;
    }
}

void TextBox::focusOutEvent(QFocusEvent *event)
{
    m_focusByClick = false;
    QLineEdit::focusOutEvent(event);
}

void TextBox::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (m_focusByClick) {
        m_focusByClick = false;
        emit gotFocus();
    }
}

} // namespace mnemora
