#pragma once

#include "engine/ColumnInfo.h"
#include "engine/TableSchema.h"

#include <QString>

#include <initializer_list>
#include <span>
#include <vector>

class RecordSet;

// One column of the diary's table job: how the file stores it, how the record sets declare it, and where the
// export puts it.
struct JobColumn
{
    const char* name;
    ColumnKind kind;
    int size = 0;                  // characters, for Text
    bool timeOfDay = false;        // a date-time of which only the time of day is shown and typed
    const char* label = nullptr;   // the list's column title; none: the name
    int displayWidth = 0;          // characters in the list; 0: the field's own
    const char* heading = nullptr; // the export's column heading; none: not exported
    double exportWidth = 0;        // characters of the workbook's default font
};

// The diary's one table, job, and the file that holds it.
namespace JobTable {

std::span<const JobColumn> columns();

// The columns in the table's order, for code that reads particular ones.
enum class Column { IdJob, Job, DateZap, DateIsp, TimeIsp, Interval, Other, Vip, Period, Napom, DateShed, TimeShed };
QString name(Column column);

// The table as the engine makes and checks it.
const TableSchema& schema();

// The columns the export writes, in the workbook's order.
std::vector<const JobColumn*> exportColumns();

// Declares the named columns as fields of set, with their kinds, sizes, titles and time formats; the key is
// read-only.
void declareFields(RecordSet& set, std::initializer_list<const char*> names);

// The connection string of the diary in the file at path, a full path.
QString connectionString(const QString& path);

} // namespace JobTable
