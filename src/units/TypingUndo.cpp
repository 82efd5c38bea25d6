#include "units/TypingUndo.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

TypingUndo::TypingUndo(QWidget* window) : QObject(window), m_window(window)
{
    qApp->installEventFilter(this);
}

bool TypingUndo::boxTakes(QWidget* focus, bool undo)
{
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        return !line->isReadOnly() && (undo ? line->isUndoAvailable() : line->isRedoAvailable());
    if (auto* combo = qobject_cast<QComboBox*>(focus))
        return combo->lineEdit() && boxTakes(combo->lineEdit(), undo);
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        return !plain->isReadOnly() &&
               (undo ? plain->document()->isUndoAvailable() : plain->document()->isRedoAvailable());
    if (auto* rich = qobject_cast<QTextEdit*>(focus))
        return !rich->isReadOnly() &&
               (undo ? rich->document()->isUndoAvailable() : rich->document()->isRedoAvailable());
    return false;
}

bool TypingUndo::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != m_window)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool undo = key->matches(QKeySequence::Undo);
    const bool redo = key->matches(QKeySequence::Redo) ||
                      key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y) ||
                      key->keyCombination() == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
    if ((!undo && !redo) || boxTakes(widget, undo))
        return false;
    // Not taken by the box: the window's shortcut acts.
    event->ignore();
    return true;
}
