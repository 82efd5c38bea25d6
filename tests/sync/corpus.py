#!/usr/bin/python3
"""Calendar objects in the shapes phones and desktop calendars write them (recurrences with weekdays, intervals,
counts and ends, exceptions and changed occurrences, zones with their VTIMEZONE, floating and UTC times, day-long
events, to-dos with progress, alarms, attendees and the clients' own X- properties), made with python3-icalendar
for the sync's round-trip tests.

corpus.py FOLDER    writes each object as FOLDER/NN-name.ics
"""
import datetime
import os
import sys

import pytz
from icalendar import (Alarm, Calendar, Event, Timezone, TimezoneDaylight, TimezoneStandard, Todo, vCalAddress,
                       vDDDTypes, vText)

STAMP = datetime.datetime(2027, 1, 10, 9, 0, tzinfo=pytz.utc)
MOSCOW = pytz.timezone("Europe/Moscow")
BERLIN = pytz.timezone("Europe/Berlin")
NEW_YORK = pytz.timezone("America/New_York")

PRODIDS = {
    "ios": "-//Apple Inc.//iPhone OS 17.2//EN",
    "macos": "-//Apple Inc.//macOS 14.2//EN",
    "davx5": "DAVx5/4.3.10-ose ical4j/3.2.14 (ws.xsoh.etar)",
    "thunderbird": "-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN",
    "evolution": "-//Ximian//NONSGML Evolution Calendar//EN",
    "outlook": "-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN",
    "tasks": "+//IDN tasks.org//android-130804//EN",
    "nextcloud": "-//IDN nextcloud.com//Calendar app 4.6.4//EN",
}


def zone(tzid):
    """The VTIMEZONE a client writes beside a zoned time."""
    tz = Timezone()
    tz.add("TZID", tzid)
    if tzid == "Europe/Moscow":
        parts = [(TimezoneStandard, "MSK", 3, 3, None)]
    elif tzid == "Europe/Berlin":
        parts = [(TimezoneDaylight, "CEST", 1, 2, {"FREQ": "YEARLY", "BYMONTH": 3, "BYDAY": "-1SU"}),
                 (TimezoneStandard, "CET", 2, 1, {"FREQ": "YEARLY", "BYMONTH": 10, "BYDAY": "-1SU"})]
    else:
        parts = [(TimezoneDaylight, "EDT", -5, -4, {"FREQ": "YEARLY", "BYMONTH": 3, "BYDAY": "2SU"}),
                 (TimezoneStandard, "EST", -4, -5, {"FREQ": "YEARLY", "BYMONTH": 11, "BYDAY": "1SU"})]
    for kind, name, offset_from, offset_to, rule in parts:
        part = kind()
        part.add("TZOFFSETFROM", datetime.timedelta(hours=offset_from))
        part.add("TZOFFSETTO", datetime.timedelta(hours=offset_to))
        part.add("TZNAME", name)
        part.add("DTSTART", datetime.datetime(1970, 3 if kind is TimezoneDaylight else 10, 25, 3, 0))
        if rule:
            part.add("RRULE", rule)
        tz.add_component(part)
    return tz


def alarm(trigger, action="DISPLAY", description="Напоминание", **extra):
    made = Alarm()
    made.add("ACTION", action)
    made.add("TRIGGER", trigger)
    if action != "AUDIO":
        made.add("DESCRIPTION", description)
    for name, value in extra.items():
        made.add(name.replace("_", "-"), value)
    return made


def attendee(mail, name, status="ACCEPTED"):
    address = vCalAddress("mailto:" + mail)
    address.params["CN"] = vText(name)
    address.params["PARTSTAT"] = vText(status)
    address.params["ROLE"] = vText("REQ-PARTICIPANT")
    return address


def calendar(client, item, zones=(), overrides=(), calname=None):
    cal = Calendar()
    cal.add("VERSION", "2.0")
    cal.add("PRODID", PRODIDS[client])
    if calname:
        cal.add("X-WR-CALNAME", calname)
    for tzid in zones:
        cal.add_component(zone(tzid))
    cal.add_component(item)
    for override in overrides:
        cal.add_component(override)
    return cal


