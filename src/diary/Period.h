#pragma once

#include "diary/ReminderKind.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

// How often an event recurs, as the column period of job names it: the nine periodicities the program knows, with
// their texts, where the tree lists them, whether the periodicity box offers them, the reminder check they feed and
// how they recur. A stored text is matched to its periodicity whatever its case, as the queries match it; the
// stored text itself is never rewritten.
class Period
{
public:
    enum class Kind { Critical, Hourly, Daily, Weekly, Monthly, Quarterly, Yearly, Birthday, MemorableDate };
    // The tree's node a periodicity is listed under: a child of "Все мероприятия", or a node of its own beside it.
    enum class Placement { UnderAllEvents, TopLevel };
    enum class Recurrence { None, Hourly, Daily, Weekly, Monthly, Quarterly, Yearly };

    constexpr explicit Period(Kind kind) : m_kind(kind) {}

    // Every periodicity, in the order the tree and the periodicity box show them.
    static const std::array<Period, 9>& all();
    // The periodicity a stored text names, compared without regard to case; none for another text or null.
    static std::optional<Period> fromStored(const QString& stored);
    // The periodicities whose events the check of that kind reminds of, in the order of all().
    static QList<Period> remindedBy(ReminderKind kind);

    Kind kind() const { return m_kind; }
    // The text the program writes and the tree shows.
    QString text() const;
    Placement placement() const;
    // Whether the periodicity box lists it; a periodicity it does not list may still be typed.
    bool isOffered() const;
    std::optional<ReminderKind> reminderKind() const;
    Recurrence recurrence() const;
    // A date that comes back every year on its day (a birthday, a memorable date) rather than a duty to be done.
    bool isYearlyDate() const;
    // Whether a stored text names this periodicity.
    bool matches(const QString& stored) const;

    friend bool operator==(Period, Period) = default;

private:
    Kind m_kind;
};
