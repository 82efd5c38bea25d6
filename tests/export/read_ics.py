#!/usr/bin/env python3
"""Reads an .ics file with Python's icalendar and prints, per component, its kind, UID, summary (a control character
as an escape: \\n, \\t, \\xNN), the zone of its start and its first three occurrences (the start alone when it does
not recur)."""
import datetime
import sys

from dateutil.rrule import rrulestr
from icalendar import Calendar


def shown(text):
    escapes = {"\n": "\\n", "\t": "\\t"}
    return "".join(escapes.get(c, "\\x%02x" % ord(c)) if ord(c) < 0x20 or ord(c) == 0x7F else c for c in text)


with open(sys.argv[1], "rb") as f:
    calendar = Calendar.from_ical(f.read())
for component in calendar.walk():
    if component.name not in ("VEVENT", "VTODO"):
        continue
    start = component.get("DTSTART") or component.get("DUE")
    if start is None:
        print(component.name, component["UID"], shown(component["SUMMARY"]), "-", "-", sep="|")
        continue
    value = start.dt
    zone = getattr(getattr(value, "tzinfo", None), "zone", None) or str(getattr(value, "tzinfo", None))
    if "RRULE" in component:
        # Expanded on the wall clock and put in the zone afterwards, so each occurrence gets its own offset.
        zone_info = getattr(value, "tzinfo", None)
        naive = value.replace(tzinfo=None) if zone_info else value
        rule = rrulestr(component["RRULE"].to_ical().decode(), dtstart=naive)
        occurrences = []
        for _, occurrence in zip(range(3), rule):
            if not isinstance(value, datetime.datetime):
                occurrence = occurrence.date()
            elif zone_info is not None:
                occurrence = zone_info.localize(occurrence) if hasattr(zone_info, "localize") else \
                    occurrence.replace(tzinfo=zone_info)
            occurrences.append(occurrence.isoformat())
    else:
        occurrences = [value.isoformat()]
    print(component.name, component["UID"], shown(component["SUMMARY"]), zone, ",".join(occurrences), sep="|")
