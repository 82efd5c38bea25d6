#include "diary/Queries.h"

#include "diary/Period.h"

namespace Queries {

namespace {

// The text of the one periodicity a reminder check looks for, to stand in a query between quotes.
QString reminded(ReminderKind kind)
{
    const QList<Period> periods = Period::remindedBy(kind);
    Q_ASSERT(periods.size() == 1);
    return periods.front().text();
}

} // namespace

QStringList jobListForPeriod()
{
    return {QStringLiteral("select * from job"), QStringLiteral("where period = :period"),
            QStringLiteral("order by date_isp")};
}

QString jobListAll()
{
    // The periodicities with nodes of their own beside "Все мероприятия" are left out of it.
    QStringList apart;
    for (const Period& period : Period::all())
        if (period.placement() == Period::Placement::TopLevel)
            apart << u'"' + period.text() + u'"';
    // A row posted without a periodicity has a null period; "not in" alone would hide it from every node.
    // In the order of the key, as the file lists a table without an order of its own, so that the list is the same
    // on a server and an edited event keeps its place after a re-read.
    return QStringLiteral("select * from job where period not in (%1) or period is null order by id_job")
        .arg(apart.join(QStringLiteral(", ")));
}

QStringList jobHour()
{
    return {QStringLiteral("select * from job"),
            QStringLiteral("where (period='%1') and (vip = false);").arg(reminded(ReminderKind::Hour))};
}

QStringList jobDay()
{
    return {QStringLiteral("select * from job"),
            QStringLiteral("where (period = '%1' ) and (vip = false)").arg(reminded(ReminderKind::Day))};
}

QStringList jobWeek()
{
    return {QStringLiteral("select * from job"),
            QStringLiteral("where (period = '%1' ) and (vip = false)").arg(reminded(ReminderKind::Week))};
}

namespace {

// month*100+day of a date, with 29 February taken as 28 February in a year that has no 29th: a birthday on that
// day is then reminded every year, and a window of exactly 29.02-29.02 becomes 28.02-28.02.
QString monthDay(const QString& column)
{
    return QStringLiteral("(month(%1)*100+day(%1) - iif(month(%1)=2 and day(%1)=29 and (year(now()) mod 4 <> 0 or "
                          "(year(now()) mod 100 = 0 and year(now()) mod 400 <> 0)), 1, 0))")
        .arg(column);
}

} // namespace

QStringList birthdays()
{
    // The window runs from the month and day of date_shed to those of date_isp, both included. Each (month, day)
    // is taken as month*100+day and measured from the window's first day around a year of 1300 steps, so a
    // window that crosses a month's end or the new year holds every day between its ends; testing month and day
    // separately would miss 5 April in 10 March to 20 May.
    const QString today = QStringLiteral("(month(now())*100+day(now()))");
    const QString first = monthDay(QStringLiteral("date_shed"));
    const QString last = monthDay(QStringLiteral("date_isp"));
    return {
        QStringLiteral("SELECT job, "),
        QStringLiteral("date_isp, "),
        QStringLiteral("time_isp, "),
        QStringLiteral("date_shed, "),
        QStringLiteral("time_shed, "),
        QStringLiteral("vip,"),
        QStringLiteral("other,"),
        QString(),
        QStringLiteral("job& '  ' &(year(date())-year(date_isp)) as jobbirth"),
        QStringLiteral("FROM job"),
        QStringLiteral("WHERE ((%1 - %2 + 1300) mod 1300 between 0 and (%3 - %2 + 1300) mod 1300)  and "
                       "(period='%4');")
            .arg(today, first, last, reminded(ReminderKind::Birth)),
    };
}

namespace {

// What a reminder window's bounds are compared by: month and day over the year, the month within the quarter and
// the day, or the day of the month.
enum class Cycle { Year, Quarter, Month };

Cycle cycleOf(const Period& period)
{
    switch (period.recurrence()) {
    case Period::Recurrence::Monthly:
        return Cycle::Month;
    case Period::Recurrence::Quarterly:
        return Cycle::Quarter;
    default:
        return Cycle::Year;
    }
}

// The number of days of the current month.
QString daysThisMonth()
{
    return QStringLiteral("iif(month(now())=2, 28 + iif(year(now()) mod 4 = 0 and (year(now()) mod 100 <> 0 or "
                          "year(now()) mod 400 = 0), 1, 0), iif(month(now())=4 or month(now())=6 or month(now())=9 or "
                          "month(now())=11, 30, 31))");
}

// A bound's place in its cycle, in the steps of cyclePositions(). A day the current month lacks counts as its last
// day, so a window on the 31st is reminded on the 30th of a shorter month; in the quarter only when the bound's
// month within the quarter is the current one, as in the year only 29 February is affected.
QString position(Cycle cycle, const QString& bound)
{
    switch (cycle) {
    case Cycle::Year:
        return monthDay(bound);
    case Cycle::Quarter:
        return QStringLiteral("(((month(%1)-1) mod 3)*100 + iif((month(%1)-1) mod 3 = (month(now())-1) mod 3 and "
                              "day(%1) > %2, %2, day(%1)))")
            .arg(bound, daysThisMonth());
    case Cycle::Month:
        return QStringLiteral("iif(day(%1) > %2, %2, day(%1))").arg(bound, daysThisMonth());
    }
    Q_UNREACHABLE();
}

// Whether today lies in the window from first to last, both included, each measured from first around a cycle
// longer than any place in it, so a window across the cycle's end (the new year, the quarter's or the month's
// end) holds every day between its ends, as the birthday window does.
QString inWindow(Cycle cycle, const QString& first, const QString& last)
{
    struct Steps
    {
        const char* today;
        int length;
    };
    static constexpr Steps steps[] = {
        {"(month(now())*100+day(now()))", 1300},
        {"(((month(now())-1) mod 3)*100+day(now()))", 300},
        {"day(now())", 100},
    };
    const Steps& of = steps[static_cast<std::size_t>(cycle)];
    const QString start = position(cycle, first);
    return QStringLiteral("((%1 - %2 + %4) mod %4 between 0 and (%3 - %2 + %4) mod %4)")
        .arg(QString::fromLatin1(of.today), start, position(cycle, last))
        .arg(of.length);
}

} // namespace

QStringList jobMonth()
{
    // A window needs one end at least: without date_isp it is date_shed's day, without date_shed date_isp's. A
    // duty without date_shed has no window and, not yet done, is due at every check as an hourly one is; a memorable
    // date without it is due on its own day. A memorable date comes back every year, so its done flag is not
    // tested, as a birthday's is not.
    const QString first = QStringLiteral("iif(date_shed is null, date_isp, date_shed)");
    const QString last = QStringLiteral("iif(date_isp is null, date_shed, date_isp)");
    QStringList due;
    for (const Period& period : Period::remindedBy(ReminderKind::Month)) {
        const QString window = inWindow(cycleOf(period), first, last);
        if (period.isYearlyDate())
            due << QStringLiteral("((period = '%1') and %2)").arg(period.text(), window);
        else
            due << QStringLiteral("((period = '%1') and (vip = false) and (date_shed is null or %2))")
                       .arg(period.text(), window);
    }
    return {QStringLiteral("select * from job"), QStringLiteral("where ") + due.join(QStringLiteral(" or "))};
}

QStringList jobCritik()
{
    return {QStringLiteral("select * from job"),
            QStringLiteral("where (period = '%1' ) and (vip = false)").arg(reminded(ReminderKind::Critical))};
}

QString timedEvents()
{
    return QStringLiteral("select id_job, period, napom, vip, date_shed, time_shed, date_isp from job "
                          "where napom = true and vip = false");
}

namespace {

// One comparison per id rather than "in": the dialect compares the left side of "in" as text, which the server
// refuses for a number.
template <class Ids> QString anyOf(const Ids& ids)
{
    QStringList listed;
    for (qint64 id : ids)
        listed << QStringLiteral("id_job = %1").arg(id);
    return listed.join(QStringLiteral(" or "));
}

} // namespace

QString foundEvents(const std::vector<qint64>& ids)
{
    return QStringLiteral("select id_job, job, period, date_isp from job where %1").arg(anyOf(ids));
}

QStringList alarms(const QList<qint64>& ids)
{
    return {QStringLiteral("select * from job"), ids.isEmpty()
                                                     ? QStringLiteral("where 1 = 0")
                                                     : QStringLiteral("where (%1) and vip = false").arg(anyOf(ids))};
}

} // namespace Queries
