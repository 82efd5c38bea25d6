#include "export/IcsExport.h"

#include "databind/ActiveRowScope.h"
#include "databind/RecordSet.h"
#include "diary/JobTable.h"
#include "base/Clock.h"
#include "base/DateSerial.h"
#include "base/Error.h"
#include "diary/Period.h"
#include "diary/EventUids.h"

#include <QDir>
#include <QSaveFile>
#include <QTimeZone>

#include <libical/ical.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

using ListExport::failWriting;

// Rows turned into components between two progress reports.
constexpr int rowsPerReport = 1000;

struct ComponentDeleter
{
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// The rule of each recurrence of a periodicity; a periodicity that does not recur has none.
constexpr struct
{
    Period::Recurrence recurrence;
    const char* rule;
} recurrences[] = {
    {Period::Recurrence::Hourly, "FREQ=HOURLY"},
    {Period::Recurrence::Daily, "FREQ=DAILY"},
    {Period::Recurrence::Weekly, "FREQ=WEEKLY"},
    {Period::Recurrence::Monthly, "FREQ=MONTHLY"},
    {Period::Recurrence::Quarterly, "FREQ=MONTHLY;INTERVAL=3"},
    {Period::Recurrence::Yearly, "FREQ=YEARLY"},
};

// libical's typed constructors take years up to 3000 only and write a later one as 00000000T000000, while a value
// read from its text keeps any year of four digits. The typed way is the quicker, so the text serves the later years
// alone.
constexpr int lastTypedYear = 3000;

QByteArray dateText(const QDate& date)
{
    char text[16];
    const int size = std::snprintf(text, sizeof text, "%04d%02d%02d", date.year(), date.month(), date.day());
    return QByteArray(text, size);
}

QByteArray dateTimeText(const QDate& date, const QTime& time)
{
    char text[32];
    const int size = std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d", date.year(), date.month(),
                                   date.day(), time.hour(), time.minute(), time.second());
    return QByteArray(text, size);
}

// A date, or with a valid time a date-time, in UTC when utc is set and otherwise floating or local.
icalvalue* timeValue(const QDate& date, const QTime& time, bool utc = false)
{
    const bool isDate = !time.isValid();
    if (date.year() > lastTypedYear) {
        const QByteArray text = isDate ? dateText(date) : dateTimeText(date, time) + (utc ? "Z" : "");
        return icalvalue_new_from_string(isDate ? ICAL_DATE_VALUE : ICAL_DATETIME_VALUE, text.constData());
    }
    icaltimetype value = isDate ? icaltime_null_date() : icaltime_null_time();
    value.year = date.year();
    value.month = date.month();
    value.day = date.day();
    if (isDate)
        return icalvalue_new_date(value);
    value.hour = time.hour();
    value.minute = time.minute();
    value.second = time.second();
    if (utc)
        value.zone = icaltimezone_get_utc_timezone();
    return icalvalue_new_datetime(value);
}

icalproperty* propertyWithValue(icalproperty_kind kind, icalvalue* value)
{
    icalproperty* property = icalproperty_new(kind);
    icalproperty_set_value(property, value);
    return property;
}

icalproperty* dateProperty(icalproperty_kind kind, const QDate& date)
{
    return propertyWithValue(kind, timeValue(date, QTime()));
}

// A control character a TEXT value may not hold: any but the line feed (which it holds escaped) and TAB.
bool isForbiddenControl(QChar c)
{
    return (c.unicode() < 0x20 && c != u'\n' && c != u'\t') || c.unicode() == 0x7f;
}

// A text as a TEXT value may hold it, in UTF-8: each line break (CR LF, CR or LF) one LF, which libical writes as
// "\n", TAB kept, any other control character left out. Handed to libical as it is, a CR or a form feed would be
// dropped, other control characters written raw, which readers refuse, and a NUL would end the text.
QByteArray utf8(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), isForbiddenControl))
        return text.toUtf8();
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            kept += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (!isForbiddenControl(text[i])) {
            kept += text[i];
        }
    }
    return kept.toUtf8();
}

