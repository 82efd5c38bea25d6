#include "export/IcsImport.h"

#include "diary/Period.h"
#include "diary/IcsUid.h"

#include <QDateTime>
#include <QTimeZone>

#include <libical/ical.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <unordered_map>
#include <utility>

namespace {

struct ComponentDeleter
{
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// A content line with its folded continuations joined, and the line of the file it begins on.
struct ContentLine
{
    QByteArray text;
    int line = 0;
};

// The calendar's content lines one at a time, so that a file is never held twice over as a whole.
class ContentLines
{
public:
    explicit ContentLines(const QByteArray& calendar)
        : m_calendar(calendar), m_from(calendar.startsWith("\xEF\xBB\xBF") ? 3 : 0)
    {
    }

    // The next line that holds something (blank lines, as some writers leave at the end, hold nothing); false at the
    // end of the file.
    bool next(ContentLine& line)
    {
        while (m_from < m_calendar.size()) {
            const QByteArrayView first = physicalLine();
            if (first.trimmed().isEmpty())
                continue;
            line.line = m_number;
            line.text = first.toByteArray();
            while (m_from < m_calendar.size() && (m_calendar[m_from] == ' ' || m_calendar[m_from] == '\t'))
                line.text += physicalLine().sliced(1);
            return true;
        }
        return false;
    }

private:
    QByteArrayView physicalLine()
    {
        qsizetype end = m_calendar.indexOf('\n', m_from);
        if (end < 0)
            end = m_calendar.size();
        QByteArrayView text(m_calendar.constData() + m_from, end - m_from);
        m_from = end + 1;
        ++m_number;
        if (text.endsWith('\r'))
            text.chop(1);
        return text;
    }

    const QByteArray& m_calendar;
    qsizetype m_from;
    int m_number = 0;
};

// The content line folded again as RFC 5545 writes it, for libical's parser. It reads a line in pieces of a few
// dozen bytes, and looks for the end of the line from each piece anew: one line of megabytes took time in the
// square of its length (4 MB 1.5 s, 10 MB over 20 s), one folded in short lines takes time in proportion to it.
QByteArray foldedForParser(const QByteArray& text)
{
    constexpr qsizetype piece = 72;
    if (text.size() <= piece)
        return text;
    QByteArray folded;
    folded.reserve(text.size() + text.size() / piece * 3 + 3);
    for (qsizetype from = 0; from < text.size(); from += piece) {
        if (from > 0)
            folded += "\r\n ";
        folded += QByteArrayView(text).sliced(from, std::min(piece, text.size() - from));
    }
    return folded;
}

// Whether the text value escapes only what RFC 5545 escapes, whose meaning is not in doubt.
bool escapesPlainly(const QByteArray& text, qsizetype from)
{
    for (qsizetype at = text.indexOf('\\', from); at >= 0; at = text.indexOf('\\', at + 2)) {
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        if (next != 'n' && next != 'N' && next != '\\' && next != ';' && next != ',')
            return false;
    }
    return true;
}

// RFC 5545's escapes of a text value undone where the value stands, which only ever shortens it.
void unescapeText(QByteArray& text, qsizetype from)
{
    char* out = text.data() + from;
    const char* end = text.constData() + text.size();
    for (const char* in = out; in < end; ++in) {
        if (*in == '\\' && in + 1 < end) {
            const char next = in[1];
            if (next == 'n' || next == 'N') {
                *out++ = '\n';
                ++in;
                continue;
            }
            if (next == '\\' || next == ';' || next == ',') {
                *out++ = next;
                ++in;
                continue;
            }
        }
        *out++ = *in;
    }
    text.truncate(out - text.constData());
}

// A text value past this many bytes is put into its property apart from libical's parser of content lines.
constexpr qsizetype longText = 64 * 1024;

// The property of a content line, which it takes over; null when libical can't read it. libical's parser copies a
// value three times over (the line, its pieces joined, the value unescaped), so a description of megabytes is
// given its property with a short stand-in and then its value, unescaped in place: one copy, libical's own.
icalproperty* propertyOf(QByteArray& text)
{
    const qsizetype colon = text.size() > longText ? IcsImport::colonOf(text) : -1;
    const qsizetype value = colon < 0 ? -1 : colon + 1;
    if (value < 0)
        return icalproperty_new_from_string(foldedForParser(text).constData());
    const QByteArray head = text.left(value) + 'x';
    icalproperty* property = icalproperty_new_from_string(head.constData());
    if (!property)
        return nullptr;
    switch (icalproperty_isa(property)) {
    case ICAL_DESCRIPTION_PROPERTY:
    case ICAL_SUMMARY_PROPERTY:
    case ICAL_COMMENT_PROPERTY:
    case ICAL_LOCATION_PROPERTY:
        // A value with another escape is left to libical, which reads it its own way, so that a value reads alike
        // whatever its length.
        if (icalvalue_isa(icalproperty_get_value(property)) == ICAL_TEXT_VALUE && escapesPlainly(text, value)) {
            // libical's parser drops the white space that ends a line.
            while (text.size() > value && std::isspace(static_cast<unsigned char>(text.back())))
                text.chop(1);
            unescapeText(text, value);
            icalproperty_set_value(property, icalvalue_new_text(text.constData() + value));
            return property;
        }
        break;
    default:
        break;
    }
    icalproperty_free(property);
    return icalproperty_new_from_string(foldedForParser(text).constData());
}

QString shown(const QByteArray& text)
{
    constexpr int longest = 60;
    const QString whole = QString::fromUtf8(text);
    return whole.size() > longest ? whole.left(longest) + u'…' : whole;
}

[[noreturn]] void fail(int line, const QString& reason)
{
    throw IcsImport::Unreadable(line, reason);
}

// A component begun and not yet ended, its name as BEGIN gave it and the line of the BEGIN.
struct OpenComponent
{
    Component component;
    QByteArray name;
    int line;
};

class CalendarReader
{
public:
    explicit CalendarReader(const QString& diaryId) : m_diaryId(diaryId) {}

