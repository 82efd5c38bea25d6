#include "sync/ObjectMerge.h"

#include "base/Clock.h"
#include "sync/DiaryEvents.h"

#include <QDateTime>
#include <QList>
#include <QTimeZone>

#include <libical/ical.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace {

using Event = ObjectMerge::Event;

struct ComponentDeleter
{
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// A content line as the object has it: its physical lines with their folds and line ends, which are written back
// untouched, and the line unfolded, which is read.
struct ContentLine
{
    QByteArray raw;
    QByteArray text;
    QByteArray name;
};

QByteArray nameOf(const QByteArray& text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end] != ';' && text[end] != ':')
        ++end;
    return text.left(end).trimmed().toUpper();
}

std::vector<ContentLine> contentLines(const QByteArray& calendar)
{
    std::vector<ContentLine> lines;
    qsizetype from = 0;
    while (from < calendar.size()) {
        qsizetype end = calendar.indexOf('\n', from);
        end = end < 0 ? calendar.size() : end + 1;
        const QByteArray physical = calendar.mid(from, end - from);
        from = end;
        QByteArray text = physical;
        while (text.endsWith('\n') || text.endsWith('\r'))
            text.chop(1);
        if ((physical.startsWith(' ') || physical.startsWith('\t')) && !lines.empty()) {
            lines.back().raw += physical;
            lines.back().text += text.mid(1);
        } else {
            lines.push_back({physical, text, {}});
        }
    }
    for (ContentLine& line : lines)
        line.name = nameOf(line.text);
    return lines;
}

QByteArray valueOf(const ContentLine& line)
{
    const qsizetype colon = IcsImport::colonOf(line.text);
    return colon < 0 ? QByteArray() : line.text.mid(colon + 1);
}

// The parameters of a line as written, each "NAME=value".
QList<QByteArray> parametersOf(const QByteArray& text)
{
    const qsizetype colon = IcsImport::colonOf(text);
    const QByteArray head = colon < 0 ? text : text.left(colon);
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= head.size(); ++i) {
        if (i < head.size() && head[i] == '"') {
            quoted = !quoted;
        } else if (i == head.size() || (head[i] == ';' && !quoted)) {
            parts << head.mid(from, i - from);
            from = i + 1;
        }
    }
    parts.removeFirst();
    return parts;
}

QByteArray parameterName(const QByteArray& parameter)
{
    return parameter.left(parameter.indexOf('=')).trimmed().toUpper();
}

