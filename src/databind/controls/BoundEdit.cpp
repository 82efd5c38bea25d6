#include "databind/controls/BoundEdit.h"

#include "databind/DatabaseError.h"
#include "databind/Field.h"
#include "databind/FormatSettings.h"
#include "databind/RecordSet.h"
#include "databind/controls/EditContextMenu.h"
#include "databind/controls/EditingKeys.h"
#include "platform/ErrorReporter.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>

namespace {

constexpr int unlimited = 32767; // QLineEdit's own default

// Every character the keyboard types asks to edit a masked box, Enter and control characters included; copy,
// cut, paste and Esc don't (cut and paste ask through their own commands).
bool isMaskedEditingKey(const QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy) || event->key() == Qt::Key_Escape)
        return false;
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))
        return true;
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        break;
    }
    if ((event->modifiers() & Qt::ControlModifier) && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z)
        return true;
    return !event->text().isEmpty();
}

QString maskSource(const Field& field)
{
    if (field.isNull())
        return QString();
    if (field.kind() != FieldKind::DateTime)
        return field.editText();
    const QTime time = field.asDateTime().time();
    return QStringLiteral("%1%2%3")
        .arg(time.hour())
        .arg(FormatSettings::current().timeSeparator)
        .arg(time.minute(), 2, 10, QLatin1Char('0'));
}

} // namespace

BoundEdit::BoundEdit(QWidget* parent) : FieldBound(parent)
{
    m_link.onDataChange = [this] { showField(); };
    m_link.onUpdateData = [this] { writeField(); };
    m_link.onEditingChange = [this] { editingChanged(); };
    connect(this, &QLineEdit::textChanged, this, &BoundEdit::textWasChanged);
    setValidator(m_limit);
    setReadOnly(true);
}

void BoundEdit::showField()
{
    QScopedValueRollback loading(m_loading, true);
    const Field* field = m_link.field();
    m_mask.reset();
    if (!field) {
        setText(QString());
    } else if (!m_entered) {
        setText(field->displayText());
    } else if (!field->editMask().isEmpty()) {
        const FormatSettings& settings = FormatSettings::current();
        m_mask.emplace(field->editMask(), settings.timeSeparator, settings.dateSeparator);
        m_mask->load(maskSource(*field));
        setText(m_mask->text());
    } else {
        setText(field->editText());
    }
    // A text from the record is shown from its start, as desktop edit boxes show it; QLineEdit would show its end,
    // so that a long description read "...КОНЕЦ" and 18.12.2026 10:30 read "8.12.2026 10:30:00". A box being
    // typed into keeps its caret where typing goes.
    if (!m_entered)
        setCursorPosition(0);
}

void BoundEdit::writeField()
{
    Field* field = m_link.field();
    if (m_mask) {
        checkMask();
        field->setText(m_mask->valueText());
    } else {
        field->setText(text());
    }
}

void BoundEdit::editingChanged()
{
    setReadOnly(!(m_link.isEditing() && m_link.canModify()));
    // QLineEdit's own limit counts UTF-16 units, where an emoji is two, and cuts through surrogate pairs; the
    // field's size counts characters as the column does. A limit the form set on the box stays the box's.
    const Field* field = m_link.field();
    const bool sized = field && field->kind() == FieldKind::Text && field->size() > 0;
    m_limit->setLimit(sized && maxLength() == unlimited ? field->size() : 0);
}

void BoundEdit::textWasChanged()
{
    if (m_loading)
        return;
    if (m_mask) {
        // Text the program put in: bring it into the mask's shape, keeping what fits.
        QScopedValueRollback loading(m_loading, true);
        const int cursor = cursorPosition();
        m_mask->load(text());
        if (text() != m_mask->text()) {
            setText(m_mask->text());
            setCursorPosition(cursor);
        }
    }
    m_link.setModified();
}

bool BoundEdit::askEdit()
{
    // Starting an insert re-reads the field into the box; the key still goes where the cursor was.
    const int cursor = cursorPosition();
    const int start = selectionStart();
    const int length = static_cast<int>(selectedText().size());
    bool allowed = false;
    ErrorReporter::guarded([&] { allowed = m_link.edit(); });
    if (start >= 0 && length > 0)
        setSelection(start, length);
    else
        setCursorPosition(cursor);
    return allowed;
}

void BoundEdit::refocus()
{
    QScopedValueRollback refocusing(m_refocusing, true);
    setFocus(Qt::OtherFocusReason);
}

