#!/usr/bin/env python3
"""Reads an .ics file with Python's icalendar and prints, per component, its kind, UID, summary, the zone of its
start and its first three occurrences (the start alone when it does not recur)."""
import sys

from dateutil.rrule import rrulestr
from icalendar import Calendar

with open(sys.argv[1], "rb") as f:
    calendar = Calendar.from_ical(f.read())
for component in calendar.walk():
    if component.name not in ("VEVENT", "VTODO"):
        continue
    start = component.get("DTSTART") or component.get("DUE")
    if start is None:
        print(component.name, component["UID"], component["SUMMARY"], "-", "-", sep="|")
        continue
    value = start.dt
    zone = getattr(getattr(value, "tzinfo", None), "zone", None) or str(getattr(value, "tzinfo", None))
    if "RRULE" in component:
        rule = rrulestr(component["RRULE"].to_ical().decode(), dtstart=value)
        occurrences = [occurrence.isoformat() for _, occurrence in zip(range(3), rule)]
    else:
        occurrences = [value.isoformat()]
    print(component.name, component["UID"], component["SUMMARY"], zone, ",".join(occurrences), sep="|")