QByteArray parameter(const ContentLine& line, const QByteArray& name)
{
    for (const QByteArray& p : parametersOf(line.text))
        if (parameterName(p) == name) {
            QByteArray value = p.mid(p.indexOf('=') + 1);
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    return {};
}

// A line written anew, folded at 75 octets as RFC 5545 asks, never inside a character.
ContentLine lineOf(const QByteArray& text)
{
    QByteArray raw;
    qsizetype from = 0;
    qsizetype limit = 75;
    while (text.size() - from > limit) {
        qsizetype cut = from + limit;
        while (cut > from + 1 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        raw += text.mid(from, cut - from) + "\r\n ";
        from = cut;
        limit = 74;
    }
    raw += text.mid(from) + "\r\n";
    return {raw, text, nameOf(text)};
}

ContentLine renamed(const ContentLine& line, const QByteArray& name)
{
    qsizetype end = 0;
    while (end < line.text.size() && line.text[end] != ';' && line.text[end] != ':')
        ++end;
    return lineOf(name + line.text.mid(end));
}

// The line with another value: its other parameters kept, those named in dropped left out, added put after them.
ContentLine withValue(const ContentLine& line, std::initializer_list<QByteArray> dropped, const QByteArray& added,
                      const QByteArray& value)
{
    QByteArray text = line.name;
    for (const QByteArray& p : parametersOf(line.text))
        if (std::find(dropped.begin(), dropped.end(), parameterName(p)) == dropped.end())
            text += ';' + p;
    return lineOf(text + added + ':' + value);
}

// A DATE or DATE-TIME value as written: a date alone, a time local to a zone or floating, or a time in UTC.
struct Stamp
{
    QDate date;
    QTime time;
    bool utc = false;

    bool isDate() const { return !time.isValid(); }
};

std::optional<Stamp> stampOf(const QByteArray& value)
{
    const QByteArray v = value.trimmed();
    if (v.size() < 8)
        return std::nullopt;
    Stamp stamp;
    stamp.date = QDate::fromString(QString::fromLatin1(v.left(8)), QStringLiteral("yyyyMMdd"));
    if (!stamp.date.isValid())
        return std::nullopt;
    if (v.size() == 8)
        return stamp;
    stamp.utc = v.size() == 16 && v.endsWith('Z');
    if (v[8] != 'T' || (v.size() != 15 && !stamp.utc))
        return std::nullopt;
    stamp.time = QTime::fromString(QString::fromLatin1(v.mid(9, 6)), QStringLiteral("HHmmss"));
    return stamp.time.isValid() ? std::optional(stamp) : std::nullopt;
}

QByteArray textOf(const Stamp& stamp)
{
    char text[24];
    const QDate& d = stamp.date;
    const QTime& t = stamp.time;
    const int size = stamp.isDate()
                         ? std::snprintf(text, sizeof text, "%04d%02d%02d", d.year(), d.month(), d.day())
                         : std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d%s", d.year(), d.month(), d.day(),
                                         t.hour(), t.minute(), t.second(), stamp.utc ? "Z" : "");
    return QByteArray(text, size);
}

// The wall times of the zones an object names, to and from moments: the object's own VTIMEZONE first, then
// libical's and the system's zones by name. A time with no zone, or in the system's zone, or in a zone no one
// knows, is local, as the import reads it.
class Zones
{
public:
    explicit Zones(icalcomponent* calendar) : m_calendar(calendar) {}

    QDateTime moment(const Stamp& stamp, const QByteArray& zoneId) const
    {
        if (stamp.utc)
            return QDateTime(stamp.date, stamp.time, QTimeZone::utc());
        if (icaltimezone* zone = libicalZone(zoneId)) {
            icaltimetype value = icaltime_null_time();
            value.year = stamp.date.year();
            value.month = stamp.date.month();
            value.day = stamp.date.day();
            value.hour = stamp.time.hour();
            value.minute = stamp.time.minute();
            value.second = stamp.time.second();
            return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(value, zone), QTimeZone::utc());
        }
        if (const QTimeZone zone = qtZone(zoneId); zone.isValid())
            return QDateTime(stamp.date, stamp.time, zone);
        return QDateTime(stamp.date, stamp.time);
    }

    Stamp wall(const QDateTime& moment, const QByteArray& zoneId, bool utc) const
    {
        QDateTime there;
        if (utc) {
            there = moment.toUTC();
        } else if (icaltimezone* zone = libicalZone(zoneId)) {
            const icaltimetype value = icaltime_from_timet_with_zone(moment.toSecsSinceEpoch(), 0, zone);
            return {QDate(value.year, value.month, value.day), QTime(value.hour, value.minute, value.second), false};
        } else if (const QTimeZone zone = qtZone(zoneId); zone.isValid()) {
            there = moment.toTimeZone(zone);
        } else {
            there = moment.toLocalTime();
        }
        return {there.date(), there.time(), utc};
    }

private:
    bool isLocal(const QByteArray& zoneId) const { return zoneId.isEmpty() || zoneId == m_system; }

    icaltimezone* libicalZone(const QByteArray& zoneId) const
    {
        if (isLocal(zoneId))
            return nullptr;
        icaltimezone* zone = m_calendar ? icalcomponent_get_timezone(m_calendar, zoneId.constData()) : nullptr;
        return zone ? zone : icaltimezone_get_builtin_timezone(zoneId.constData());
    }

    QTimeZone qtZone(const QByteArray& zoneId) const
    {
        return isLocal(zoneId) || !QTimeZone::isTimeZoneIdAvailable(zoneId) ? QTimeZone() : QTimeZone(zoneId);
    }

    icalcomponent* m_calendar;
    const QByteArray m_system = QTimeZone::systemTimeZoneId();
};

// A DURATION value: days, hours, minutes and seconds, before or after.
QByteArray durationText(qint64 seconds)
{
    QByteArray text = seconds < 0 ? "-P" : "P";
    qint64 left = seconds < 0 ? -seconds : seconds;
    const qint64 days = left / 86400;
    left %= 86400;
    if (days)
        text += QByteArray::number(days) + 'D';
    if (left || !days) {
        text += 'T';
        if (left / 3600)
            text += QByteArray::number(left / 3600) + 'H';
        if (left % 3600 / 60)
            text += QByteArray::number(left % 3600 / 60) + 'M';
        if (left % 60 || !left)
            text += QByteArray::number(left % 60) + 'S';
    }
    return text;
}

