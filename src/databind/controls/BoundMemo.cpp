#include "databind/controls/BoundMemo.h"

#include "databind/Field.h"
#include "databind/controls/EditContextMenu.h"
#include "databind/controls/EditingKeys.h"
#include "platform/ErrorReporter.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QTextCursor>

BoundMemo::BoundMemo(QWidget* parent) : FieldBound(parent)
{
    setTabChangesFocus(true);
    setReadOnly(true);
    m_link.onDataChange = [this] { showField(); };
    m_link.onUpdateData = [this] { writeField(); };
    m_link.onEditingChange = [this] { setReadOnly(!(m_link.isEditing() && m_link.canModify())); };
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading)
            m_link.setModified();
    });
}

void BoundMemo::showField()
{
    QScopedValueRollback loading(m_loading, true);
    const Field* field = m_link.field();
    setPlainText(field ? field->editText() : QString());
}

void BoundMemo::writeField()
{
    m_link.field()->setText(toPlainText());
}

bool BoundMemo::askEdit()
{
    // Starting an insert reloads the text; the key still goes where the cursor was.
    const int position = textCursor().position();
    bool allowed = false;
    ErrorReporter::guarded([&] { allowed = m_link.edit(); });
    if (textCursor().position() != position && position <= document()->characterCount() - 1) {
        QTextCursor cursor = textCursor();
        cursor.setPosition(position);
        setTextCursor(cursor);
    }
    return allowed;
}

void BoundMemo::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_link.reset();
        event->accept();
        return;
    }
    if (EditingKeys::changeText(*event, true) && !askEdit()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void BoundMemo::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty() && !askEdit())
        return;
    QPlainTextEdit::inputMethodEvent(event);
}

void BoundMemo::insertFromMimeData(const QMimeData* source)
{
    // Dropped text arrives here without a key; pasting has asked already, and asking again changes nothing.
    if (askEdit())
        QPlainTextEdit::insertFromMimeData(source);
}

void BoundMemo::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    m_link.leave(*event);
}

void BoundMemo::contextMenuEvent(QContextMenuEvent* event)
{
    EditContextMenu::Commands commands;
    commands.askEdit = [this] { return askEdit(); };
    commands.undo = [this] { undo(); };
    commands.redo = [this] { redo(); };
    commands.cut = [this] { cut(); };
    commands.copy = [this] { copy(); };
    commands.paste = [this] { paste(); };
    commands.deleteSelection = [this] { textCursor().removeSelectedText(); };
    commands.selectAll = [this] { selectAll(); };
    commands.readOnly = isReadOnly();
    commands.undoAvailable = document()->isUndoAvailable();
    commands.redoAvailable = document()->isRedoAvailable();
    commands.hasSelection = textCursor().hasSelection();
    commands.hasText = !document()->isEmpty();
    EditContextMenu::exec(*this, event->globalPos(), commands);
}
