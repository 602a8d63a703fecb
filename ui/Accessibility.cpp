#include "Accessibility.h"

#include "Label.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QMetaObject>
#include <QStyle>

namespace mnemora {

namespace {

class LabelInterface final : public QAccessibleWidget {
public:
    explicit LabelInterface(Label *label)
        : QAccessibleWidget(label, label->accessibleRole())
    { }

    QStringList actionNames() const override
    {
        if (label()->isClickable())
            return {pressAction()};
        return QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction() && label()->isClickable()) {
            // After the request has been answered: a page may take a while to open.
            QMetaObject::invokeMethod(label(), &Label::clicked, Qt::QueuedConnection);
            return;
        }
        QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    int childCount() const override { return static_cast<int>(shownChildren().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> children = shownChildren();
        if (index < 0 || index >= children.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(children.at(index));
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        return static_cast<int>(shownChildren().indexOf(qobject_cast<QWidget *>(child->object())));
    }

private:
    Label *label() const { return static_cast<Label *>(widget()); }

    QList<QWidget *> shownChildren() const
    {
        QList<QWidget *> children;
        for (QObject *object : widget()->children()) {
            auto *child = qobject_cast<QWidget *>(object);
            const auto *decoration = qobject_cast<Label *>(object);
            if (child && !child->isWindow() && !(decoration && decoration->isDecorative()))
                children.append(child);
        }
        return children;
    }
};

QAccessibleInterface *LabelFactory(const QString &, QObject *object)
{
    if (auto *label = qobject_cast<Label *>(object))
        return new LabelInterface(label);
    return nullptr;
}

void Forward(QAccessibleEvent *event);

constexpr char Unheard[] = "mnemoraUnheard";

// The mask of a password box's text, or nothing where it shows nothing.
QString Masked(const QLineEdit *box, const QString &text)
{
    if (box->echoMode() == QLineEdit::NoEcho)
        return {};
    const QChar mask(box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box));
    return QString(text.size(), mask);
}

void MaskPasswordText(QAccessibleEvent *event)
{
    if (event->object() && event->object()->property(Unheard).toBool())
        return;
    const QAccessible::Event type = event->type();
    auto *box = type == QAccessible::TextInserted || type == QAccessible::TextRemoved
            || type == QAccessible::TextUpdated
        ? qobject_cast<QLineEdit *>(event->object())
        : nullptr;
    if (!box || box->echoMode() == QLineEdit::Normal)
        return Forward(event);

    if (type == QAccessible::TextInserted) {
        const auto *typed = static_cast<const QAccessibleTextInsertEvent *>(event);
        QAccessibleTextInsertEvent masked(box, typed->changePosition(), Masked(box, typed->textInserted()));
        masked.setCursorPosition(typed->cursorPosition());
        Forward(&masked);
    } else if (type == QAccessible::TextRemoved) {
        const auto *removed = static_cast<const QAccessibleTextRemoveEvent *>(event);
        QAccessibleTextRemoveEvent masked(
            box, removed->changePosition(), Masked(box, removed->textRemoved()));
        masked.setCursorPosition(removed->cursorPosition());
        Forward(&masked);
    } else {
        const auto *updated = static_cast<const QAccessibleTextUpdateEvent *>(event);
        QAccessibleTextUpdateEvent masked(box, updated->changePosition(), Masked(box, updated->textRemoved()),
            Masked(box, updated->textInserted()));
        masked.setCursorPosition(updated->cursorPosition());
        Forward(&masked);
    }
}

// Hands an event on to the platform's bridge. Qt calls an installed handler
// instead of the bridge and offers no way to chain to it, so the handler
// steps aside for the one event.
void Forward(QAccessibleEvent *event)
{
    const QAccessible::UpdateHandler self = QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(self);
}

} // namespace

void KeepFromAssistiveTechnology(QObject *object)
{
    object->setProperty(Unheard, true);
}

void SetUpAccessibility()
{
    static const bool done = [] {
        QAccessible::installFactory(LabelFactory);
        QAccessible::installUpdateHandler(MaskPasswordText);
        return true;
    }();
    (void)done;
}

} // namespace mnemora