// How far a series moves with its start: whole days for a start that is a date, seconds for a time.
struct Move
{
    bool days;
    qint64 amount;
};

std::optional<Stamp> moved(const Stamp& stamp, const QByteArray& zoneId, const Move& move, const Zones& zones)
{
    if (stamp.isDate() || move.days) {
        if (!move.days && move.amount % 86400 != 0)
            return std::nullopt;
        Stamp shifted = stamp;
        shifted.date = stamp.date.addDays(move.days ? move.amount : move.amount / 86400);
        return shifted;
    }
    return zones.wall(zones.moment(stamp, zoneId).addSecs(move.amount), zoneId, stamp.utc);
}

// The line with each of its dates or times moved; a period or anything else unread stays as it is.
ContentLine movedLine(const ContentLine& line, const Move& move, const Zones& zones)
{
    const QByteArray zoneId = parameter(line, "TZID");
    QList<QByteArray> values = valueOf(line).split(',');
    bool changed = false;
    for (QByteArray& value : values)
        if (const std::optional<Stamp> stamp = stampOf(value))
            if (const std::optional<Stamp> shifted = moved(*stamp, zoneId, move, zones)) {
                value = textOf(*shifted);
                changed = true;
            }
    if (!changed)
        return line;
    return lineOf(line.text.left(IcsImport::colonOf(line.text) + 1) + values.join(','));
}

// A recurrence's end moved with its start, so that the last occurrence is not lost to a later time of day.
ContentLine movedUntil(const ContentLine& rule, const QByteArray& zoneId, const Move& move, const Zones& zones)
{
    const QByteArray value = valueOf(rule);
    QList<QByteArray> parts = value.split(';');
    bool changed = false;
    for (QByteArray& part : parts)
        if (part.toUpper().startsWith("UNTIL="))
            if (const std::optional<Stamp> stamp = stampOf(part.mid(6)))
                if (const std::optional<Stamp> shifted = moved(*stamp, zoneId, move, zones)) {
                    part = part.left(6) + textOf(*shifted);
                    changed = true;
                }
    if (!changed)
        return rule;
    return lineOf(rule.text.left(IcsImport::colonOf(rule.text) + 1) + parts.join(';'));
}

// The event or to-do an object is about, as its lines: its own properties, and each component inside it (an
// alarm) with all of its lines, in the order the object gives them.
struct MainComponent
{
    struct Item
    {
        std::vector<ContentLine> lines;
        bool nested = false;
    };

    QByteArray kind;
    ContentLine begin;
    ContentLine end;
    std::vector<Item> items;

    const ContentLine* first(const QByteArray& name) const
    {
        for (const Item& item : items)
            if (!item.nested && item.lines.front().name == name)
                return &item.lines.front();
        return nullptr;
    }

    std::vector<ContentLine> all(const QByteArray& name) const
    {
        std::vector<ContentLine> lines;
        for (const Item& item : items)
            if (!item.nested && item.lines.front().name == name)
                lines.push_back(item.lines.front());
        return lines;
    }

    void remove(const QByteArray& name) { set(name, {}); }

    // The lines of that name are now those given: in the place of the first there was, or after the last property.
    void set(const QByteArray& name, const std::vector<ContentLine>& lines)
    {
        auto at = std::find_if(items.begin(), items.end(),
                               [&](const Item& item) { return !item.nested && item.lines.front().name == name; });
        if (at == items.end()) {
            at = std::find_if(items.begin(), items.end(), [](const Item& item) { return item.nested; });
        }
        const auto position = at - items.begin();
        std::vector<Item> kept;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (static_cast<qsizetype>(i) == position)
                for (const ContentLine& line : lines)
                    kept.push_back({{line}, false});
            if (items[i].nested || items[i].lines.front().name != name)
                kept.push_back(items[i]);
        }
        if (position == static_cast<qsizetype>(items.size()))
            for (const ContentLine& line : lines)
                kept.push_back({{line}, false});
        items = std::move(kept);
    }

    void replaceEach(const QByteArray& name, const std::function<ContentLine(const ContentLine&)>& change)
    {
        for (Item& item : items)
            if (!item.nested && item.lines.front().name == name)
                item.lines.front() = change(item.lines.front());
    }

    std::vector<Item>::iterator firstAlarm()
    {
        return std::find_if(items.begin(), items.end(), [](const Item& item) {
            return item.nested && valueOf(item.lines.front()).trimmed().toUpper() == "VALARM";
        });
    }
};

