#include "diary/Queries.h"

#include "diary/Period.h"

namespace Queries {

namespace {

// The text of the periodicity a reminder check looks for, to stand in a query between quotes.
QString reminded(ReminderKind kind)
{
    return Period::ofReminder(kind).text();
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
    return QStringLiteral("select * from job where period not in (%1) or period is null")
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

QString timedEvents()
{
    return QStringLiteral("select id_job, period, napom, vip, date_shed, time_shed, date_isp from job "
                          "where napom = true and vip = false");
}

QStringList alarms(const QList<qint64>& ids)
{
    QStringList listed;
    for (qint64 id : ids)
        listed << QString::number(id);
    return {QStringLiteral("select * from job"),
            listed.isEmpty() ? QStringLiteral("where 1 = 0")
                             : QStringLiteral("where id_job in (%1) and vip = false").arg(listed.join(u','))};
}

} // namespace Queries
