#include "databind/controls/EditingKeys.h"

#include <QKeyEvent>

bool EditingKeys::changeText(const QKeyEvent& event, bool multiLine)
{
    if (event.matches(QKeySequence::Paste) || event.matches(QKeySequence::Cut))
        return true;
    switch (event.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return multiLine;
    default:
        break;
    }
    if (event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    return !event.text().isEmpty() && event.text().front().isPrint();
}