// An object's calendar: its lines before and after the main component, which stay as they are.
struct Calendar
{
    std::vector<ContentLine> before;
    MainComponent main;
    std::vector<ContentLine> after;

    QByteArray text() const
    {
        QByteArray text;
        for (const ContentLine& line : before)
            text += line.raw;
        text += main.begin.raw;
        for (const auto& item : main.items)
            for (const ContentLine& line : item.lines)
                text += line.raw;
        text += main.end.raw;
        for (const ContentLine& line : after)
            text += line.raw;
        return text;
    }
};

// The calendar split around its main event or to-do: the first in it that is not an occurrence changed on its own.
std::optional<Calendar> split(const QByteArray& text)
{
    const std::vector<ContentLine> lines = contentLines(text);
    const auto kindOf = [](const ContentLine& line) { return valueOf(line).trimmed().toUpper(); };
    if (lines.empty() || lines.front().name != "BEGIN" || kindOf(lines.front()) != "VCALENDAR")
        return std::nullopt;
    int depth = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ContentLine& line = lines[i];
        if (line.name == "END") {
            --depth;
            continue;
        }
        if (line.name != "BEGIN")
            continue;
        ++depth;
        const QByteArray kind = kindOf(line);
        if (depth != 2 || (kind != "VEVENT" && kind != "VTODO"))
            continue;
        Calendar calendar;
        calendar.main.kind = kind;
        calendar.main.begin = line;
        bool occurrence = false;
        int inner = 0;
        std::size_t j = i + 1;
        for (; j < lines.size(); ++j) {
            const ContentLine& own = lines[j];
            if (inner == 0 && own.name == "END")
                break;
            if (inner == 0 && own.name == "RECURRENCE-ID")
                occurrence = true;
            if (inner == 0)
                calendar.main.items.push_back({{own}, own.name == "BEGIN"});
            else
                calendar.main.items.back().lines.push_back(own);
            inner += own.name == "BEGIN" ? 1 : own.name == "END" ? -1 : 0;
        }
        if (j == lines.size())
            return std::nullopt;
        if (occurrence) {
            i = j;
            --depth;
            continue;
        }
        calendar.main.end = lines[j];
        calendar.before.assign(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(i));
        calendar.after.assign(lines.begin() + static_cast<std::ptrdiff_t>(j) + 1, lines.end());
        return calendar;
    }
    return std::nullopt;
}

// Which of the fields the diary holds it changed since the last sync; all of them when that is not known.
struct Changed
{
    bool text = true;
    bool note = true;
    bool when = true;
    bool period = true;
    bool done = true;
    bool reminder = true;
};

// The fields, each with what it takes from one event to another.
using Field = void (*)(Event& to, const Event& from);
constexpr Field fields[] = {
    [](Event& to, const Event& from) { to.job = from.job; },
    [](Event& to, const Event& from) { to.note = from.note; },
    [](Event& to, const Event& from) {
        to.date = from.date;
        to.time = from.time;
    },
    [](Event& to, const Event& from) { to.period = from.period; },
    [](Event& to, const Event& from) { to.done = from.done; },
    [](Event& to, const Event& from) {
        to.napom = from.napom;
        to.shedDate = from.shedDate;
        to.shedTime = from.shedTime;
    },
};
constexpr int fieldCount = static_cast<int>(std::size(fields));

