#include "export/IcsComponents.h"

#include "base/Clock.h"
#include "diary/Period.h"
#include "export/IcsUid.h"

#include <QDateTime>
#include <QTimeZone>

#include <libical/ical.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

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

} // namespace

struct IcsComponents::Private
{
    explicit Private(const QString& diaryId)
        : uidTail(IcsUid::tail(diaryId)),
          stamp(icaltime_from_timet_with_zone(Clock::now().toSecsSinceEpoch(), 0, icaltimezone_get_utc_timezone())),
          yearly(icalrecurrencetype_from_string("FREQ=YEARLY")),
          lastOfFebruary(icalrecurrencetype_from_string("FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1"))
    {
        for (const auto& r : recurrences)
            ruleOf.push_back({r.recurrence, icalrecurrencetype_from_string(r.rule)});
        zoneId = QTimeZone::systemTimeZoneId();
        zone = icaltimezone_get_builtin_timezone(zoneId.constData());
        if (zone && !icaltimezone_get_component(zone))
            zone = nullptr; // UTC: times are written as UTC, which is as exact
    }

    icalcomponent* yearlyEvent(const Row& row, const Period& period) const
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
        icalcomponent_add_property(event, icalproperty_new_rrule(leapDay ? lastOfFebruary : yearly));
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

    icalcomponent* todo(const Row& row, const icalrecurrencetype* rule) const
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
        for (const auto& [recurrence, rule] : ruleOf)
            if (period.recurrence() == recurrence)
                return &rule;
        return nullptr;
    }

    void common(icalcomponent* component, const Row& row) const
    {
        const QByteArray uid = row.uid.isEmpty() ? QByteArray::number(row.id) + uidTail : row.uid.toUtf8();
        icalcomponent_add_property(component, icalproperty_new_uid(uid.constData()));
        icalcomponent_add_property(component, icalproperty_new_dtstamp(stamp));
    }

    // A date, or a local time that names its zone by the name the VTIMEZONE carries. Without a VTIMEZONE the time
    // is written in UTC, unless that falls after the year 9999: then as the local time it is.
    icalproperty* timeProperty(icalproperty_kind kind, const QDate& date, const QTime& time) const
    {
        if (!time.isValid())
            return dateProperty(kind, date);
        if (!zone) {
            const QDateTime utc = QDateTime(date, time).toUTC();
            if (utc.date().year() <= 9999)
                return propertyWithValue(kind, timeValue(utc.date(), utc.time(), true));
            return propertyWithValue(kind, timeValue(date, time));
        }
        icalproperty* property = propertyWithValue(kind, timeValue(date, time));
        icalproperty_add_parameter(property, icalparameter_new_tzid(zoneId.constData()));
        return property;
    }

    const QByteArray uidTail;
    const icaltimetype stamp;
    const icalrecurrencetype yearly;
    const icalrecurrencetype lastOfFebruary;
    std::vector<std::pair<Period::Recurrence, icalrecurrencetype>> ruleOf;
    QByteArray zoneId;
    icaltimezone* zone = nullptr;
};

IcsComponents::IcsComponents(const QString& diaryId) : d(std::make_unique<Private>(diaryId)) {}

IcsComponents::~IcsComponents() = default;

icalcomponent* IcsComponents::make(const Row& row) const
{
    // A periodicity typed in another case is the same periodicity, as the lists and the reminders take it.
    const std::optional<Period> period = Period::fromStored(row.period);
    if (period && period->isYearlyDate() && row.date.isValid())
        return d->yearlyEvent(row, *period);
    return d->todo(row, period ? d->recurrenceOf(*period) : nullptr);
}

icalcomponent* IcsComponents::zone() const
{
    if (!d->zone)
        return nullptr;
    // Named as the system names the zone (Europe/Moscow), which every reader knows, rather than with the prefix
    // libical puts before the names of the zones it builds.
    icalcomponent* zone = icalcomponent_new_clone(icaltimezone_get_component(d->zone));
    icalproperty_set_tzid(icalcomponent_get_first_property(zone, ICAL_TZID_PROPERTY), d->zoneId.constData());
    return zone;
}

QByteArray IcsComponents::header()
{
    return "VERSION:2.0\r\nPRODID:-//Chronoteka//Chronoteka 0.1//RU\r\nCALSCALE:GREGORIAN\r\n";
}

QByteArray IcsComponents::calendarOf(const Row& row) const
{
    const auto text = [](icalcomponent* made) {
        char* written = icalcomponent_as_ical_string_r(made);
        const QByteArray kept(written);
        std::free(written);
        icalcomponent_free(made);
        return kept;
    };
    icalcomponent* item = make(row);
    QByteArray calendar = "BEGIN:VCALENDAR\r\n" + header();
    // Only a to-do's time of day names the zone.
    if (d->zone && row.date.isValid() && row.time.isValid() && icalcomponent_isa(item) == ICAL_VTODO_COMPONENT)
        calendar += text(zone());
    return calendar + text(item) + "END:VCALENDAR\r\n";
}
