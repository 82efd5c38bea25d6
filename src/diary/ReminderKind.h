#pragma once

#include <array>

// The data module's reminder sets: not-done hourly, daily and weekly events, the birthdays due today, the monthly,
// quarterly and yearly events and memorable dates due today, and the not-done critical events.
enum class ReminderKind { Hour, Day, Week, Birth, Month, Critical };

inline constexpr std::array<ReminderKind, 6> reminderKinds = {ReminderKind::Hour,  ReminderKind::Day,
                                                              ReminderKind::Week,  ReminderKind::Birth,
                                                              ReminderKind::Month, ReminderKind::Critical};