    std::vector<IcsImport::Row> read(const QByteArray& text)
    {
        build(text);
        std::vector<IcsImport::Row> rows;
        for (const Component& calendar : m_calendars)
            for (icalcomponent* item = icalcomponent_get_first_component(calendar.get(), ICAL_ANY_COMPONENT); item;
                 item = icalcomponent_get_next_component(calendar.get(), ICAL_ANY_COMPONENT)) {
                const icalcomponent_kind kind = icalcomponent_isa(item);
                // An occurrence changed on its own shares the UID of its event, which the diary holds as one row.
                const bool occurrence = icalcomponent_get_first_property(item, ICAL_RECURRENCEID_PROPERTY);
                if ((kind == ICAL_VEVENT_COMPONENT || kind == ICAL_VTODO_COMPONENT) && !occurrence)
                    rows.push_back(rowOf(calendar.get(), item));
            }
        return rows;
    }

private:
    // Each line is parsed alone, so a broken one is known by its number, which libical's parser of a whole file
    // does not keep: it drops what it cannot read and goes on.
    void build(const QByteArray& calendar)
    {
        std::vector<OpenComponent> open;
        ContentLines lines(calendar);
        for (ContentLine content; lines.next(content);) {
            const QByteArray& text = content.text;
            const int line = content.line;
            const qsizetype colon = text.indexOf(':');
            const QByteArray name = colon > 0 ? text.left(colon).trimmed().toUpper() : QByteArray();
            if (name == "BEGIN") {
                const QByteArray kindName = text.mid(colon + 1).trimmed().toUpper();
                if (kindName.isEmpty())
                    fail(line, QStringLiteral("не разобрано «%1»").arg(shown(text)));
                if (open.empty() && kindName != "VCALENDAR")
                    fail(line, QStringLiteral("календарь должен начинаться с «BEGIN:VCALENDAR»"));
                const icalcomponent_kind kind = icalcomponent_string_to_kind(kindName.constData());
                icalcomponent* made = kind == ICAL_NO_COMPONENT || kind == ICAL_X_COMPONENT
                                          ? icalcomponent_new_x(kindName.constData())
                                          : icalcomponent_new(kind);
                open.push_back({Component(made), kindName, line});
            } else if (name == "END") {
                const QByteArray kindName = text.mid(colon + 1).trimmed().toUpper();
                if (open.empty())
                    fail(line, QStringLiteral("«%1» без начала").arg(shown(text)));
                if (open.back().name != kindName)
                    fail(line, QStringLiteral("«%1» не закрывает «BEGIN:%2» из строки %3")
                                   .arg(shown(text), QString::fromLatin1(open.back().name))
                                   .arg(open.back().line));
                // Added to its parent only now that it is whole: a time zone is indexed by the TZID it holds.
                Component ended = std::move(open.back().component);
                open.pop_back();
                if (open.empty())
                    m_calendars.push_back(std::move(ended));
                else
                    icalcomponent_add_component(open.back().component.get(), ended.release());
            } else {
                if (open.empty())
                    fail(line, QStringLiteral("«%1» вне календаря").arg(shown(text)));
                icalproperty* property = colon > 0 ? propertyOf(content.text) : nullptr;
                if (!property)
                    fail(line, QStringLiteral("не разобрано «%1»").arg(shown(text)));
                icalcomponent_add_property(open.back().component.get(), property);
                m_lines[property] = line;
            }
        }
        if (!open.empty())
            fail(open.back().line,
                 QStringLiteral("«BEGIN:%1» не закрыт до конца файла").arg(QString::fromLatin1(open.back().name)));
        if (m_calendars.empty())
            fail(1, QStringLiteral("в файле нет календаря"));
    }