Changed changedSince(const QByteArray& theirs, const Event& now, const QByteArray& lastDigest)
{
    std::optional<Event> base;
    try {
        const std::vector<Event> read = IcsImport::read(theirs, QString());
        if (!read.empty())
            base = DiaryEvents::asStored(read.front());
    } catch (const IcsImport::Unreadable&) {
    }
    if (!base)
        return {};
    // A reminder turned off keeps its window in the diary, which the object does not show.
    const auto reminder = [](const Event& e) {
        return e.napom ? std::tuple(true, e.shedDate, e.shedTime) : std::tuple(false, QDate(), QTime());
    };
    bool differs[fieldCount] = {base->job != now.job,
                                base->note != now.note,
                                base->date != now.date || base->time != now.time,
                                base->period.toLower() != now.period.toLower(),
                                base->done != now.done,
                                reminder(*base) != reminder(now)};
    // The object may not say all the diary held at the last sync. The digest of then does: the fields where the
    // diary then held what it holds now are those that, taken from now, give that digest.
    if (!lastDigest.isEmpty() && DiaryEvents::digest(*base) != lastDigest) {
        for (int kept = 1; kept < 1 << fieldCount; ++kept) {
            Event then = *base;
            for (int f = 0; f < fieldCount; ++f)
                if (kept & (1 << f))
                    fields[f](then, now);
            if (DiaryEvents::digest(then) == lastDigest) {
                for (int f = 0; f < fieldCount; ++f)
                    differs[f] = differs[f] && !(kept & (1 << f));
                break;
            }
        }
    }
    return {differs[0], differs[1], differs[2], differs[3], differs[4], differs[5]};
}

// The fields the diary changed, written into their object's main component in its own form.
class Merge
{
public:
    Merge(Calendar& theirs, const MainComponent& ours, const Event& now, const Zones& zones)
        : m_theirs(theirs), m_their(theirs.main), m_ours(ours), m_now(now), m_zones(zones)
    {
        const ContentLine* stamp = m_ours.first("DTSTAMP");
        const QDateTime utc = Clock::now().toUTC();
        m_stamp = stamp ? valueOf(*stamp) : textOf({utc.date(), utc.time(), true});
    }

    // Returns whether a time of the diary's own, in the zone it names, went into the object.
    bool apply(const Changed& changed)
    {
        const bool todo = m_their.kind == "VTODO";
        if (todo && m_ours.kind == "VEVENT") {
            becomeEvent();
            alarm();
            stamps();
            return false;
        }
        if (changed.when)
            move(todo);
        if (changed.period)
            recur(todo);
        if (changed.text || (changed.period && text(m_their, "SUMMARY") != text(m_ours, "SUMMARY")))
            take("SUMMARY");
        if (changed.note)
            take("DESCRIPTION");
        if (changed.done && todo)
            complete();
        if (changed.reminder)
            alarm();
        stamps();
        return m_oursZoned;
    }

private:
    static QByteArray text(const MainComponent& component, const QByteArray& name)
    {
        const ContentLine* line = component.first(name);
        return line ? valueOf(*line) : QByteArray();
    }

    void take(const QByteArray& name) { m_their.set(name, m_ours.all(name)); }

    // The diary's date and time as ours writes them, under the name the object needs.
    ContentLine oursWhen(const QByteArray& name)
    {
        const ContentLine* due = m_ours.first("DUE");
        const ContentLine* start = m_ours.first("DTSTART");
        m_oursZoned = true;
        return renamed(due ? *due : *start, name);
    }

    // A to-do the diary made a birthday or a memorable date becomes an event, with what a to-do alone has gone.
    void becomeEvent()
    {
        m_their.kind = "VEVENT";
        m_their.begin = lineOf("BEGIN:VEVENT");
        m_their.end = lineOf("END:VEVENT");
        for (const char* name : {"DUE", "STATUS", "COMPLETED", "PERCENT-COMPLETE", "DTEND", "DURATION"})
            m_their.remove(name);
        std::vector<QByteArray> names;
        for (const auto& item : m_ours.items)
            if (!item.nested && item.lines.front().name != "UID" &&
                std::find(names.begin(), names.end(), item.lines.front().name) == names.end())
                names.push_back(item.lines.front().name);
        for (const QByteArray& name : names)
            take(name);
    }

