#pragma once

#include <QString>
#include <QStringList>

// The data module's query texts, line by line where a record set is created with several lines.
namespace Queries {

QStringList jobListForPeriod();
QString jobListAll();
QStringList jobHour();
QStringList jobDay();
QStringList jobWeek();
QStringList birthdays();

} // namespace Queries