    int lineOf(icalproperty* property) const
    {
        const auto found = m_lines.find(property);
        return found == m_lines.end() ? 0 : found->second;
    }

    struct Moment
    {
        QDate date;
        QTime time; // invalid for a date alone
    };

    // A date, or a date-time as a local time in the system's zone. A value of another type never gets here: libical
    // refuses a line that gives DUE or DTSTART one.
    Moment momentOf(icalcomponent* calendar, icalproperty* property) const
    {
        return momentOf(calendar, property, icalvalue_get_datetime(icalproperty_get_value(property)));
    }

    Moment momentOf(icalcomponent* calendar, icalproperty* property, const icaltimetype& value) const
    {
        const QDate date(value.year, value.month, value.day);
        const QTime time = value.is_date ? QTime() : QTime(value.hour, value.minute, value.second);
        if (!date.isValid() || (!value.is_date && !time.isValid()))
            fail(lineOf(property), QStringLiteral("неверная дата «%1»").arg(icaltime_as_ical_string(value)));
        if (value.is_date)
            return {date, time};
        if (icaltime_is_utc(value))
            return local(QDateTime(date, time, QTimeZone::utc()));
        icalparameter* zoneParameter = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
        const char* zoneId = zoneParameter ? icalparameter_get_tzid(zoneParameter) : nullptr;
        // The system's own zone, as the export names it, needs no conversion; a time with no zone floats.
        if (!zoneId || m_systemZone == zoneId)
            return {date, time};
        icaltimezone* zone = icalcomponent_get_timezone(calendar, zoneId);
        if (!zone)
            zone = icaltimezone_get_builtin_timezone(zoneId);
        if (zone)
            return local(QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(value, zone)));
        const QTimeZone known(zoneId);
        return known.isValid() ? local(QDateTime(date, time, known)) : Moment{date, time};
    }

    static Moment local(const QDateTime& moment)
    {
        const QDateTime there = moment.toLocalTime();
        return {there.date(), there.time()};
    }

    static QString periodOf(const icalrecurrencetype& rule)
    {
        Period::Recurrence recurrence = Period::Recurrence::None;
        switch (rule.freq) {
        case ICAL_HOURLY_RECURRENCE:
            recurrence = Period::Recurrence::Hourly;
            break;
        case ICAL_DAILY_RECURRENCE:
            recurrence = Period::Recurrence::Daily;
            break;
        case ICAL_WEEKLY_RECURRENCE:
            recurrence = Period::Recurrence::Weekly;
            break;
        case ICAL_MONTHLY_RECURRENCE:
            recurrence = rule.interval == 3 ? Period::Recurrence::Quarterly : Period::Recurrence::Monthly;
            break;
        case ICAL_YEARLY_RECURRENCE:
            recurrence = Period::Recurrence::Yearly;
            break;
        default:
            return QString();
        }
        for (const Period& period : Period::all())
            if (period.recurrence() == recurrence)
                return period.text();
        return QString();
    }

