#include "TextBox.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <array>
#include <utility>

namespace mnemora {

namespace {

using Move = void (*)(QLineEdit *);

// The keys that move the cursor or the selection in a read-only box, done
// through QLineEdit's own functions: its key handling would end each of them
// by exporting the selection.
const std::array<std::pair<QKeySequence::StandardKey, Move>, 17> Moves{{
    {QKeySequence::SelectAll, [](QLineEdit *box) { box->selectAll(); }},
    {QKeySequence::MoveToStartOfLine, [](QLineEdit *box) { box->home(false); }},
    {QKeySequence::MoveToStartOfBlock, [](QLineEdit *box) { box->home(false); }},
    {QKeySequence::MoveToEndOfLine, [](QLineEdit *box) { box->end(false); }},
    {QKeySequence::MoveToEndOfBlock, [](QLineEdit *box) { box->end(false); }},
    {QKeySequence::SelectStartOfLine, [](QLineEdit *box) { box->home(true); }},
    {QKeySequence::SelectStartOfBlock, [](QLineEdit *box) { box->home(true); }},
    {QKeySequence::SelectEndOfLine, [](QLineEdit *box) { box->end(true); }},
    {QKeySequence::SelectEndOfBlock, [](QLineEdit *box) { box->end(true); }},
    {QKeySequence::MoveToNextChar,
        [](QLineEdit *box) {
            box->hasSelectedText() ? box->setCursorPosition(box->selectionEnd()) : box->cursorForward(false);
        }},
    {QKeySequence::MoveToPreviousChar,
        [](QLineEdit *box) {
            box->hasSelectedText() ? box->setCursorPosition(box->selectionStart())
                                   : box->cursorBackward(false);
        }},
    {QKeySequence::SelectNextChar, [](QLineEdit *box) { box->cursorForward(true); }},
    {QKeySequence::SelectPreviousChar, [](QLineEdit *box) { box->cursorBackward(true); }},
    {QKeySequence::MoveToNextWord, [](QLineEdit *box) { box->cursorWordForward(false); }},
    {QKeySequence::MoveToPreviousWord, [](QLineEdit *box) { box->cursorWordBackward(false); }},
    {QKeySequence::SelectNextWord, [](QLineEdit *box) { box->cursorWordForward(true); }},
    {QKeySequence::SelectPreviousWord, [](QLineEdit *box) { box->cursorWordBackward(true); }},
}};

} // namespace

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
    // The only other work of QLineEdit's left-button release concerns
    // dragging, which is off, and editing, which a read-only box does not do.
    if (!(m_copyHandedOver && event->button() == Qt::LeftButton))
        QLineEdit::mouseReleaseEvent(event);
    if (m_focusByClick) {
        m_focusByClick = false;
        emit gotFocus();
    }
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    if (!m_copyHandedOver || !isReadOnly())
        return QLineEdit::keyPressEvent(event);
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        return event->accept();
    }
    for (const auto &[key, move] : Moves) {
        if (event->matches(key)) {
            move(this);
            return event->accept();
        }
    }
    // Nothing else changes a read-only box; the window may use the key.
    event->ignore();
}

void TextBox::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_copyHandedOver)
        return QLineEdit::contextMenuEvent(event);
    // QLineEdit's own menu for a read-only box, in its words, with its Copy
    // handed over.
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto shortcut = [](QKeySequence::StandardKey key) {
        return QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText);
    };
    QAction *copy = menu->addAction(
        QLineEdit::tr("&Copy") + shortcut(QKeySequence::Copy), this, &TextBox::copyRequested);
    copy->setObjectName(QStringLiteral("edit-copy"));
    copy->setEnabled(hasSelectedText());
    menu->addSeparator();
    QAction *all = menu->addAction(
        QLineEdit::tr("Select All") + shortcut(QKeySequence::SelectAll), this, &QLineEdit::selectAll);
    all->setObjectName(QStringLiteral("select-all"));
    all->setEnabled(!text().isEmpty());
    menu->popup(event->globalPos());
}

} // namespace mnemora