class CalendarWriter
{
public:
    // The parsed rules are made once here: per row they were a good part of the export's time.
    CalendarWriter(QSaveFile& file, const QString& path, const EventUids& uids)
        : m_file(file), m_path(path), m_uids(uids),
          m_stamp(icaltime_from_timet_with_zone(Clock::now().toSecsSinceEpoch(), 0, icaltimezone_get_utc_timezone())),
          m_yearly(icalrecurrencetype_from_string("FREQ=YEARLY")),
          m_lastOfFebruary(icalrecurrencetype_from_string("FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1"))
    {
        for (const auto& r : recurrences)
            m_recurrences.push_back({r.recurrence, icalrecurrencetype_from_string(r.rule)});
        m_zoneId = QTimeZone::systemTimeZoneId();
        m_zone = icaltimezone_get_builtin_timezone(m_zoneId.constData());
        if (m_zone && !icaltimezone_get_component(m_zone))
            m_zone = nullptr; // UTC: times are written as UTC, which is as exact
    }

    void begin()
    {
        put("BEGIN:VCALENDAR\r\n");
        putProperty(icalproperty_new_version("2.0"));
        putProperty(icalproperty_new_prodid("-//Chronoteka//Chronoteka 0.1//RU"));
        putProperty(icalproperty_new_calscale("GREGORIAN"));
        if (m_zone) {
            // Named as the system names the zone (Europe/Moscow), which every reader knows, rather than with the
            // prefix libical puts before the names of the zones it builds.
            icalcomponent* zone = icalcomponent_new_clone(icaltimezone_get_component(m_zone));
            icalproperty_set_tzid(icalcomponent_get_first_property(zone, ICAL_TZID_PROPERTY), m_zoneId.constData());
            putComponent(zone);
        }
    }

    void end() { put("END:VCALENDAR\r\n"); }

    struct Row
    {
        qint64 id = 0;
        QString job;
        QString period;
        QDate date;
        QTime time;
        QDate shedDate;
        QTime shedTime;
        bool done = false;
        QString note;
    };

