#!/usr/bin/python3
"""A second client of a CalDAV calendar, as a phone would be: python3-caldav makes, edits, completes and deletes
its objects, and lists them as JSON for the test to compare.

phone.py URL USER PASSWORD add-todo UID SUMMARY DUE [ATTENDEE CATEGORIES]
phone.py URL USER PASSWORD add-event UID SUMMARY START END
phone.py URL USER PASSWORD edit UID SUMMARY
phone.py URL USER PASSWORD complete UID
phone.py URL USER PASSWORD delete UID
phone.py URL USER PASSWORD list
phone.py URL USER PASSWORD put FOLDER         saves every .ics file of FOLDER as an object, as written
phone.py URL USER PASSWORD dump               prints each object's text by its UID
"""
import json
import os
import sys

import caldav
import icalendar
import requests


def calendar_of(url, user, password):
    # The password goes with every request, as a phone set up for the server sends it, rather than after a 401, and
    # every request has a connection of its own: SOGo at times closes a connection after an answer without saying
    # so, or after its 401 without reading the request's body, and requests does not ask again when the next
    # request on it is reset.
    client = caldav.DAVClient(url, auth=requests.auth.HTTPBasicAuth(user, password))
    client.headers["Connection"] = "close"
    return client.calendar(url=url)


def find(calendar, uid):
    try:
        return calendar.todo_by_uid(uid)
    except caldav.error.NotFoundError:
        return calendar.event_by_uid(uid)


def text(lines):
    return "\r\n".join(["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Phone//EN"] + lines + ["END:VCALENDAR", ""])


def main(url, user, password, command, *args):
    calendar = calendar_of(url, user, password)
    if command == "add-todo":
        uid, summary, due = args[:3]
        lines = ["BEGIN:VTODO", "UID:" + uid, "DTSTAMP:20270101T000000Z", "SUMMARY:" + summary,
                 "DUE;VALUE=DATE:" + due, "STATUS:NEEDS-ACTION"]
        if len(args) > 3:
            lines += ["ATTENDEE;CN=Guest:mailto:" + args[3], "CATEGORIES:" + args[4]]
        calendar.save_todo(text(lines + ["END:VTODO"]))
    elif command == "add-event":
        uid, summary, start, end = args
        calendar.save_event(text(["BEGIN:VEVENT", "UID:" + uid, "DTSTAMP:20270101T000000Z", "SUMMARY:" + summary,
                                  "DTSTART:" + start, "DTEND:" + end, "END:VEVENT"]))
    elif command == "edit":
        found = find(calendar, args[0])
        found.icalendar_component["SUMMARY"] = icalendar.vText(args[1])
        found.save()
    elif command == "complete":
        calendar.todo_by_uid(args[0]).complete()
    elif command == "delete":
        find(calendar, args[0]).delete()
    elif command == "put":
        # Prints the names of the objects the server refused to store (403), as a JSON list.
        refused = []
        for name in sorted(os.listdir(args[0])):
            with open(os.path.join(args[0], name), encoding="utf-8") as ics:
                data = ics.read()
            try:
                (calendar.save_todo if "BEGIN:VTODO" in data else calendar.save_event)(data)
            except caldav.lib.error.AuthorizationError:
                refused.append(name)
        print(json.dumps(refused))
    elif command == "dump":
        dumped = {}
        for found in calendar.todos(include_completed=True) + calendar.events():
            dumped[str(found.icalendar_component.get("UID"))] = found.data
        print(json.dumps(dumped, ensure_ascii=False))
    elif command == "list":
        listed = []
        for found in calendar.todos(include_completed=True) + calendar.events():
            item = found.icalendar_component
            categories = item.get("CATEGORIES", [])
            attendees = item.get("ATTENDEE", [])
            listed.append({
                "kind": item.name,
                "uid": str(item.get("UID")),
                "summary": str(item.get("SUMMARY", "")),
                "status": str(item.get("STATUS", "")),
                "attendees": [str(a) for a in (attendees if isinstance(attendees, list) else [attendees])],
                "categories": [str(c) for each in (categories if isinstance(categories, list) else [categories])
                               for c in each.cats],
            })
        print(json.dumps(sorted(listed, key=lambda o: o["summary"]), ensure_ascii=False))
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main(*sys.argv[1:])
