#pragma once

#include <QAccessible>
#include <QLabel>

namespace mnemora {

// A label or picture of the window whose part for assistive technology is
// fixed when it is made: a button or a link (both clickable), a grouping, a
// notification, a graphic, or nothing at all for pure decoration.
//
// The role is a constructor argument rather than a property set later: Qt
// creates a control's accessible interface the first time anything asks for
// it and keeps it, possibly while the window is still being built.
//
// A clickable one reports one click for every press and release of the left
// button on it. The second press of a double-click is a double-click, not
// another click, so a double-click acts once.
class Label : public QLabel {
    Q_OBJECT

public:
    // QAccessible::NoRole marks decoration that assistive technology never sees.
    explicit Label(QAccessible::Role role, QWidget *parent = nullptr);

    QAccessible::Role accessibleRole() const noexcept { return m_role; }
    bool isClickable() const noexcept;
    bool isDecorative() const noexcept { return m_role == QAccessible::NoRole; }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QAccessible::Role m_role;
    // The left button went down on this control with a single press.
    bool m_pressed = false;
};

} // namespace mnemora