    // The diary's new date and time in the object's own form: a date stays a date, a time keeps its zone, or UTC,
    // or floats, as it did; the end, the exceptions and the occurrences changed on their own move with the start.
    void move(bool todo)
    {
        const QByteArray anchor =
            todo && !m_their.first("DUE") ? QByteArray("DTSTART") : QByteArray(todo ? "DUE" : "DTSTART");
        const ContentLine* old = m_their.first(anchor);
        if (!m_now.date.isValid()) {
            // A to-do without a date has nothing to recur from; an event keeps the start it must have.
            if (todo)
                for (const char* name : {"DUE", "DTSTART", "DURATION", "RRULE", "RDATE", "EXDATE"})
                    m_their.remove(name);
            return;
        }
        const std::optional<Stamp> was = old ? stampOf(valueOf(*old)) : std::nullopt;
        if (!was) {
            if (todo) {
                take("DUE");
                if (m_ours.first("DTSTART"))
                    take("DTSTART");
                m_oursZoned = true;
            } else {
                m_their.set("DTSTART", {oursWhen("DTSTART")});
            }
            return;
        }
        const QByteArray zoneId = parameter(*old, "TZID");
        const bool typeChanged = was->isDate() != !m_now.time.isValid();
        ContentLine line;
        std::optional<Move> shift;
        if (!m_now.time.isValid()) {
            const Stamp date{m_now.date, QTime(), false};
            line = withValue(*old, {"VALUE", "TZID"}, ";VALUE=DATE", textOf(date));
            if (!typeChanged)
                shift = Move{true, was->date.daysTo(m_now.date)};
        } else if (was->isDate()) {
            line = oursWhen(anchor);
        } else {
            const Stamp time = m_zones.wall(QDateTime(m_now.date, m_now.time), zoneId, was->utc);
            line = withValue(*old, {"VALUE"}, QByteArray(), textOf(time));
            shift = Move{false, m_zones.moment(*was, zoneId).secsTo(m_zones.moment(time, zoneId))};
        }
        m_their.set(anchor, {line});
        const QByteArray companion = todo ? (anchor == "DUE" ? "DTSTART" : QByteArray()) : QByteArray("DTEND");
        if (typeChanged) {
            // An end of the other type can't be moved: an event then lasts its day or is a moment; a to-do starts
            // when it is due.
            if (companion == "DTSTART" && m_their.first("DTSTART"))
                m_their.set("DTSTART", {renamed(line, "DTSTART")});
            else if (!companion.isEmpty())
                m_their.remove(companion);
            m_their.remove("DURATION");
            return;
        }
        if (!shift || shift->amount == 0)
            return;
        const auto byShift = [&](const ContentLine& each) { return movedLine(each, *shift, m_zones); };
        if (!companion.isEmpty())
            m_their.replaceEach(companion, byShift);
        m_their.replaceEach("EXDATE", byShift);
        m_their.replaceEach("RDATE", byShift);
        m_their.replaceEach("RRULE",
                            [&](const ContentLine& rule) { return movedUntil(rule, zoneId, *shift, m_zones); });
        for (std::vector<ContentLine>* lines : {&m_theirs.before, &m_theirs.after})
            for (ContentLine& each : *lines)
                if (each.name == "RECURRENCE-ID")
                    each = byShift(each);
    }

    void recur(bool todo)
    {
        take("RRULE");
        if (todo && m_their.first("RRULE") && !m_their.first("DTSTART")) {
            // A recurrence counts from DTSTART, which a to-do names beside its due time.
            if (const ContentLine* due = m_their.first("DUE"))
                m_their.set("DTSTART", {renamed(*due, "DTSTART")});
        }
        if (!todo && m_ours.kind == "VEVENT") {
            // A birthday or a memorable date is a whole day every year.
            for (const char* name : {"DTSTART", "DTEND", "DURATION", "TRANSP"})
                take(name);
        }
    }

    // A to-do's completion beside its status: a moment when it becomes done, none when it is not.
    void complete()
    {
        take("STATUS");
        // Taken as a value: each set below makes the component's lines anew.
        const ContentLine* found = m_their.first("PERCENT-COMPLETE");
        const std::optional<ContentLine> percent = found ? std::optional(*found) : std::nullopt;
        if (m_now.done) {
            if (!m_their.first("COMPLETED"))
                m_their.set("COMPLETED", {lineOf("COMPLETED:" + m_stamp)});
            if (percent && valueOf(*percent).trimmed() != "100")
                m_their.set("PERCENT-COMPLETE", {lineOf("PERCENT-COMPLETE:100")});
        } else {
            m_their.remove("COMPLETED");
            if (percent && valueOf(*percent).trimmed() == "100")
                m_their.remove("PERCENT-COMPLETE");
        }
    }

    // The first alarm is the one the diary reads as its reminder and writes back. A to-do's calendar has no alarm
    // of the diary's: theirs then stays while the event reminds.
    void alarm()
    {
        MainComponent ours = m_ours;
        const auto ourAlarm = ours.firstAlarm();
        const bool have = ourAlarm != ours.items.end();
        if (!have && m_now.napom) {
            retrigger();
            return;
        }
        const auto theirAlarm = m_their.firstAlarm();
        if (theirAlarm != m_their.items.end()) {
            if (have)
                *theirAlarm = *ourAlarm;
            else
                m_their.items.erase(theirAlarm);
        } else if (have) {
            m_their.items.push_back(*ourAlarm);
        }
    }

