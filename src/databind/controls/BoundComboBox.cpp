#include "databind/controls/BoundComboBox.h"

#include "databind/Field.h"
#include "platform/ErrorReporter.h"

#include <QCompleter>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>

namespace {

// The keys whose key-down asks to edit: Backspace, and every key of the keyboard's printable, navigation,
// Insert, Delete and function rows.
bool isEditingKey(const QKeyEvent* event)
{
    const int key = event->key();
    if (key >= Qt::Key_Space && key <= Qt::Key_ydiaeresis)
        return true;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return true;
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_Print:
    case Qt::Key_Help:
    case Qt::Key_Menu:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return !event->text().isEmpty() && event->text().front().isPrint();
    }
}

// Keys that would change the text or the selection if let through.
bool changesValue(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    default:
        break;
    }
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))
        return true;
    return !(event->modifiers() & Qt::ControlModifier) && !event->text().isEmpty() && event->text().front().isPrint();
}

} // namespace

BoundComboBox::BoundComboBox(QWidget* parent) : FieldBound(parent)
{
    // Editable through a line edit of its own that comes with a completer, a bare one: given a line edit without
    // one, the box would make its default completer, with a model over the items and a view, only for it to be
    // dropped below.
    auto* edit = new QLineEdit(this);
    edit->setCompleter(new QCompleter(edit));
    setLineEdit(edit);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // typed text stays as typed
    adjustSize();
    setValidator(m_limit);
    m_link.onDataChange = [this] { showField(); };
    m_link.onUpdateData = [this] { writeField(); };
    connect(this, &QComboBox::editTextChanged, this, &BoundComboBox::textWasChanged);
}

void BoundComboBox::showField()
{
    QScopedValueRollback loading(m_loading, true);
    const Field* field = m_link.field();
    m_limit->setLimit(field && field->kind() == FieldKind::Text ? field->size() : 0);
    const QString text = field ? field->editText() : QString();
    setCurrentIndex(findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    setEditText(text);
    // Shown from its start, as the edit boxes show their texts.
    if (QLineEdit* edit = lineEdit())
        edit->setCursorPosition(0);
}

void BoundComboBox::writeField()
{
    m_link.field()->setText(currentText());
}

bool BoundComboBox::askEdit()
{
    bool allowed = false;
    ErrorReporter::guarded([&] { allowed = m_link.edit(); });
    return allowed;
}

void BoundComboBox::textWasChanged()
{
    if (m_loading)
        return;
    // A key asked before it changed the text; a paste, a wheel turn or a pick from the list ask here. Starting an
    // insert re-reads the field, so the new text is put back afterwards.
    const QString text = currentText();
    const int index = currentIndex();
    if (!askEdit()) {
        hidePopup();
        m_link.reset();
        return;
    }
    if (currentText() != text) {
        QScopedValueRollback loading(m_loading, true);
        setCurrentIndex(index);
        setEditText(text);
    }
    m_link.setModified();
}

void BoundComboBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_link.reset();
        lineEdit()->selectAll();
        event->accept();
        return;
    }
    if (isEditingKey(event) || changesValue(event)) {
        // Starting an insert re-reads the field; the key still goes where the cursor or selection was.
        QLineEdit* edit = lineEdit();
        const int cursor = edit->cursorPosition();
        const int start = edit->selectionStart();
        const int length = static_cast<int>(edit->selectedText().size());
        const bool allowed = askEdit();
        if (start >= 0 && length > 0)
            edit->setSelection(start, length);
        else
            edit->setCursorPosition(cursor);
        if (!allowed && changesValue(event)) {
            event->accept();
            return;
        }
    }
    QComboBox::keyPressEvent(event);
}

void BoundComboBox::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty() && !askEdit())
        return;
    QComboBox::inputMethodEvent(event);
}

void BoundComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    m_link.leave(*event, [this] {
        setFocus(Qt::OtherFocusReason);
        lineEdit()->selectAll();
    });
}