    IcsImport::Row rowOf(icalcomponent* calendar, icalcomponent* item) const
    {
        IcsImport::Row row;
        row.uid = QString::fromUtf8(icalcomponent_get_uid(item));
        row.id = IcsUid::idOf(row.uid, m_diaryId);
        row.job = QString::fromUtf8(icalcomponent_get_summary(item));
        row.note = QString::fromUtf8(icalcomponent_get_description(item));
        icalproperty* due = icalcomponent_get_first_property(item, ICAL_DUE_PROPERTY);
        icalproperty* start = icalcomponent_get_first_property(item, ICAL_DTSTART_PROPERTY);
        if (icalproperty* when = due ? due : start) {
            const Moment moment = momentOf(calendar, when);
            row.date = moment.date;
            row.time = moment.time;
        }
        if (icalproperty* rule = icalcomponent_get_first_property(item, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype recurrence = icalproperty_get_rrule(rule);
            const bool allDay = start && !row.time.isValid();
            if (icalcomponent_isa(item) == ICAL_VEVENT_COMPONENT && allDay &&
                recurrence.freq == ICAL_YEARLY_RECURRENCE) {
                const Period birthday(Period::Kind::Birthday);
                const QString prefix = birthday.text() + QStringLiteral(": ");
                const bool isBirthday = row.job.startsWith(prefix);
                row.period = isBirthday ? birthday.text() : Period(Period::Kind::MemorableDate).text();
                if (isBirthday)
                    row.job.remove(0, prefix.size());
            } else {
                row.period = periodOf(recurrence);
            }
        }
        icalproperty* status = icalcomponent_get_first_property(item, ICAL_STATUS_PROPERTY);
        row.done = (status && icalproperty_get_status(status) == ICAL_STATUS_COMPLETED) ||
                   icalcomponent_get_first_property(item, ICAL_COMPLETED_PROPERTY);
        readAlarm(calendar, item, row);
        return row;
    }

    // The first alarm opens the reminder window: at its own time, or its offset from the event's day and time.
    void readAlarm(icalcomponent* calendar, icalcomponent* item, IcsImport::Row& row) const
    {
        icalcomponent* alarm = icalcomponent_get_first_component(item, ICAL_VALARM_COMPONENT);
        icalproperty* trigger = alarm ? icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY) : nullptr;
        if (!trigger)
            return;
        const icaltriggertype when = icalproperty_get_trigger(trigger);
        Moment opens;
        if (!icaltime_is_null_time(when.time)) {
            opens = momentOf(calendar, trigger, when.time);
        } else {
            if (!row.date.isValid())
                return;
            // Counted on the wall clock, as the export counts the window: a change of summer time moves nothing.
            const QDateTime due(row.date, row.time.isValid() ? row.time : QTime(0, 0), QTimeZone::utc());
            const QDateTime opened = due.addSecs(icaldurationtype_as_int(when.duration));
            opens = {opened.date(), opened.time()};
        }
        row.napom = true;
        row.shedDate = opens.date;
        // The window opening at the day's start is how the export writes one with no time.
        row.shedTime = opens.time == QTime(0, 0) ? QTime() : opens.time;
    }

    const QString& m_diaryId;
    const QByteArray m_systemZone = QTimeZone::systemTimeZoneId();
    std::vector<Component> m_calendars;
    std::unordered_map<const icalproperty*, int> m_lines;
};

} // namespace

IcsImport::Unreadable::Unreadable(int line, const QString& reason)
    : Error(QStringLiteral("Файл iCalendar не прочитан: строка %1, %2").arg(line).arg(reason)), m_line(line),
      m_reason(reason)
{
}

QString IcsImport::Unreadable::where() const
{
    return QStringLiteral("строка %1, %2").arg(m_line).arg(m_reason);
}

std::vector<IcsImport::Row> IcsImport::read(const QByteArray& calendar, const QString& diaryId)
{
    return CalendarReader(diaryId).read(calendar);
}

qsizetype IcsImport::colonOf(const QByteArray& line)
{
    bool quoted = false;
    for (qsizetype at = 0; at < line.size(); ++at) {
        if (line[at] == '"')
            quoted = !quoted;
        else if (line[at] == ':' && !quoted)
            return at;
    }
    return -1;
}
