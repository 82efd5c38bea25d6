#pragma once

#include <QString>

#include <array>

// The four reminder sets: not-done hourly, daily and weekly events, and the birthdays due today.
enum class ReminderKind { Hour, Day, Week, Birth };

inline constexpr std::array<ReminderKind, 4> reminderKinds = {ReminderKind::Hour, ReminderKind::Day,
                                                              ReminderKind::Week, ReminderKind::Birth};

// What the user reads about a set: the reminder window's caption while it shows the set, the check's question
// when the window shows another one, the date's label and the list's caption.
struct ReminderTexts
{
    QString caption;
    QString question;
    QString dateLabel;
    QString listCaption;
};

const ReminderTexts& reminderTexts(ReminderKind kind);
