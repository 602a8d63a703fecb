#include "TextBox.h"

#include "Accessibility.h"
#include "FirstLine.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
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

QString ShortcutText(QKeySequence::StandardKey key)
{
    return QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText);
}

// Cursor and selection of one box given to another: the selection's anchor
// is the end the cursor is not at.
void CopyCursor(const QLineEdit &from, QLineEdit &to)
{
    const int cursor = from.cursorPosition();
    if (!from.hasSelectedText())
        return to.setCursorPosition(cursor);
    const int start = from.selectionStart();
    const int length = from.selectionLength();
    if (cursor == start)
        to.setSelection(start + length, -length);
    else
        to.setSelection(start, length);
}

} // namespace

// Makes one edit of a box with QLineEdit's own rules, recording it in its
// own undo history, and is then destroyed together with that history. Never
// shown and never heard by assistive technology: the box it stands in for
// reports the change.
class TextBox::StandIn final : public QLineEdit {
public:
    explicit StandIn(const QLineEdit &box)
    {
        KeepFromAssistiveTechnology(this);
        setEchoMode(box.echoMode());
        setMaxLength(box.maxLength());
        setText(box.text());
        CopyCursor(box, *this);
    }

    using QLineEdit::inputMethodEvent;
    using QLineEdit::keyPressEvent;
};

void TextBox::setHistoryKept(bool kept)
{
    m_historyKept = kept;
    if (kept)
        disconnect(this, &QLineEdit::selectionChanged, this, &TextBox::releaseSelection);
    else
        connect(this, &QLineEdit::selectionChanged, this, &TextBox::releaseSelection, Qt::UniqueConnection);
}

void TextBox::releaseSelection()
{
    // Of this program's boxes only a shown secret input ever exports its
    // selection, so a selection the program owns is this box's.
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!hasSelectedText() && clipboard->supportsSelection() && clipboard->ownsSelection())
        clipboard->clear(QClipboard::Selection);
}

bool TextBox::editsOnStandIn() const
{
    return !m_historyKept && !isReadOnly();
}

void TextBox::editOnStandIn(const std::function<void(StandIn &)> &edit)
{
    StandIn standIn(*this);
    edit(standIn);
    if (standIn.text() != text())
        setText(standIn.text());
    CopyCursor(standIn, *this);
}

void TextBox::insertPasted(const QString &pasted)
{
    const std::u16string_view whole(
        reinterpret_cast<const char16_t *>(pasted.utf16()), static_cast<std::size_t>(pasted.size()));
    const std::u16string_view line = FirstLine(whole);
    editOnStandIn([line](StandIn &standIn) {
        standIn.insert(QString::fromUtf16(line.data(), static_cast<qsizetype>(line.size())));
    });
    if (line.size() != whole.size())
        emit pasteCut();
}

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
    const bool pasteSelection = editsOnStandIn() && event->button() == Qt::MiddleButton
        && QGuiApplication::clipboard()->supportsSelection() && rect().contains(event->position().toPoint());
    if (pasteSelection) {
        // What QLineEdit's middle-button release does, on the stand-in.
        // Read before deselecting: the box may own the selection it pastes.
        const QString selection = QGuiApplication::clipboard()->text(QClipboard::Selection);
        deselect();
        insertPasted(selection);
        event->accept();
    } else if (!(m_copyHandedOver && event->button() == Qt::LeftButton)) {
        // The only other work of QLineEdit's left-button release concerns
        // dragging, which is off, and editing, which a read-only box does not do.
        QLineEdit::mouseReleaseEvent(event);
    }
    if (m_focusByClick) {
        m_focusByClick = false;
        emit gotFocus();
    }
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    // Whether the stand-in accepts the key or leaves it to the window is
    // set on the event itself.
    if (editsOnStandIn() && event->matches(QKeySequence::Paste)) {
        insertPasted(QGuiApplication::clipboard()->text());
        return event->accept();
    }
    if (editsOnStandIn())
        return editOnStandIn([event](StandIn &standIn) { standIn.keyPressEvent(event); });
    if (!m_copyHandedOver || !isReadOnly())
        return QLineEdit::keyPressEvent(event);
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        return event->accept();
    }
    // The keys that open the context menu, wherever the platform does not
    // turn them into a context menu event itself.
    if (event->key() == Qt::Key_Menu
        || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        QContextMenuEvent fromKeyboard(QContextMenuEvent::Keyboard, cursorRect().bottomLeft(),
            mapToGlobal(cursorRect().bottomLeft()), event->modifiers());
        contextMenuEvent(&fromKeyboard);
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
    if (m_copyHandedOver) {
        // A platform that reports the menu key both as a key and as a context
        // menu event would open a second menu over the first.
        if (m_menu && m_menu->isVisible())
            return event->accept();
        if (event->reason() == QContextMenuEvent::Keyboard) {
            // At the text cursor, not wherever the pointer happens to be.
            QContextMenuEvent atCursor(QContextMenuEvent::Keyboard, cursorRect().bottomLeft(),
                mapToGlobal(cursorRect().bottomLeft()), event->modifiers());
            m_menu = handOverCopyMenu();
            return popUpMenu(m_menu, &atCursor);
        }
        m_menu = handOverCopyMenu();
        return popUpMenu(m_menu, event);
    }
    if (editsOnStandIn())
        return popUpMenu(historyFreeMenu(), event);
    QLineEdit::contextMenuEvent(event);
}