    // The diary writes no alarm of a to-do; the first the object has, which the diary reads as its reminder, now
    // opens at the diary's window, its trigger written as it was: a moment, or an offset from the to-do's time.
    void retrigger()
    {
        const auto theirAlarm = m_their.firstAlarm();
        if (theirAlarm == m_their.items.end() || !m_now.shedDate.isValid())
            return;
        std::vector<ContentLine>& lines = theirAlarm->lines;
        const auto trigger = std::find_if(lines.begin() + 1, lines.end(),
                                          [](const ContentLine& line) { return line.name == "TRIGGER"; });
        if (trigger == lines.end())
            return;
        const QTime at = m_now.shedTime.isValid() ? m_now.shedTime : QTime(0, 0);
        if (parameter(*trigger, "VALUE").toUpper() == "DATE-TIME") {
            const QDateTime utc = QDateTime(m_now.shedDate, at).toUTC();
            *trigger = withValue(*trigger, {}, QByteArray(), textOf({utc.date(), utc.time(), true}));
        } else if (m_now.date.isValid()) {
            // Counted on the wall clock from the day and time, as the import counts it.
            const QDateTime due(m_now.date, m_now.time.isValid() ? m_now.time : QTime(0, 0), QTimeZone::utc());
            *trigger = withValue(*trigger, {}, QByteArray(),
                                 durationText(due.secsTo(QDateTime(m_now.shedDate, at, QTimeZone::utc()))));
        }
    }

    void stamps()
    {
        take("DTSTAMP");
        const ContentLine* sequence = m_their.first("SEQUENCE");
        const int next = sequence ? valueOf(*sequence).trimmed().toInt() + 1 : 1;
        m_their.set("SEQUENCE", {lineOf("SEQUENCE:" + QByteArray::number(next))});
        m_their.set("LAST-MODIFIED", {lineOf("LAST-MODIFIED:" + m_stamp)});
    }

    Calendar& m_theirs;
    MainComponent& m_their;
    const MainComponent& m_ours;
    const Event& m_now;
    const Zones& m_zones;
    QByteArray m_stamp;
    bool m_oursZoned = false;
};

// The zones ours names that theirs lacks, put before their event.
void addZones(Calendar& theirs, const Calendar& ours)
{
    std::vector<QByteArray> known;
    for (const std::vector<ContentLine>* lines : {&theirs.before, &theirs.after})
        for (const ContentLine& line : *lines)
            if (line.name == "TZID")
                known.push_back(valueOf(line).trimmed());
    bool inZone = false;
    std::vector<ContentLine> zone;
    for (const ContentLine& line : ours.before) {
        const bool begins = line.name == "BEGIN" && valueOf(line).trimmed().toUpper() == "VTIMEZONE";
        if (begins)
            inZone = true;
        if (inZone)
            zone.push_back(line);
        if (inZone && line.name == "END" && valueOf(line).trimmed().toUpper() == "VTIMEZONE") {
            inZone = false;
            const auto id =
                std::find_if(zone.begin(), zone.end(), [](const ContentLine& l) { return l.name == "TZID"; });
            if (id != zone.end() && std::find(known.begin(), known.end(), valueOf(*id).trimmed()) == known.end())
                theirs.before.insert(theirs.before.end(), zone.begin(), zone.end());
            zone.clear();
        }
    }
}

} // namespace

QByteArray ObjectMerge::merge(const QByteArray& theirs, const QByteArray& ours, const Event& now,
                              const QByteArray& lastDigest)
{
    std::optional<Calendar> theirCalendar = split(theirs);
    const std::optional<Calendar> ourCalendar = split(ours);
    if (!theirCalendar || !ourCalendar)
        return ours;
    const Component parsed(icalparser_parse_string(theirs.constData()));
    const Zones zones(parsed && icalcomponent_isa(parsed.get()) == ICAL_VCALENDAR_COMPONENT ? parsed.get() : nullptr);
    Merge merge(*theirCalendar, ourCalendar->main, now, zones);
    if (merge.apply(changedSince(theirs, now, lastDigest)))
        addZones(*theirCalendar, *ourCalendar);
    return theirCalendar->text();
}
