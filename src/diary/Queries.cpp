#include "diary/Queries.h"

namespace Queries {

QStringList jobListForPeriod()
{
    return {QStringLiteral("select * from job"), QStringLiteral("where period = :period"),
            QStringLiteral("order by date_isp")};
}

QString jobListAll()
{
    // A row posted without a periodicity has a null period; "not in" alone would hide it from every node.
    return QStringLiteral("select * from job where period not in (\"День рождения\", \"Памятная дата\") "
                          "or period is null");
}

QStringList jobHour()
{
    return {QStringLiteral("select * from job"), QStringLiteral("where (period='ежечасное') and (vip = false);")};
}

QStringList jobDay()
{
    return {QStringLiteral("select * from job"), QStringLiteral("where (period = 'ежедневное' ) and (vip = false)")};
}

QStringList jobWeek()
{
    return {QStringLiteral("select * from job"), QStringLiteral("where (period = 'еженедельное' ) and (vip = false)")};
}

QStringList birthdays()
{
    // The window runs from the month and day of date_shed to those of date_isp, both included. Each (month, day)
    // is taken as month*100+day and measured from the window's first day around a year of 1300 steps, so a
    // window that crosses a month's end or the new year holds every day between its ends; testing month and day
    // separately would miss 5 April in 10 March to 20 May.
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
        QStringLiteral("WHERE (((month(now())*100+day(now())) - (month(date_shed)*100+day(date_shed)) + 1300) mod "
                       "1300 between 0 and ((month(date_isp)*100+day(date_isp)) - (month(date_shed)*100+"
                       "day(date_shed)) + 1300) mod 1300)  and (period='День рождения');"),
    };
}

} // namespace Queries
