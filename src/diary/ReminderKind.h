#pragma once

#include <array>

// The data module's reminder sets: not-done hourly, daily and weekly events, the birthdays due today, and the events
// whose own alarm came due.
enum class ReminderKind { Hour, Day, Week, Birth, Alarm };

inline constexpr std::array<ReminderKind, 5> reminderKinds = {ReminderKind::Hour, ReminderKind::Day, ReminderKind::Week,
                                                              ReminderKind::Birth, ReminderKind::Alarm};
