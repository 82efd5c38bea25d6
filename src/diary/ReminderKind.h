#pragma once

#include <array>

// The data module's reminder sets: not-done hourly, daily and weekly events, the birthdays due today, the monthly,
// quarterly and yearly events and memorable dates due today, the not-done critical events, and the events whose own
// alarm came due.
enum class ReminderKind { Hour, Day, Week, Birth, Month, Critical, Alarm };

inline constexpr std::array<ReminderKind, 7> reminderKinds = {
    ReminderKind::Hour,  ReminderKind::Day,      ReminderKind::Week, ReminderKind::Birth,
    ReminderKind::Month, ReminderKind::Critical, ReminderKind::Alarm};