void TextBox::popUpMenu(QMenu *menu, QContextMenuEvent *event)
{
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

QMenu *TextBox::handOverCopyMenu()
{
    // QLineEdit's own menu for a read-only box, in its words, with its Copy
    // handed over.
    auto *menu = new QMenu(this);
    QAction *copy = menu->addAction(
        QLineEdit::tr("&Copy") + ShortcutText(QKeySequence::Copy), this, &TextBox::copyRequested);
    copy->setObjectName(QStringLiteral("edit-copy"));
    copy->setEnabled(hasSelectedText());
    menu->addSeparator();
    addSelectAll(menu);
    if (m_extendMenu)
        m_extendMenu(menu);
    return menu;
}

QMenu *TextBox::historyFreeMenu()
{
    // QLineEdit's own menu for an editable box, in its words, with every edit
    // made on a stand-in; Undo and Redo would find nothing.
    auto *menu = new QMenu(this);
    const bool shown = echoMode() == QLineEdit::Normal;
    QAction *cut = menu->addAction(QLineEdit::tr("Cu&t") + ShortcutText(QKeySequence::Cut), this,
        [this] { editOnStandIn([](StandIn &standIn) { standIn.cut(); }); });
    cut->setObjectName(QStringLiteral("edit-cut"));
    cut->setEnabled(shown && hasSelectedText());
    QAction *copy
        = menu->addAction(QLineEdit::tr("&Copy") + ShortcutText(QKeySequence::Copy), this, &QLineEdit::copy);
    copy->setObjectName(QStringLiteral("edit-copy"));
    copy->setEnabled(shown && hasSelectedText());
    QAction *paste = menu->addAction(QLineEdit::tr("&Paste") + ShortcutText(QKeySequence::Paste), this,
        [this] { insertPasted(QGuiApplication::clipboard()->text()); });
    paste->setObjectName(QStringLiteral("edit-paste"));
    paste->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    QAction *remove = menu->addAction(
        QLineEdit::tr("Delete"), this, [this] { editOnStandIn([](StandIn &standIn) { standIn.del(); }); });
    remove->setObjectName(QStringLiteral("edit-delete"));
    remove->setEnabled(hasSelectedText());
    menu->addSeparator();
    addSelectAll(menu);
    return menu;
}

void TextBox::addSelectAll(QMenu *menu)
{
    QAction *all = menu->addAction(
        QLineEdit::tr("Select All") + ShortcutText(QKeySequence::SelectAll), this, &QLineEdit::selectAll);
    all->setObjectName(QStringLiteral("select-all"));
    all->setEnabled(!text().isEmpty());
}

void TextBox::inputMethodEvent(QInputMethodEvent *event)
{
    if (!editsOnStandIn())
        return QLineEdit::inputMethodEvent(event);
    // QLineEdit deletes the selection, with a record, when input arrives.
    const bool input = !event->commitString().isEmpty() || !event->preeditString().isEmpty()
        || event->replacementLength() > 0;
    if (input && hasSelectedText())
        editOnStandIn([](StandIn &standIn) { standIn.del(); });
    if (event->commitString().isEmpty() && event->replacementLength() == 0)
        return QLineEdit::inputMethodEvent(event);

    // The composition shown so far ends, the committed text is inserted on
    // the stand-in (which setting the text must not find composing), and the
    // next composition is shown: the order in which QLineEdit does them.
    QInputMethodEvent ended;
    QLineEdit::inputMethodEvent(&ended);
    editOnStandIn([event](StandIn &standIn) {
        QInputMethodEvent commit;
        commit.setCommitString(event->commitString(), event->replacementStart(), event->replacementLength());
        standIn.inputMethodEvent(&commit);
    });
    QInputMethodEvent composing(event->preeditString(), event->attributes());
    QLineEdit::inputMethodEvent(&composing);
    event->accept();
}

void TextBox::dropEvent(QDropEvent *event)
{
    if (!editsOnStandIn())
        return QLineEdit::dropEvent(event);
    // Dragging out of the box is off, so a drop never moves text within it.
    const QString dropped = event->mimeData()->text();
    if (dropped.isEmpty())
        return event->ignore();
    const int at = cursorPositionAt(event->position().toPoint());
    setCursorPosition(at);
    insertPasted(dropped);
    event->acceptProposedAction();
    setFocus(Qt::MouseFocusReason);
}

} // namespace mnemora
