#pragma once

#include "diary/ReminderKind.h"

#include <QString>

// What the user reads about a reminder set: the reminder window's caption while it shows the set, the check's
// question when the window shows another one, the date's label and the list's caption.
struct ReminderTexts
{
    QString caption;
    QString question;
    QString dateLabel;
    QString listCaption;
};

const ReminderTexts& reminderTexts(ReminderKind kind);