void BoundEdit::checkMask()
{
    if (!m_mask || !m_link.isModified())
        return;
    const int blank = m_mask->firstBlankRequired();
    if (blank < 0)
        return;
    if (!hasFocus())
        refocus();
    setCursorPosition(blank);
    throw DatabaseError(QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
}

void BoundEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_link.reset();
        selectAll();
        event->accept();
        return;
    }
    if (m_mask) {
        maskedKey(event);
        return;
    }
    if (EditingKeys::changeText(*event) && !askEdit()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void BoundEdit::maskedKey(QKeyEvent* event)
{
    event->accept();
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
        return;
    if (isMaskedEditingKey(event) && !askEdit())
        return;
    if (!m_mask) // the field went away while asking
        return;
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int end = hasSelectedText() ? selectionEnd() : start;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (ErrorReporter::guarded([this] { checkMask(); }))
            event->ignore(); // Enter goes on to the window, as in any edit box
    } else if (event->matches(QKeySequence::Paste)) {
        pasteIntoMask(QGuiApplication::clipboard()->text());
    } else if (event->matches(QKeySequence::Cut)) {
        cutFromMask();
    } else if (event->key() == Qt::Key_Backspace) {
        applyMask(m_mask->deleteBackward(start, end));
    } else if (event->key() == Qt::Key_Delete) {
        applyMask(m_mask->deleteForward(start, end));
    } else if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        // The box's own undo history knows nothing of the mask.
    } else if (!event->text().isEmpty() && event->text().front().isPrint() &&
               !(event->modifiers() & Qt::ControlModifier)) {
        const TimeMask::Result result = m_mask->type(event->text().front(), start, end);
        if (result.accepted)
            applyMask(result);
        else
            QApplication::beep();
    } else {
        QLineEdit::keyPressEvent(event); // moving the cursor, selecting, copying
    }
}

void BoundEdit::applyMask(const TimeMask::Result& result)
{
    if (!result.accepted)
        return;
    // Typing the separator or blanking a blank position only moves the cursor: that is no change to write back.
    const bool changed = m_mask->text() != text();
    if (changed) {
        QScopedValueRollback loading(m_loading, true);
        setText(m_mask->text());
    }
    setCursorPosition(result.cursor);
    if (changed)
        m_link.setModified();
}

void BoundEdit::pasteIntoMask(const QString& text)
{
    int cursor = hasSelectedText() ? selectionStart() : cursorPosition();
    int end = hasSelectedText() ? selectionEnd() : cursor;
    TimeMask::Result last{false, cursor};
    for (const QChar c : text) {
        const TimeMask::Result result = m_mask->type(c, cursor, end);
        if (!result.accepted)
            continue;
        last = result;
        cursor = end = result.cursor;
    }
    if (last.accepted)
        applyMask(last);
}

void BoundEdit::cutFromMask()
{
    if (!hasSelectedText())
        return;
    copy();
    applyMask(m_mask->deleteForward(selectionStart(), selectionEnd()));
}

void BoundEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty() && !askEdit())
        return;
    if (m_mask) {
        pasteIntoMask(event->commitString());
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void BoundEdit::focusInEvent(QFocusEvent* event)
{
    // Coming back from another window or a menu, the box never left as far as the set is concerned.
    if (!m_entered && !m_refocusing) {
        m_entered = true;
        m_link.reset();
    }
    QLineEdit::focusInEvent(event);
}

void BoundEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (FieldLink::isWindowFocusChange(*event) || !m_entered)
        return;
    if (!m_link.leave(*event, [this] {
            refocus();
            selectAll();
        }))
        return;
    m_entered = false;
    m_link.reset();
}

void BoundEdit::contextMenuEvent(QContextMenuEvent* event)
{
    EditContextMenu::Commands commands;
    commands.askEdit = [this] { return askEdit(); };
    commands.undo = [this] { undo(); };
    commands.redo = [this] { redo(); };
    commands.cut = [this] { m_mask ? cutFromMask() : cut(); };
    commands.copy = [this] { copy(); };
    commands.paste = [this] {
        if (m_mask)
            pasteIntoMask(QGuiApplication::clipboard()->text());
        else
            paste();
    };
    commands.deleteSelection = [this] {
        if (m_mask)
            applyMask(m_mask->deleteForward(selectionStart(), selectionEnd()));
        else
            del();
    };
    commands.selectAll = [this] { selectAll(); };
    commands.readOnly = isReadOnly();
    commands.undoAvailable = !m_mask && isUndoAvailable();
    commands.redoAvailable = !m_mask && isRedoAvailable();
    commands.hasSelection = hasSelectedText();
    commands.hasText = !text().isEmpty();
    EditContextMenu::exec(*this, event->globalPos(), commands);
}
