#include "export/IcsExport.h"

#include "databind/ActiveRowScope.h"
#include "databind/RecordSet.h"
#include "diary/JobTable.h"
#include "base/DateSerial.h"
#include "base/Error.h"
#include "export/IcsComponents.h"

#include <QDir>
#include <QSaveFile>

#include <libical/ical.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using ListExport::failWriting;

// Rows turned into components between two progress reports.
constexpr int rowsPerReport = 1000;

struct ComponentDeleter
{
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

class CalendarWriter
{
public:
    CalendarWriter(QSaveFile& file, const QString& path, const QString& diaryId)
        : m_file(file), m_path(path), m_components(diaryId)
    {
    }

    void begin()
    {
        put("BEGIN:VCALENDAR\r\n");
        put(IcsComponents::header().constData());
        if (icalcomponent* zone = m_components.zone())
            putComponent(zone);
    }

    void end() { put("END:VCALENDAR\r\n"); }

    void add(const IcsComponents::Row& row) { putComponent(m_components.make(row)); }

private:
    // The texts libical makes are freed whether or not writing them fails.
    using IcalText = std::unique_ptr<char, decltype(&std::free)>;

    void putComponent(icalcomponent* made)
    {
        const Component component(made);
        const IcalText text(icalcomponent_as_ical_string_r(component.get()), &std::free);
        put(text.get());
    }

    void put(const char* text)
    {
        const qint64 length = static_cast<qint64>(std::strlen(text));
        if (m_file.write(text, length) != length)
            failWriting(m_path, m_file.errorString());
    }

    QSaveFile& m_file;
    const QString& m_path;
    const IcsComponents m_components;
};

const ListExport::Format icsFormat{QStringLiteral("Сохранить список в файл iCalendar"),
                                   QStringLiteral("Календарь iCalendar (*.ics)"), QStringLiteral("ics"),
                                   QStringLiteral("Экспорт списка в iCalendar…")};

} // namespace

bool IcsExport::write(RecordSet& list, const QString& path, const QString& diaryId, const Progress& progress)
{
    // Opened first, so an unwritable folder is reported before the work and the old file stays until commit.
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly))
        failWriting(path, target.errorString());
    const int rows = list.recordCount();
    using JobTable::Column;
    const auto field = [&list](Column column) { return list.findField(JobTable::name(column)); };
    Field* const id = field(Column::IdJob);
    Field* const job = field(Column::Job);
    Field* const period = field(Column::Period);
    Field* const date = field(Column::DateIsp);
    Field* const time = field(Column::TimeIsp);
    Field* const shedDate = field(Column::DateShed);
    Field* const shedTime = field(Column::TimeShed);
    Field* const done = field(Column::Vip);
    Field* const note = field(Column::Other);
    const auto text = [](const Field* f) { return f && !f->isNull() ? f->value().toString() : QString(); };
    // Straight from the day count: a local QDateTime would look the time zone up for each value.
    const auto day = [](const Field* f) { return f && !f->isNull() ? DateSerial::toDate(f->asSerial()) : QDate(); };
    const auto clock = [](const Field* f) { return f && !f->isNull() ? DateSerial::toTime(f->asSerial()) : QTime(); };

    CalendarWriter calendar(target, path, diaryId);
    calendar.begin();
    int written = 0;
    for (int first = 0; first < rows; first = written) {
        if (progress && !progress(written, rows))
            return false;
        if (list.recordCount() != rows)
            throw Error(QStringLiteral("Список изменился во время экспорта, файл «%1» не записан")
                            .arg(QDir::toNativeSeparators(path)));
        const int last = std::min(rows, first + rowsPerReport);
        ActiveRowScope walk(list, first);
        for (int r = first; r < last; ++r) {
            walk.moveTo(r);
            IcsComponents::Row row;
            row.id = id && !id->isNull() ? id->value().toLongLong() : r + 1;
            row.job = text(job);
            row.period = text(period);
            row.date = day(date);
            row.time = clock(time);
            row.shedDate = day(shedDate);
            row.shedTime = clock(shedTime);
            row.done = done && !done->isNull() && done->asBoolean();
            row.note = text(note);
            calendar.add(row);
        }
        written = last;
    }
    if (progress && !progress(rows, rows))
        return false;
    calendar.end();
    if (!target.commit())
        failWriting(path, target.errorString());
    return true;
}

IcsExport::Outcome IcsExport::run(QWidget* parent, RecordSet& list, const QString& diaryId)
{
    return run(parent, list, diaryId, standardDialogs());
}

IcsExport::Outcome IcsExport::run(QWidget* parent, RecordSet& list, const QString& diaryId, const Dialogs& dialogs)
{
    return ListExport::run(parent, list, icsFormat, dialogs, [&](const QString& path, const Progress& progress) {
        return write(list, path, diaryId, progress);
    });
}

IcsExport::Dialogs IcsExport::standardDialogs()
{
    return ListExport::standardDialogs(icsFormat);
}
