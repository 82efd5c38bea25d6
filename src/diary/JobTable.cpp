#include "diary/JobTable.h"

#include "databind/Field.h"
#include "databind/RecordSet.h"

#include <algorithm>
#include <array>

namespace {

constexpr auto DateTime = ColumnKind::DateTime;
constexpr auto Boolean = ColumnKind::Boolean;

// In the table's order.
const std::array<JobColumn, 12> jobColumns = {{
    {"id_job", ColumnKind::AutoIncrement},
    {"job", ColumnKind::Text, 250, false, "Задание", 150, "Мероприятие", 45},
    {"date_zap", DateTime, 0, false, "Дата записи", 0, "Дата последнего изменения", 19},
    {"date_isp", DateTime, 0, false, nullptr, 0, "Дата исполнения", 19},
    {"time_isp", DateTime, 0, true, nullptr, 0, "Время исполнения", 11},
    {"interval", Boolean},
    {"other", ColumnKind::Memo, 0, false, nullptr, 0, "Примечание", 45},
    {"vip", Boolean, 0, false, nullptr, 0, "Выполнено", 11},
    {"period", ColumnKind::Text, 15, false, nullptr, 0, "Периодичность", 16},
    {"napom", Boolean},
    {"date_shed", DateTime, 0, false, nullptr, 0, "Дата начала напоминания", 19},
    {"time_shed", DateTime, 0, true, nullptr, 0, "Время начала напоминания", 13},
}};

// The workbook's columns: the event first, then when and how often, then the rest.
constexpr std::array<const char*, 9> exportOrder = {"job",   "period",    "date_isp",  "time_isp", "vip",
                                                    "other", "date_shed", "time_shed", "date_zap"};

const JobColumn& column(const char* name)
{
    const auto found = std::find_if(jobColumns.begin(), jobColumns.end(),
                                    [name](const JobColumn& c) { return qstrcmp(c.name, name) == 0; });
    Q_ASSERT(found != jobColumns.end());
    return *found;
}

const QString timeOfDayFormat = QStringLiteral("hh:mm");
const QString timeOfDayMask = QStringLiteral("!90:00;1;_");

} // namespace

namespace JobTable {

std::span<const JobColumn> columns()
{
    return jobColumns;
}

const TableSchema& schema()
{
    static const TableSchema table = [] {
        TableSchema t;
        t.name = QStringLiteral("job");
        for (const JobColumn& c : jobColumns)
            t.columns.push_back({QString::fromLatin1(c.name), c.kind, c.size});
        // The lists are read by periodicity in order of execution.
        t.indexes.push_back({QStringLiteral("period"), QStringLiteral("date_isp")});
        return t;
    }();
    return table;
}

QString name(Column column)
{
    static_assert(static_cast<std::size_t>(Column::TimeShed) + 1 == jobColumns.size());
    return QString::fromLatin1(jobColumns[static_cast<std::size_t>(column)].name);
}

std::vector<const JobColumn*> exportColumns()
{
    std::vector<const JobColumn*> shown;
    for (const char* name : exportOrder)
        shown.push_back(&column(name));
    return shown;
}

void declareFields(RecordSet& set, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const JobColumn& c = column(name);
        Field& field = set.addField(QString::fromLatin1(c.name), c.kind, c.size);
        field.setReadOnly(c.kind == ColumnKind::AutoIncrement);
        if (c.label)
            field.setDisplayLabel(QString::fromUtf8(c.label));
        if (c.displayWidth)
            field.setDisplayWidth(c.displayWidth);
        if (c.timeOfDay) {
            field.setDisplayFormat(timeOfDayFormat);
            field.setEditMask(timeOfDayMask);
        }
    }
}

QString connectionString(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security Info=False").arg(path);
}

} // namespace JobTable
