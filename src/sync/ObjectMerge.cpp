#include "sync/ObjectMerge.h"

#include <libical/ical.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

struct ComponentDeleter
{
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// The properties of an event or to-do that the diary writes, and so replaces on every update.
constexpr icalproperty_kind owned[] = {
    ICAL_SUMMARY_PROPERTY, ICAL_DESCRIPTION_PROPERTY, ICAL_DTSTART_PROPERTY,
    ICAL_DUE_PROPERTY,     ICAL_DTEND_PROPERTY,       ICAL_DURATION_PROPERTY,
    ICAL_RRULE_PROPERTY,   ICAL_STATUS_PROPERTY,      ICAL_DTSTAMP_PROPERTY,
};

// Of an event the diary holds as a to-do, the properties that mean the same in an event.
constexpr icalproperty_kind sharedWithEvents[] = {ICAL_SUMMARY_PROPERTY, ICAL_DESCRIPTION_PROPERTY, ICAL_RRULE_PROPERTY,
                                                  ICAL_DTSTAMP_PROPERTY};

Component parsed(const QByteArray& text)
{
    Component calendar(icalparser_parse_string(text.constData()));
    if (calendar && icalcomponent_isa(calendar.get()) != ICAL_VCALENDAR_COMPONENT)
        calendar.reset();
    return calendar;
}

// The event or to-do itself, not an occurrence changed on its own.
icalcomponent* mainOf(icalcomponent* calendar)
{
    for (icalcomponent* item = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); item;
         item = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(item);
        if ((kind == ICAL_VEVENT_COMPONENT || kind == ICAL_VTODO_COMPONENT) &&
            !icalcomponent_get_first_property(item, ICAL_RECURRENCEID_PROPERTY))
            return item;
    }
    return nullptr;
}

void removeAll(icalcomponent* item, icalproperty_kind kind)
{
    while (icalproperty* property = icalcomponent_get_first_property(item, kind)) {
        icalcomponent_remove_property(item, property);
        icalproperty_free(property);
    }
}

void replace(icalcomponent* theirs, icalcomponent* ours, icalproperty_kind kind)
{
    removeAll(theirs, kind);
    for (icalproperty* property = icalcomponent_get_first_property(ours, kind); property;
         property = icalcomponent_get_next_property(ours, kind))
        icalcomponent_add_property(theirs, icalproperty_new_clone(property));
}

// Their event moved to the date and time the diary's to-do is due, lasting as long as it did.
void moveEvent(icalcomponent* theirs, icalcomponent* ours)
{
    icalproperty* due = icalcomponent_get_first_property(ours, ICAL_DUE_PROPERTY);
    icalproperty* start = icalcomponent_get_first_property(theirs, ICAL_DTSTART_PROPERTY);
    if (!due)
        return; // an event has a start, which a to-do without a date leaves as it was
    icalproperty* end = icalcomponent_get_first_property(theirs, ICAL_DTEND_PROPERTY);
    if (start && end) {
        const icaldurationtype length = icaltime_subtract(icalproperty_get_dtend(end), icalproperty_get_dtstart(start));
        removeAll(theirs, ICAL_DTEND_PROPERTY);
        icalcomponent_add_property(theirs, icalproperty_new_duration(length));
    }
    removeAll(theirs, ICAL_DTSTART_PROPERTY);
    icalproperty* moved = icalproperty_new_clone(due);
    icalproperty* made = icalproperty_new(ICAL_DTSTART_PROPERTY);
    icalproperty_set_value(made, icalvalue_new_clone(icalproperty_get_value(moved)));
    for (icalparameter* p = icalproperty_get_first_parameter(moved, ICAL_ANY_PARAMETER); p;
         p = icalproperty_get_next_parameter(moved, ICAL_ANY_PARAMETER))
        icalproperty_add_parameter(made, icalparameter_new_clone(p));
    icalproperty_free(moved);
    icalcomponent_add_property(theirs, made);
}

// A to-do's completion beside its status: a moment when it becomes done, none when it is not.
void complete(icalcomponent* theirs, const icaltimetype& now)
{
    icalproperty* status = icalcomponent_get_first_property(theirs, ICAL_STATUS_PROPERTY);
    const bool done = status && icalproperty_get_status(status) == ICAL_STATUS_COMPLETED;
    if (!done) {
        removeAll(theirs, ICAL_COMPLETED_PROPERTY);
        icalproperty* percent = icalcomponent_get_first_property(theirs, ICAL_PERCENTCOMPLETE_PROPERTY);
        if (percent && icalproperty_get_percentcomplete(percent) == 100)
            removeAll(theirs, ICAL_PERCENTCOMPLETE_PROPERTY);
    } else if (!icalcomponent_get_first_property(theirs, ICAL_COMPLETED_PROPERTY)) {
        icalcomponent_add_property(theirs, icalproperty_new_completed(now));
    }
}

