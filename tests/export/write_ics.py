#!/usr/bin/env python3
"""Writes, with Python's icalendar, a calendar as another program would to the path given: an event at a time in a
named zone with no VTIMEZONE, a completed weekly to-do due at a UTC time with one occurrence moved, a to-do on a date
with an alarm before it, and a yearly all-day event. Texts with commas, semicolons and a line break; a summary long
enough to be folded."""
import datetime
import sys

from icalendar import Alarm, Calendar, Event, Todo

cal = Calendar()
cal.add("prodid", "-//Test//Other calendar//EN")
cal.add("version", "2.0")
meeting = Event()
meeting.add("uid", "meeting-1@example.org")
meeting.add("summary", "Встреча, с запятой; и точкой с запятой")
meeting.add("dtstart", datetime.datetime(2027, 3, 1, 10, 0), parameters={"TZID": "America/New_York"})
meeting.add("description", "Первая строка\nвторая")
cal.add_component(meeting)
report = Todo()
report.add("uid", "report-2@example.org")
report.add("summary", "Отчёт")
report.add("due", datetime.datetime(2027, 7, 1, 6, 15, tzinfo=datetime.timezone.utc))
report.add("rrule", {"freq": "weekly"})
report.add("status", "COMPLETED")
cal.add_component(report)
moved = Todo()
moved.add("uid", "report-2@example.org")
moved.add("recurrence-id", datetime.datetime(2027, 7, 8, 6, 15, tzinfo=datetime.timezone.utc))
moved.add("summary", "Отчёт, перенесённый")
moved.add("due", datetime.datetime(2027, 7, 9, 6, 15, tzinfo=datetime.timezone.utc))
cal.add_component(moved)
call = Todo()
call.add("uid", "call-3@example.org")
call.add("summary", "Позвонить")
call.add("due", datetime.date(2027, 4, 2))
alarm = Alarm()
alarm.add("action", "DISPLAY")
alarm.add("trigger", datetime.timedelta(hours=-2, minutes=-30))
call.add_component(alarm)
cal.add_component(call)
anniversary = Event()
anniversary.add("uid", "anniversary-4@example.org")
anniversary.add("summary", "Годовщина")
anniversary.add("dtstart", datetime.date(2010, 8, 15))
anniversary.add("rrule", {"freq": "yearly"})
cal.add_component(anniversary)
with open(sys.argv[1], "wb") as f:
    f.write(cal.to_ical())
