#include "Label.h"

#include <QMouseEvent>

namespace mnemora {

Label::Label(QAccessible::Role role, QWidget *parent)
    : QLabel(parent)
    , m_role(role)
{ }

bool Label::isClickable() const noexcept
{
    return m_role == QAccessible::Button || m_role == QAccessible::Link;
}

void Label::mousePressEvent(QMouseEvent *event)
{
    if (!isClickable())
        return QLabel::mousePressEvent(event);
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void Label::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!isClickable())
        return QLabel::mouseDoubleClickEvent(event);
    // Not a press: the release that ends it makes no second click.
    m_pressed = false;
    event->accept();
}

void Label::mouseReleaseEvent(QMouseEvent *event)
{
    if (!isClickable())
        return QLabel::mouseReleaseEvent(event);
    const bool click
        = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

} // namespace mnemora