// The first alarm is the one the diary reads as its reminder and writes back.
void replaceAlarm(icalcomponent* theirs, icalcomponent* ours, bool diaryReminds)
{
    icalcomponent* theirAlarm = icalcomponent_get_first_component(theirs, ICAL_VALARM_COMPONENT);
    icalcomponent* ourAlarm = icalcomponent_get_first_component(ours, ICAL_VALARM_COMPONENT);
    if (!ourAlarm && diaryReminds)
        return;
    if (theirAlarm) {
        icalcomponent_remove_component(theirs, theirAlarm);
        icalcomponent_free(theirAlarm);
    }
    if (ourAlarm)
        icalcomponent_add_component(theirs, icalcomponent_new_clone(ourAlarm));
}

void bumpSequence(icalcomponent* theirs, const icaltimetype& now)
{
    icalproperty* sequence = icalcomponent_get_first_property(theirs, ICAL_SEQUENCE_PROPERTY);
    const int next = sequence ? icalproperty_get_sequence(sequence) + 1 : 1;
    removeAll(theirs, ICAL_SEQUENCE_PROPERTY);
    icalcomponent_add_property(theirs, icalproperty_new_sequence(next));
    removeAll(theirs, ICAL_LASTMODIFIED_PROPERTY);
    icalcomponent_add_property(theirs, icalproperty_new_lastmodified(now));
}

// The time zones ours names that theirs lacks.
void addZones(icalcomponent* theirs, icalcomponent* ours)
{
    for (icalcomponent* zone = icalcomponent_get_first_component(ours, ICAL_VTIMEZONE_COMPONENT); zone;
         zone = icalcomponent_get_next_component(ours, ICAL_VTIMEZONE_COMPONENT)) {
        icalproperty* id = icalcomponent_get_first_property(zone, ICAL_TZID_PROPERTY);
        if (id && !icalcomponent_get_timezone(theirs, icalproperty_get_tzid(id)))
            icalcomponent_add_component(theirs, icalcomponent_new_clone(zone));
    }
}

QByteArray textOf(icalcomponent* calendar)
{
    char* text = icalcomponent_as_ical_string_r(calendar);
    const QByteArray kept(text);
    std::free(text);
    return kept;
}

} // namespace

QByteArray ObjectMerge::merge(const QByteArray& theirs, const QByteArray& ours, bool diaryReminds)
{
    const Component theirCalendar = parsed(theirs);
    const Component ourCalendar = parsed(ours);
    icalcomponent* their = theirCalendar ? mainOf(theirCalendar.get()) : nullptr;
    icalcomponent* our = ourCalendar ? mainOf(ourCalendar.get()) : nullptr;
    if (!their || !our)
        return ours;
    const icalproperty* stamp = icalcomponent_get_first_property(our, ICAL_DTSTAMP_PROPERTY);
    const icaltimetype now = stamp ? icalproperty_get_dtstamp(stamp) : icaltime_current_time_with_zone(nullptr);
    const icalcomponent_kind theirKind = icalcomponent_isa(their);
    const icalcomponent_kind ourKind = icalcomponent_isa(our);
    if (theirKind == ourKind) {
        for (icalproperty_kind kind : owned)
            replace(their, our, kind);
        if (theirKind == ICAL_VTODO_COMPONENT)
            complete(their, now);
    } else if (theirKind == ICAL_VEVENT_COMPONENT) {
        // An event of a phone's calendar stays an event there, though the diary keeps it as a to-do.
        for (icalproperty_kind kind : sharedWithEvents)
            replace(their, our, kind);
        moveEvent(their, our);
    } else {
        // A to-do the diary made a birthday or a memorable date: the event takes the to-do's other properties.
        for (icalproperty* property = icalcomponent_get_first_property(their, ICAL_ANY_PROPERTY); property;
             property = icalcomponent_get_next_property(their, ICAL_ANY_PROPERTY)) {
            const icalproperty_kind kind = icalproperty_isa(property);
            const bool diaryOwns = std::find(std::begin(owned), std::end(owned), kind) != std::end(owned) ||
                                   kind == ICAL_UID_PROPERTY || kind == ICAL_COMPLETED_PROPERTY ||
                                   kind == ICAL_PERCENTCOMPLETE_PROPERTY;
            if (!diaryOwns)
                icalcomponent_add_property(our, icalproperty_new_clone(property));
        }
        icalcomponent* made = icalcomponent_new_clone(our);
        icalcomponent_remove_component(theirCalendar.get(), their);
        icalcomponent_free(their);
        icalcomponent_add_component(theirCalendar.get(), made);
        their = made;
    }
    replaceAlarm(their, our, diaryReminds);
    bumpSequence(their, now);
    addZones(theirCalendar.get(), ourCalendar.get());
    return textOf(theirCalendar.get());
}