def component(kind, uid, summary, **properties):
    item = kind()
    item.add("UID", uid)
    item.add("DTSTAMP", STAMP)
    item.add("SUMMARY", summary)
    for name, value in properties.items():
        name = name.replace("_", "-").upper()
        for each in value if isinstance(value, list) and name not in ("CATEGORIES",) else [value]:
            item.add(name, each)
    return item


def occurrence(uid, summary, recurrence_id, start, end, **properties):
    item = component(Event, uid, summary, RECURRENCE_ID=recurrence_id, DTSTART=start, DTEND=end, **properties)
    return item


def corpus():
    d = datetime.datetime
    day = datetime.date
    msk = MOSCOW.localize
    ber = BERLIN.localize
    nyc = NEW_YORK.localize
    utc = pytz.utc.localize
    hour = datetime.timedelta(hours=1)
    objects = []

    def add(name, cal):
        objects.append((name, cal))

    # Phones: the weekday series of the user who found the fault, and its kin.
    add("ios-weekdays-until", calendar("ios", component(
        Event, "A1B2C3D4-0001-4E5F-9A8B-IOS000000001", "Бассейн",
        DTSTART=msk(d(2027, 3, 1, 7, 30)), DTEND=msk(d(2027, 3, 1, 8, 30)),
        RRULE={"FREQ": "WEEKLY", "UNTIL": utc(d(2027, 6, 30)), "BYDAY": ["MO", "WE", "FR"]},
        SEQUENCE=2, TRANSP="OPAQUE", X_APPLE_TRAVEL_ADVISORY_BEHAVIOR="AUTOMATIC",
        CREATED=utc(d(2027, 1, 5, 8, 0))), zones=["Europe/Moscow"]))
    ios_alarmed = component(
        Event, "A1B2C3D4-0002-4E5F-9A8B-IOS000000002", "Английский",
        DTSTART=msk(d(2027, 3, 2, 19, 0)), DTEND=msk(d(2027, 3, 2, 20, 30)),
        RRULE={"FREQ": "WEEKLY", "INTERVAL": 2, "BYDAY": ["TU", "TH"], "COUNT": 20},
        LOCATION="Школа, каб. 12", URL="https://school.example.org/schedule")
    ios_alarmed.add_component(alarm(-datetime.timedelta(minutes=30), X_WR_ALARMUID="7E1C-ALARM-1",
                                    UID="7E1C-ALARM-1"))
    ios_alarmed.add_component(alarm(-datetime.timedelta(days=1), X_WR_ALARMUID="7E1C-ALARM-2", UID="7E1C-ALARM-2",
                                    X_APPLE_DEFAULT_ALARM="TRUE"))
    add("ios-biweekly-count-two-alarms", calendar("ios", ios_alarmed, zones=["Europe/Moscow"]))
    add("ios-exceptions-and-override", calendar("ios", component(
        Event, "A1B2C3D4-0003-4E5F-9A8B-IOS000000003", "Планёрка",
        DTSTART=msk(d(2027, 3, 1, 10, 0)), DTEND=msk(d(2027, 3, 1, 10, 30)),
        RRULE={"FREQ": "WEEKLY", "BYDAY": ["MO", "WE", "FR"], "UNTIL": utc(d(2027, 12, 31, 20, 59, 59))},
        EXDATE=[msk(d(2027, 3, 8, 10, 0)), msk(d(2027, 5, 3, 10, 0))],
        ORGANIZER=vCalAddress("mailto:boss@example.org"),
        ATTENDEE=[attendee("boss@example.org", "Начальник"), attendee("me@example.org", "Я", "NEEDS-ACTION")]),
        zones=["Europe/Moscow"], overrides=[occurrence(
            "A1B2C3D4-0003-4E5F-9A8B-IOS000000003", "Планёрка (перенесена)", msk(d(2027, 3, 10, 10, 0)),
            msk(d(2027, 3, 10, 12, 0)), msk(d(2027, 3, 10, 12, 30)), SEQUENCE=1)]))
    add("ios-all-day-monthly-bymonthday", calendar("ios", component(
        Event, "A1B2C3D4-0004-4E5F-9A8B-IOS000000004", "Квартплата",
        DTSTART=day(2027, 3, 10), DTEND=day(2027, 3, 11),
        RRULE={"FREQ": "MONTHLY", "BYMONTHDAY": [10, 25]}, TRANSP="TRANSPARENT",
        CATEGORIES=["Дом", "Деньги"])))
    add("ios-all-day-multi-day", calendar("ios", component(
        Event, "A1B2C3D4-0005-4E5F-9A8B-IOS000000005", "Отпуск",
        DTSTART=day(2027, 7, 5), DTEND=day(2027, 7, 19), TRANSP="TRANSPARENT", CLASS="PRIVATE")))
    add("macos-floating-daily-count", calendar("macos", component(
        Event, "5C1E-MAC-0006", "Зарядка", DTSTART=d(2027, 3, 1, 7, 15), DTEND=d(2027, 3, 1, 7, 45),
        RRULE={"FREQ": "DAILY", "COUNT": 30}, EXDATE=d(2027, 3, 7, 7, 15), PRIORITY=5)))
    add("macos-utc-single", calendar("macos", component(
        Event, "5C1E-MAC-0007", "Звонок в Лондон", DTSTART=utc(d(2027, 4, 12, 12, 0)),
        DTEND=utc(d(2027, 4, 12, 12, 45)), URL="https://meet.example.org/abc-defg-hij",
        X_APPLE_STRUCTURED_LOCATION="geo:51.5,-0.12")))

    # Android through DAVx5: its ical4j writes zoned times with the zone's VTIMEZONE, alarms as durations.
    davx5_event = component(
        Event, "b0c5f1d2-0008-4a1e-8d3f-davx5events0008", "Тренировка",
        DTSTART=ber(d(2027, 3, 3, 18, 0)), DTEND=ber(d(2027, 3, 3, 19, 30)),
        RRULE={"FREQ": "WEEKLY", "BYDAY": ["WE"], "UNTIL": utc(d(2027, 10, 27, 16, 0))},
        STATUS="CONFIRMED", X_MOZ_GENERATION="3")
    davx5_event.add_component(alarm(-datetime.timedelta(minutes=10)))
    add("davx5-berlin-weekly-until", calendar("davx5", davx5_event, zones=["Europe/Berlin"]))
    add("davx5-new-york-monthly-last-friday", calendar("davx5", component(
        Event, "b0c5f1d2-0009-4a1e-8d3f-davx5events0009", "Отчёт для Нью-Йорка",
        DTSTART=nyc(d(2027, 3, 26, 9, 0)), DTEND=nyc(d(2027, 3, 26, 10, 0)),
        RRULE={"FREQ": "MONTHLY", "BYDAY": ["-1FR"]}, CLASS="CONFIDENTIAL"), zones=["America/New_York"]))
    add("davx5-yearly-birthday", calendar("davx5", component(
        Event, "b0c5f1d2-0010-4a1e-8d3f-davx5events0010", "День рождения: Оля",
        DTSTART=day(1990, 5, 17), DTEND=day(1990, 5, 18), RRULE={"FREQ": "YEARLY"}, TRANSP="TRANSPARENT",
        CATEGORIES=["Дни рождения"], X_ANDROID_COLOR="-16776961")))
    add("davx5-rdate", calendar("davx5", component(
        Event, "b0c5f1d2-0011-4a1e-8d3f-davx5events0011", "Врач",
        DTSTART=msk(d(2027, 3, 15, 9, 0)), DTEND=msk(d(2027, 3, 15, 9, 40)),
        RDATE=[msk(d(2027, 4, 19, 9, 0)), msk(d(2027, 6, 21, 9, 0))]), zones=["Europe/Moscow"]))

    # Desktop calendars.
    tb = component(
        Event, "e3a7c8f0-0012-4b6d-9e2a-thunderbird012", "Совещание отдела",
        DTSTART=msk(d(2027, 3, 4, 14, 0)), DTEND=msk(d(2027, 3, 4, 15, 0)),
        RRULE={"FREQ": "WEEKLY", "INTERVAL": 2, "BYDAY": ["TH"]},
        EXDATE=msk(d(2027, 4, 1, 14, 0)), X_MOZ_LASTACK=utc(d(2027, 3, 1, 8, 0)),
        X_MOZ_GENERATION="5", DESCRIPTION="Повестка: итоги месяца\nПланы на квартал",
        ATTENDEE=[attendee("anna@example.org", "Анна"), attendee("petr@example.org", "Пётр", "TENTATIVE")],
        ORGANIZER=vCalAddress("mailto:me@example.org"))
    tb.add_component(alarm(-datetime.timedelta(minutes=15)))
    add("thunderbird-biweekly-exdate-attendees", calendar("thunderbird", tb, zones=["Europe/Moscow"],
                                                          overrides=[occurrence(
        "e3a7c8f0-0012-4b6d-9e2a-thunderbird012", "Совещание отдела", msk(d(2027, 3, 18, 14, 0)),
        msk(d(2027, 3, 18, 16, 0)), msk(d(2027, 3, 18, 17, 0)), LOCATION="Большая переговорная")]))
    add("thunderbird-all-day-yearly-memorable", calendar("thunderbird", component(
        Event, "e3a7c8f0-0013-4b6d-9e2a-thunderbird013", "Годовщина свадьбы",
        DTSTART=day(2015, 8, 8), DTEND=day(2015, 8, 9), RRULE={"FREQ": "YEARLY"},
        X_MOZ_GENERATION="1")))
    add("evolution-floating-single", calendar("evolution", component(
        Event, "20270301T101010Z-1234-1000-1-14@evolution", "Забрать посылку",
        DTSTART=d(2027, 3, 20, 11, 0), DTEND=d(2027, 3, 20, 11, 30), LOCATION="Почта",
        X_EVOLUTION_CALDAV_ETAG="abc", GEO=(55.75, 37.61))))
    add("evolution-weekdays-bysetpos", calendar("evolution", component(
        Event, "20270301T101010Z-1234-1000-1-15@evolution", "Бухгалтерия",
        DTSTART=msk(d(2027, 3, 1, 9, 0)), DTEND=msk(d(2027, 3, 1, 9, 30)),
        RRULE={"FREQ": "MONTHLY", "BYDAY": ["MO", "TU", "WE", "TH", "FR"], "BYSETPOS": [1]}),
        zones=["Europe/Moscow"]))
    outlook = component(
        Event, "040000008200E00074C5B7101A82E0080000000010", "Обзор проекта",
        DTSTART=msk(d(2027, 3, 5, 11, 0)), DTEND=msk(d(2027, 3, 5, 12, 0)),
        RRULE={"FREQ": "MONTHLY", "BYMONTHDAY": [5], "UNTIL": utc(d(2027, 12, 5, 8, 0))},
        CLASS="PUBLIC", PRIORITY=5, X_MICROSOFT_CDO_BUSYSTATUS="BUSY", X_MICROSOFT_CDO_IMPORTANCE="1",
        ATTACH="https://files.example.org/plan.pdf")
    outlook.add_component(alarm(-datetime.timedelta(minutes=15), description="REMINDER"))
    add("outlook-monthly-bymonthday-until", calendar("outlook", outlook, zones=["Europe/Moscow"]))
    add("nextcloud-utc-weekly-exdate-list", calendar("nextcloud", component(
        Event, "8b3f1c9e-0017-nextcloud-calendar", "Вебинар",
        DTSTART=utc(d(2027, 3, 2, 15, 0)), DTEND=utc(d(2027, 3, 2, 16, 0)),
        RRULE={"FREQ": "WEEKLY", "COUNT": 12}, EXDATE=[[utc(d(2027, 3, 16, 15, 0)), utc(d(2027, 3, 23, 15, 0))]],
        CATEGORIES=["Работа", "Учёба"], CLASS="PUBLIC"), calname="Личное"))

    # To-dos: task apps on phones and desktops.
    add("tasks-due-date", calendar("tasks", component(
        Todo, "4471205873120956789", "Купить подарок", DUE=day(2027, 3, 7), PRIORITY=1,
        STATUS="NEEDS-ACTION", CATEGORIES=["Покупки"], X_TASKS_ORG_ORDER="3")))
    subtask = component(
        Todo, "4471205873120956790", "Упаковать подарок", DUE=day(2027, 3, 8), STATUS="NEEDS-ACTION",
        RELATED_TO="4471205873120956789")
    subtask["RELATED-TO"].params["RELTYPE"] = vText("PARENT")
    add("tasks-subtask-related-to", calendar("tasks", subtask))
    add("tasks-zoned-due-with-start-progress", calendar("tasks", component(
        Todo, "4471205873120956791", "Подготовить доклад", DTSTART=msk(d(2027, 3, 9, 9, 0)),
        DUE=msk(d(2027, 3, 12, 18, 0)), PERCENT_COMPLETE=40, STATUS="IN-PROCESS"), zones=["Europe/Moscow"]))
    recurring_todo = component(
        Todo, "4471205873120956792", "Полить цветы", DTSTART=day(2027, 3, 1), DUE=day(2027, 3, 1),
        RRULE={"FREQ": "DAILY", "INTERVAL": 3, "COUNT": 10}, STATUS="NEEDS-ACTION")
    recurring_todo.add_component(alarm(datetime.timedelta(hours=9)))
    add("tasks-recurring-all-day-alarm", calendar("tasks", recurring_todo))
    add("thunderbird-todo-utc-due", calendar("thunderbird", component(
        Todo, "e3a7c8f0-0023-4b6d-9e2a-thunderbird023", "Оплатить налог", DUE=utc(d(2027, 4, 15, 12, 0)),
        STATUS="NEEDS-ACTION", X_MOZ_GENERATION="2", CLASS="PRIVATE", URL="https://nalog.example.org")))
    add("evolution-todo-floating-due", calendar("evolution", component(
        Todo, "20270301T101010Z-1234-1000-1-24@evolution", "Позвонить в банк", DUE=d(2027, 3, 11, 16, 30),
        STATUS="NEEDS-ACTION", PRIORITY=9)))
    add("ios-reminder-weekly-todo", calendar("ios", component(
        Todo, "A1B2C3D4-0025-4E5F-9A8B-IOS000000025", "Вынести мусор", DTSTART=msk(d(2027, 3, 2, 20, 0)),
        DUE=msk(d(2027, 3, 2, 20, 0)), RRULE={"FREQ": "WEEKLY", "BYDAY": ["TU", "FR"]}, STATUS="NEEDS-ACTION",
        X_APPLE_SORT_ORDER="600000000"), zones=["Europe/Moscow"]))
    add("nextcloud-todo-completed", calendar("nextcloud", component(
        Todo, "8b3f1c9e-0026-nextcloud-tasks", "Сдать книги", DUE=day(2027, 3, 3), STATUS="COMPLETED",
        COMPLETED=utc(d(2027, 3, 3, 10, 0)), PERCENT_COMPLETE=100)))
    add("davx5-new-york-single", calendar("davx5", component(
        Event, "b0c5f1d2-0027-4a1e-8d3f-davx5events0027", "Созвон с Нью-Йорком",
        DTSTART=nyc(d(2027, 1, 15, 9, 0)), DURATION=datetime.timedelta(minutes=45),
        ATTENDEE=[attendee("john@example.com", "John")]), zones=["America/New_York"]))
    duty = component(
        Event, "040000008200E00074C5B7101A82E0080000000028", "Дежурство",
        DTSTART=day(2027, 3, 6), DTEND=day(2027, 3, 7), RRULE={"FREQ": "WEEKLY", "COUNT": 8, "BYDAY": ["SA"]},
        EXDATE=vDDDTypes(day(2027, 3, 20)), X_MICROSOFT_CDO_ALLDAYEVENT="TRUE")
    add("outlook-all-day-weekly-count", calendar("outlook", duty))

    # More of the shapes clients write.
    memorable = component(
        Event, "A1B2C3D4-0029-4E5F-9A8B-IOS000000029", "Годовщина знакомства",
        DTSTART=day(2019, 5, 17), DTEND=day(2019, 5, 18), RRULE={"FREQ": "YEARLY"}, TRANSP="TRANSPARENT")
    memorable.add_component(alarm(-datetime.timedelta(hours=15), X_WR_ALARMUID="9F0A-ALARM-1"))
    memorable.add_component(alarm(-datetime.timedelta(days=7), action="AUDIO", ATTACH="Basso"))
    add("ios-yearly-day-two-alarms", calendar("ios", memorable))
    add("davx5-weekend-until-date", calendar("davx5", component(
        Event, "b0c5f1d2-0030-4a1e-8d3f-davx5events0030", "Дача",
        DTSTART=day(2027, 5, 1), DTEND=day(2027, 5, 2),
        RRULE={"FREQ": "WEEKLY", "UNTIL": day(2027, 9, 26), "BYDAY": ["SA", "SU"]}, TRANSP="TRANSPARENT")))
    add("thunderbird-biweekly-wkst", calendar("thunderbird", component(
        Event, "e3a7c8f0-0031-4b6d-9e2a-thunderbird031", "Йога",
        DTSTART=msk(d(2027, 3, 7, 10, 0)), DTEND=msk(d(2027, 3, 7, 11, 0)),
        RRULE={"FREQ": "WEEKLY", "INTERVAL": 2, "WKST": "SU", "BYDAY": ["SU", "MO"]}), zones=["Europe/Moscow"]))
    add("outlook-yearly-second-sunday-of-may", calendar("outlook", component(
        Event, "040000008200E00074C5B7101A82E0080000000032", "Позвонить маме",
        DTSTART=msk(d(2027, 5, 9, 12, 0)), DTEND=msk(d(2027, 5, 9, 12, 30)),
        RRULE={"FREQ": "YEARLY", "BYMONTH": [5], "BYDAY": ["2SU"]}), zones=["Europe/Moscow"]))
    add("evolution-hourly-count-floating", calendar("evolution", component(
        Event, "20270301T101010Z-1234-1000-1-33@evolution", "Проветрить",
        DTSTART=d(2027, 3, 15, 9, 0), DTEND=d(2027, 3, 15, 9, 10), RRULE={"FREQ": "HOURLY", "INTERVAL": 4,
                                                                          "COUNT": 3})))
    add("tasks-start-and-duration", calendar("tasks", component(
        Todo, "4471205873120956834", "Прочитать статью", DTSTART=msk(d(2027, 3, 14, 20, 0)),
        DURATION=datetime.timedelta(hours=2), STATUS="NEEDS-ACTION"), zones=["Europe/Moscow"]))
    add("nextcloud-todo-without-dates", calendar("nextcloud", component(
        Todo, "8b3f1c9e-0035-nextcloud-tasks", "Когда-нибудь выучить испанский", PRIORITY=9,
        CATEGORIES=["Мечты"], CLASS="PRIVATE", STATUS="NEEDS-ACTION")))
    add("macos-tentative-comment-resources", calendar("macos", component(
        Event, "5C1E-MAC-0036", "Собеседование", DTSTART=msk(d(2027, 3, 18, 15, 0)),
        DTEND=msk(d(2027, 3, 18, 16, 0)), STATUS="TENTATIVE", COMMENT="Взять резюме",
        RESOURCES="Проектор", CONTACT="Кадры, +7 495 000-00-00",
        ATTACH="https://files.example.org/cv.pdf"), zones=["Europe/Moscow"]))
    cancelled = occurrence("e3a7c8f0-0037-4b6d-9e2a-thunderbird037", "Теннис", msk(d(2027, 3, 16, 19, 0)),
                           msk(d(2027, 3, 16, 19, 0)), msk(d(2027, 3, 16, 20, 0)), STATUS="CANCELLED")
    moved = occurrence("e3a7c8f0-0037-4b6d-9e2a-thunderbird037", "Теннис (другой корт)", msk(d(2027, 3, 23, 19, 0)),
                       msk(d(2027, 3, 24, 19, 0)), msk(d(2027, 3, 24, 20, 0)), LOCATION="Корт 3")
    add("thunderbird-two-overrides-one-cancelled", calendar("thunderbird", component(
        Event, "e3a7c8f0-0037-4b6d-9e2a-thunderbird037", "Теннис",
        DTSTART=msk(d(2027, 3, 2, 19, 0)), DTEND=msk(d(2027, 3, 2, 20, 0)),
        RRULE={"FREQ": "WEEKLY", "COUNT": 15}), zones=["Europe/Moscow"], overrides=[cancelled, moved]))
    add("davx5-berlin-monthly-second-tuesday", calendar("davx5", component(
        Event, "b0c5f1d2-0038-4a1e-8d3f-davx5events0038", "Родительское собрание",
        DTSTART=ber(d(2027, 3, 9, 18, 30)), DTEND=ber(d(2027, 3, 9, 20, 0)),
        RRULE={"FREQ": "MONTHLY", "BYDAY": ["2TU"], "COUNT": 10}), zones=["Europe/Berlin"]))
    assigned = component(
        Todo, "20270301T101010Z-1234-1000-1-39@evolution", "Проверить договор", DUE=msk(d(2027, 3, 19, 12, 0)),
        STATUS="NEEDS-ACTION", ORGANIZER=vCalAddress("mailto:lawyer@example.org"),
        ATTENDEE=[attendee("me@example.org", "Я", "NEEDS-ACTION")], X_EVOLUTION_ORIGINAL="1")
    add("evolution-assigned-todo", calendar("evolution", assigned, zones=["Europe/Moscow"]))
    add("nextcloud-utc-daily-exdate-lines", calendar("nextcloud", component(
        Event, "8b3f1c9e-0040-nextcloud-calendar", "Стендап", DTSTART=utc(d(2027, 3, 1, 7, 0)),
        DTEND=utc(d(2027, 3, 1, 7, 15)), RRULE={"FREQ": "DAILY", "BYDAY": ["MO", "TU", "WE", "TH", "FR"],
                                                  "UNTIL": utc(d(2027, 8, 31, 7, 0))},
        EXDATE=[utc(d(2027, 3, 8, 7, 0)), utc(d(2027, 5, 3, 7, 0)), utc(d(2027, 5, 10, 7, 0))])))
    add("ios-flight-two-zones", calendar("ios", component(
        Event, "A1B2C3D4-0041-4E5F-9A8B-IOS000000041", "Рейс в Берлин",
        DTSTART=msk(d(2027, 4, 2, 9, 0)), DTEND=ber(d(2027, 4, 2, 10, 30)), LOCATION="Шереметьево",
        X_APPLE_TRAVEL_START="ical-time-zone"), zones=["Europe/Moscow", "Europe/Berlin"]))
    add("thunderbird-yearly-two-days", calendar("thunderbird", component(
        Event, "e3a7c8f0-0042-4b6d-9e2a-thunderbird042", "Майские у родителей",
        DTSTART=day(2027, 5, 1), DTEND=day(2027, 5, 3), RRULE={"FREQ": "YEARLY"}, X_MOZ_GENERATION="4")))
    snoozed = component(
        Todo, "e3a7c8f0-0043-4b6d-9e2a-thunderbird043", "Записаться к стоматологу", DUE=msk(d(2027, 3, 16, 10, 0)),
        STATUS="NEEDS-ACTION", X_MOZ_SNOOZE_TIME=utc(d(2027, 3, 16, 6, 45)))
    snoozed.add_component(alarm(-datetime.timedelta(minutes=30)))
    add("thunderbird-todo-snoozed-alarm", calendar("thunderbird", snoozed, zones=["Europe/Moscow"]))
    add("evolution-long-escaped-description", calendar("evolution", component(
        Event, "20270301T101010Z-1234-1000-1-44@evolution", "Встреча выпускников",
        DTSTART=msk(d(2027, 6, 12, 17, 0)), DTEND=msk(d(2027, 6, 12, 23, 0)),
        DESCRIPTION="Кафе «Берёзка»; вход по списку, с собой: хорошее настроение, фотографии, 500 руб. "
                    "Сбор у входа в 16:45 — не опаздывайте!\nКонтакты: Маша, Петя; тел. 8-900-000-00-00",
        LOCATION="ул. Ленина, 1; 2 этаж"), zones=["Europe/Moscow"]))
    add("tasks-recurring-monthly-last-day", calendar("tasks", component(
        Todo, "4471205873120956845", "Передать показания счётчиков", DTSTART=day(2027, 3, 31),
        DUE=day(2027, 3, 31), RRULE={"FREQ": "MONTHLY", "BYMONTHDAY": [-1]}, STATUS="NEEDS-ACTION")))
    holiday = occurrence("b0c5f1d2-0045-4a1e-8d3f-davx5events0045", "Уборка (генеральная)", day(2027, 4, 3),
                         day(2027, 4, 4), day(2027, 4, 5))
    add("davx5-all-day-weekly-exdates-and-override", calendar("davx5", component(
        Event, "b0c5f1d2-0045-4a1e-8d3f-davx5events0045", "Уборка", DTSTART=day(2027, 3, 6), DTEND=day(2027, 3, 7),
        RRULE={"FREQ": "WEEKLY", "BYDAY": ["SA"], "COUNT": 26},
        EXDATE=[vDDDTypes(day(2027, 3, 13)), vDDDTypes(day(2027, 5, 1))], TRANSP="TRANSPARENT"),
        overrides=[holiday]))
    first_monday = occurrence("A1B2C3D4-0046-4E5F-9A8B-IOS000000046", "Книжный клуб", msk(d(2027, 4, 5, 19, 0)),
                              msk(d(2027, 4, 7, 19, 30)), msk(d(2027, 4, 7, 21, 0)), LOCATION="Библиотека")
    add("ios-monthly-first-monday-override-elsewhere", calendar("ios", component(
        Event, "A1B2C3D4-0046-4E5F-9A8B-IOS000000046", "Книжный клуб", DTSTART=msk(d(2027, 3, 1, 19, 0)),
        DTEND=msk(d(2027, 3, 1, 20, 30)), RRULE={"FREQ": "MONTHLY", "BYDAY": ["1MO"]},
        EXDATE=msk(d(2027, 7, 5, 19, 0))), zones=["Europe/Moscow"], overrides=[first_monday]))
    add("thunderbird-todo-weekly-until-berlin", calendar("thunderbird", component(
        Todo, "e3a7c8f0-0047-4b6d-9e2a-thunderbird047", "Отчёт в Берлин", DTSTART=ber(d(2027, 3, 5, 9, 0)),
        DUE=ber(d(2027, 3, 5, 12, 0)), RRULE={"FREQ": "WEEKLY", "UNTIL": utc(d(2027, 6, 25, 11, 0))},
        STATUS="NEEDS-ACTION", X_MOZ_GENERATION="7"), zones=["Europe/Berlin"]))
    add("outlook-moment-without-end", calendar("outlook", component(
        Event, "040000008200E00074C5B7101A82E0080000000048", "Старт продаж",
        DTSTART=msk(d(2027, 4, 20, 10, 0)), X_MICROSOFT_CDO_BUSYSTATUS="FREE", TRANSP="TRANSPARENT"),
        zones=["Europe/Moscow"]))
    delegated = attendee("deputy@example.org", "Заместитель")
    delegated.params["DELEGATED-FROM"] = vText("mailto:boss@example.org")
    audit = component(
        Event, "20270301T101010Z-1234-1000-1-49@evolution", "Аудит",
        DTSTART=msk(d(2027, 5, 17, 9, 0)), DTEND=msk(d(2027, 5, 19, 18, 0)),
        CATEGORIES=["Работа"], ATTENDEE=[delegated], ORGANIZER=vCalAddress("mailto:boss@example.org"),
        X_EVOLUTION_CATEGORIES="Работа,Командировка")
    audit.add("CATEGORIES", ["Командировка"])
    add("evolution-two-category-lines-delegated", calendar("evolution", audit, zones=["Europe/Moscow"]))
    child = component(
        Todo, "8b3f1c9e-0050-nextcloud-tasks", "Забронировать отель", DTSTART=nyc(d(2027, 4, 1, 9, 0)),
        DUE=nyc(d(2027, 4, 2, 17, 0)), PERCENT_COMPLETE=0, STATUS="NEEDS-ACTION",
        RELATED_TO=["8b3f1c9e-0049-trip", "8b3f1c9e-0048-budget"])
    add("nextcloud-todo-new-york-two-parents", calendar("nextcloud", child, zones=["America/New_York"]))
    return objects


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for number, (name, cal) in enumerate(corpus(), 1):
        with open(os.path.join(folder, "%02d-%s.ics" % (number, name)), "wb") as out:
            out.write(cal.to_ical())


if __name__ == "__main__":
    main(*sys.argv[1:])
