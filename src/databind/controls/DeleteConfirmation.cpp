#include "databind/controls/DeleteConfirmation.h"

#include "platform/MessageBoxes.h"

bool DeleteConfirmation::confirm(QWidget* parent)
{
    return MessageBoxes::ask(parent, QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
                             MessageBoxes::Icon::Question) == MessageBoxes::Answer::Ok;
}
