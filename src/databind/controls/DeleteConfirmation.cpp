#include "databind/controls/DeleteConfirmation.h"

#include "platform/MessageBoxes.h"

bool DeleteConfirmation::confirm(QWidget* parent)
{
    const MessageBoxes::Message question{QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
                                         MessageBoxes::Icon::Question, MessageBoxes::Buttons::OkCancel,
                                         MessageBoxes::ButtonTexts::English};
    return MessageBoxes::instance().show(parent, question) == MessageBoxes::Answer::Ok;
}
