#!/usr/bin/python3
"""What an edit in the diary changed of a calendar's objects beyond what it should: every property the edit does
not touch must be as it was, and the occurrences over three years (python3-recurring-ical-events) the same; after a
change of time, the same days.

roundtrip.py CHANGE BEFORE.json AFTER.json
    CHANGE is text (" (правка)" added), time (an hour later, where there is a time) or done (turned over); the files
    map each object's UID to its text (phone.py dump). Prints the differences as a JSON list, empty when there are
    none: what the edit should not have changed, and what it should have and did not.
"""
import datetime
import json
import sys

import icalendar
import recurring_ical_events

# What every update writes: its stamps.
STAMPS = {"DTSTAMP", "SEQUENCE", "LAST-MODIFIED"}
# What each edit may change beside them. A new time moves the series' start and end, its exceptions, the
# occurrences changed on their own and the recurrence's end with it.
TOUCHED = {
    "text": {"SUMMARY"},
    "time": {"DTSTART", "DTEND", "DUE", "EXDATE", "RDATE", "RECURRENCE-ID"},
    "done": {"STATUS", "COMPLETED", "PERCENT-COMPLETE"},
}
# What a scheduling server (RFC 6638) keeps of an organizer's attendees by itself: an update that moves a meeting
# asks them again, and each delivery's outcome is noted on the attendee.
SCHEDULING = {"PARTSTAT", "RSVP", "SCHEDULE-STATUS"}
FIRST = datetime.date(2027, 1, 1)
LAST = datetime.date(2030, 1, 1)


def line(name, value, change):
    if name == "RRULE" and change == "time":
        value = icalendar.vRecur({k: v for k, v in value.items() if k != "UNTIL"})
    params = ";".join("%s=%s" % item for item in sorted(getattr(value, "params", {}).items())
                      if name != "ATTENDEE" or item[0] not in SCHEDULING)
    text = value.to_ical()
    return "%s;%s:%s" % (name, params, text.decode() if isinstance(text, bytes) else text)


def properties(component, change):
    seen = []
    for name, value in component.items():
        if name in STAMPS or name in TOUCHED[change]:
            continue
        for each in value if isinstance(value, list) else [value]:
            seen.append(line(name, each, change))
    return sorted(seen)


def components(calendar, change):
    """Each component by its kind and occurrence, with its properties and the whole text of what it holds."""
    found = {}
    for item in calendar.subcomponents:
        recurrence = item.get("RECURRENCE-ID")
        key = (item.name, recurrence.to_ical().decode() if recurrence is not None and change != "time" else
               str(recurrence is not None))
        if item.name == "VTIMEZONE":
            key = (item.name, str(item.get("TZID")))
        inner = sorted(sub.to_ical().decode() for sub in item.subcomponents)
        found.setdefault(key, []).append((properties(item, change), inner))
    return found


def start_of(occurrence):
    value = occurrence.get("DTSTART") or occurrence.get("DUE")
    return value.dt if value is not None else None


def occurrences(calendar, change):
    # recurring-ical-events 2.0.1 keeps only the last of the occurrences of one day of a component with a SEQUENCE,
    # which every update renews: the occurrences are weighed without it.
    for item in calendar.walk():
        if "SEQUENCE" in item:
            del item["SEQUENCE"]
    starts = []
    for occurrence in recurring_ical_events.of(calendar, components=["VEVENT", "VTODO"]).between(FIRST, LAST):
        start = start_of(occurrence)
        if start is None:
            continue
        if change == "time":
            starts.append((start.date() if isinstance(start, datetime.datetime) else start).isoformat())
        elif isinstance(start, datetime.datetime) and start.tzinfo is not None:
            starts.append(start.astimezone(datetime.timezone.utc).isoformat())
        else:
            starts.append(start.isoformat())
    return sorted(starts)


def main_of(calendar):
    for item in calendar.subcomponents:
        if item.name in ("VEVENT", "VTODO") and "RECURRENCE-ID" not in item:
            return item
    return None


def edited(change, old, new):
    """Whether the object shows the edit the diary made."""
    if change == "text":
        return str(new.get("SUMMARY")) == str(old.get("SUMMARY")) + " (правка)"
    if change == "done":
        return new.name != "VTODO" or (new.get("STATUS") == "COMPLETED") != (old.get("STATUS") == "COMPLETED")
    when = "DUE" if old.name == "VTODO" and "DUE" in old else "DTSTART"
    if when not in old:
        return True
    was, now = old[when].dt, new[when].dt
    if not isinstance(was, datetime.datetime):
        return was == now
    return now - was == datetime.timedelta(hours=1)


def compare(change, before, after):
    problems = []
    for uid, text in sorted(before.items()):
        if uid not in after:
            problems.append("%s: gone" % uid)
            continue
        old = icalendar.Calendar.from_ical(text)
        new = icalendar.Calendar.from_ical(after[uid])
        if not edited(change, main_of(old), main_of(new)):
            problems.append("%s: the %s edit is not there" % (uid, change))
        was, now = components(old, change), components(new, change)
        for key in sorted(set(was) | set(now)):
            if was.get(key) != now.get(key):
                problems.append("%s %s: %s became %s" % (uid, key, was.get(key), now.get(key)))
        if occurrences(old, change) != occurrences(new, change):
            problems.append("%s: occurrences %s became %s" % (uid, occurrences(old, change), occurrences(new, change)))
    return problems


def main(change, before, after):
    with open(before, encoding="utf-8") as b, open(after, encoding="utf-8") as a:
        print(json.dumps(compare(change, json.load(b), json.load(a)), ensure_ascii=False, indent=1))


if __name__ == "__main__":
    main(*sys.argv[1:])
