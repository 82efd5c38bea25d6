#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The data module's query texts, line by line where a record set is created with several lines.
namespace Queries {

QStringList jobListForPeriod();
QString jobListAll();
QStringList jobHour();
QStringList jobDay();
QStringList jobWeek();
QStringList birthdays();
// The monthly, quarterly and yearly events not yet done and the memorable dates whose reminder window holds today.
QStringList jobMonth();
QStringList jobCritik();
// The events whose own alarm may be due: "Включить таймер" ticked and not done, the columns an alarm is planned from.
QString timedEvents();
// The events of the alarm reminder, by id, those done since left out; no ids select nothing.
QStringList alarms(const QList<qint64>& ids);

// The events with those keys, as a search lists them.
QString foundEvents(const std::vector<qint64>& ids);

} // namespace Queries
