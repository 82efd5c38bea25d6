#pragma once

#include <array>

// The data module's four reminder sets: not-done hourly, daily and weekly events, and the birthdays due today.
enum class ReminderKind { Hour, Day, Week, Birth };

inline constexpr std::array<ReminderKind, 4> reminderKinds = {ReminderKind::Hour, ReminderKind::Day, ReminderKind::Week,
                                                              ReminderKind::Birth};