    void add(const Row& row)
    {
        // A periodicity typed in another case is the same periodicity, as the lists and the reminders take it.
        const std::optional<Period> period = Period::fromStored(row.period);
        if (period && period->isYearlyDate() && row.date.isValid())
            putComponent(yearlyEvent(row, *period));
        else
            putComponent(todo(row, period ? recurrenceOf(*period) : nullptr));
    }

private:
    icalcomponent* yearlyEvent(const Row& row, const Period& period)
    {
        icalcomponent* event = icalcomponent_new_vevent();
        common(event, row);
        const bool birthday = period.kind() == Period::Kind::Birthday;
        const QByteArray summary = utf8(birthday ? period.text() + QStringLiteral(": ") + row.job : row.job);
        icalcomponent_add_property(event, icalproperty_new_summary(summary.constData()));
        icalcomponent_add_property(event, dateProperty(ICAL_DTSTART_PROPERTY, row.date));
        // The day after 31 December 9999 has no four-digit year; the day's length says the same.
        const QDate next = row.date.addDays(1);
        icalcomponent_add_property(event, next.year() <= 9999
                                              ? dateProperty(ICAL_DTEND_PROPERTY, next)
                                              : icalproperty_new_duration(icaldurationtype_from_int(86400)));
        icalcomponent_add_property(event, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
        // A yearly rule alone skips 29 February in the other years; the last day of February is then the 28th.
        const bool leapDay = row.date.month() == 2 && row.date.day() == 29;
        icalcomponent_add_property(event, icalproperty_new_rrule(leapDay ? m_lastOfFebruary : m_yearly));
        if (!row.note.isEmpty())
            icalcomponent_add_property(event, icalproperty_new_description(utf8(row.note).constData()));
        if (row.shedDate.isValid()) {
            icalcomponent* alarm = icalcomponent_new_valarm();
            icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
            icalcomponent_add_property(alarm, icalproperty_new_description(summary.constData()));
            icalcomponent_add_property(
                alarm, icalproperty_new_trigger(icaltriggertype_from_int(static_cast<int>(-windowSeconds(row)))));
            icalcomponent_add_component(event, alarm);
        }
        return event;
    }

    // How long before the day's start the reminder window opens: from the month and day of its start, at its
    // time, to those of the date, within one year.
    static qint64 windowSeconds(const Row& row)
    {
        const int year = row.date.year();
        const auto inYear = [](const QDate& date, int y) {
            const int day = date.month() == 2 && date.day() == 29 && !QDate::isLeapYear(y) ? 28 : date.day();
            return QDate(y, date.month(), day);
        };
        const QDate due = inYear(row.date, year);
        QDate opens = inYear(row.shedDate, year);
        if (opens > due)
            opens = inYear(row.shedDate, year - 1);
        const qint64 seconds = opens.daysTo(due) * 86400;
        return seconds - (row.shedTime.isValid() ? row.shedTime.msecsSinceStartOfDay() / 1000 : 0);
    }

    icalcomponent* todo(const Row& row, const icalrecurrencetype* rule)
    {
        icalcomponent* todo = icalcomponent_new_vtodo();
        common(todo, row);
        icalcomponent_add_property(todo, icalproperty_new_summary(utf8(row.job).constData()));
        if (row.date.isValid()) {
            icalcomponent_add_property(todo, timeProperty(ICAL_DUE_PROPERTY, row.date, row.time));
            if (rule) {
                // A recurrence counts from DTSTART, which a to-do names beside its due time.
                icalcomponent_add_property(todo, timeProperty(ICAL_DTSTART_PROPERTY, row.date, row.time));
                icalcomponent_add_property(todo, icalproperty_new_rrule(*rule));
            }
        }
        icalcomponent_add_property(todo,
                                   icalproperty_new_status(row.done ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION));
        if (!row.note.isEmpty())
            icalcomponent_add_property(todo, icalproperty_new_description(utf8(row.note).constData()));
        return todo;
    }

    const icalrecurrencetype* recurrenceOf(const Period& period) const
    {
        for (const auto& [recurrence, rule] : m_recurrences)
            if (period.recurrence() == recurrence)
                return &rule;
        return nullptr;
    }

    void common(icalcomponent* component, const Row& row)
    {
        const QByteArray uid = m_uids.uidOf(row.id).toUtf8();
        icalcomponent_add_property(component, icalproperty_new_uid(uid.constData()));
        icalcomponent_add_property(component, icalproperty_new_dtstamp(m_stamp));
    }

    // A date, or a local time that names its zone by the name the VTIMEZONE carries. Without a VTIMEZONE the time
    // is written in UTC, unless that falls after the year 9999: then as the local time it is.
    icalproperty* timeProperty(icalproperty_kind kind, const QDate& date, const QTime& time) const
    {
        if (!time.isValid())
            return dateProperty(kind, date);
        if (!m_zone) {
            const QDateTime utc = QDateTime(date, time).toUTC();
            if (utc.date().year() <= 9999)
                return propertyWithValue(kind, timeValue(utc.date(), utc.time(), true));
            return propertyWithValue(kind, timeValue(date, time));
        }
        icalproperty* property = propertyWithValue(kind, timeValue(date, time));
        icalproperty_add_parameter(property, icalparameter_new_tzid(m_zoneId.constData()));
        return property;
    }

    // The texts libical makes are freed whether or not writing them fails.
    using IcalText = std::unique_ptr<char, decltype(&std::free)>;

    void putProperty(icalproperty* property)
    {
        const IcalText text(icalproperty_as_ical_string_r(property), &std::free);
        icalproperty_free(property);
        put(text.get());
    }

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
    const EventUids& m_uids;
    icaltimetype m_stamp;
    icalrecurrencetype m_yearly;
    icalrecurrencetype m_lastOfFebruary;
    std::vector<std::pair<Period::Recurrence, icalrecurrencetype>> m_recurrences;
    QByteArray m_zoneId;
    icaltimezone* m_zone = nullptr;
};

const ListExport::Format icsFormat{QStringLiteral("Сохранить список в файл iCalendar"),
                                   QStringLiteral("Календарь iCalendar (*.ics)"), QStringLiteral("ics"),
                                   QStringLiteral("Экспорт списка в iCalendar…")};

} // namespace

bool IcsExport::write(RecordSet& list, const QString& path, const EventUids& uids, const Progress& progress)
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

    CalendarWriter calendar(target, path, uids);
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
            CalendarWriter::Row row;
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

IcsExport::Outcome IcsExport::run(QWidget* parent, RecordSet& list, const EventUids& uids)
{
    return run(parent, list, uids, standardDialogs());
}

IcsExport::Outcome IcsExport::run(QWidget* parent, RecordSet& list, const EventUids& uids, const Dialogs& dialogs)
{
    return ListExport::run(parent, list, icsFormat, dialogs, [&](const QString& path, const Progress& progress) {
        return write(list, path, uids, progress);
    });
}

IcsExport::Dialogs IcsExport::standardDialogs()
{
    return ListExport::standardDialogs(icsFormat);
}
