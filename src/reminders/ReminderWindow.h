#pragma once

#include "diary/ReminderKind.h"

#include <QDateTime>

#include <optional>

// What the reminder checks need of the window that shows a reminder set.
class ReminderWindow
{
public:
    virtual ~ReminderWindow() = default;

    virtual bool isOnScreen() const = 0;
    // The set the window shows, none before the first.
    virtual std::optional<ReminderKind> shownKind() const = 0;
    // Brings the window up with the set of that kind; throws when that fails.
    virtual void showReminders(ReminderKind kind) = 0;
    // Saves an edit of the set shown as moving to another row would; false when the post failed (shown).
    virtual bool saveShownSet() = 0;
    // Puts off the set shown: saves it, closes the window and asks for the set again at until.
    virtual void snoozeUntil(const QDateTime& until) = 0;
};
