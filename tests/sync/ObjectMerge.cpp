#include "sync/ObjectMerge.h"

#include "export/IcsComponents.h"
#include "sync/DiaryEvents.h"
#include "support/FixedClock.h"
#include "support/ZoneScope.h"

#include <QStringList>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Event = ObjectMerge::Event;

const QString diaryId = QStringLiteral("/home/user/diary");

// A calendar of the given lines, as another client would have written it.
QByteArray calendarOf(const QStringList& lines)
{
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\n" + lines.join(QStringLiteral("\r\n")) +
            QStringLiteral("\r\nEND:VCALENDAR\r\n"))
        .toUtf8();
}

const QStringList moscow = {
    "BEGIN:VTIMEZONE",  "TZID:Europe/Moscow", "BEGIN:STANDARD", "DTSTART:19700101T000000", "TZOFFSETFROM:+0300",
    "TZOFFSETTO:+0300", "TZNAME:MSK",         "END:STANDARD",   "END:VTIMEZONE",
};

const QStringList foreignTodo = {
    "BEGIN:VTODO",
    "UID:phone-1",
    "DTSTAMP:20270101T000000Z",
    "SUMMARY:Купить хлеб",
    "DESCRIPTION:в булочной",
    "DUE;VALUE=DATE:20270305",
    "STATUS:NEEDS-ACTION",
    "SEQUENCE:4",
    "ATTENDEE;CN=Оля:mailto:olya@example.org",
    "CATEGORIES:Дом,Покупки",
    "X-PHONE-COLOR;X-SHADE=\"dark:red\":red",
    "PRIORITY:1",
    "BEGIN:VALARM",
    "ACTION:DISPLAY",
    "DESCRIPTION:first",
    "TRIGGER:-PT15M",
    "END:VALARM",
    "BEGIN:VALARM",
    "ACTION:AUDIO",
    "TRIGGER:-PT5M",
    "END:VALARM",
    "END:VTODO",
};

// Every Monday, Wednesday and Friday until 30 June at 07:30 in Moscow, one Monday left out and one Friday moved.
const QStringList series = QStringList(moscow) + QStringList{
                                                     "BEGIN:VEVENT",
                                                     "UID:phone-series",
                                                     "DTSTAMP:20270101T000000Z",
                                                     "SUMMARY:Бассейн",
                                                     "DTSTART;TZID=Europe/Moscow:20270301T073000",
                                                     "DTEND;TZID=Europe/Moscow:20270301T083000",
                                                     "RRULE:FREQ=WEEKLY;BYDAY=MO,WE,FR;UNTIL=20270630T000000Z",
                                                     "EXDATE;TZID=Europe/Moscow:20270308T073000",
                                                     "CLASS:PRIVATE",
                                                     "END:VEVENT",
                                                     "BEGIN:VEVENT",
                                                     "UID:phone-series",
                                                     "DTSTAMP:20270101T000000Z",
                                                     "RECURRENCE-ID;TZID=Europe/Moscow:20270312T073000",
                                                     "SUMMARY:Бассейн",
                                                     "DTSTART;TZID=Europe/Moscow:20270312T100000",
                                                     "DTEND;TZID=Europe/Moscow:20270312T110000",
                                                     "END:VEVENT",
                                                 };

const QStringList utcEvent = {
    "BEGIN:VEVENT",
    "UID:phone-2",
    "DTSTAMP:20270101T000000Z",
    "SUMMARY:Встреча",
    "DTSTART:20270305T090000Z",
    "DTEND:20270305T103000Z",
    "RRULE:FREQ=MONTHLY;INTERVAL=2;COUNT=6",
    "ATTENDEE:mailto:boss@example.org",
    "LOCATION:Офис",
    "END:VEVENT",
};

// Nine in the morning in New York in January: five in the afternoon in Moscow.
const QStringList newYork = {
    "BEGIN:VEVENT",
    "UID:phone-3",
    "DTSTAMP:20270101T000000Z",
    "SUMMARY:Созвон",
    "DTSTART;TZID=America/New_York:20270115T090000",
    "DURATION:PT30M",
    "END:VEVENT",
};

const QStringList allDay = {
    "BEGIN:VEVENT",
    "UID:phone-4",
    "DTSTAMP:20270101T000000Z",
    "SUMMARY:Отпуск",
    "DTSTART;VALUE=DATE:20270705",
    "DTEND;VALUE=DATE:20270706",
    "TRANSP:TRANSPARENT",
    "END:VEVENT",
};

const QStringList recurringTodo = {
    "BEGIN:VTODO",
    "UID:phone-5",
    "DTSTAMP:20270101T000000Z",
    "SUMMARY:Полить цветы",
    "DTSTART;VALUE=DATE:20270301",
    "DUE;VALUE=DATE:20270302",
    "RRULE:FREQ=DAILY;INTERVAL=3;COUNT=10",
    "PERCENT-COMPLETE:40",
    "STATUS:IN-PROCESS",
    "END:VTODO",
};

struct MergeCase
{
    const char* name;
    QStringList theirs;
    // The user's edit of the event the import made of theirs.
    std::function<void(Event&)> edit;
    QStringList present;
    QStringList absent;
};

void PrintTo(const MergeCase& c, std::ostream* out)
{
    *out << c.name;
}

const MergeCase mergeCases[] = {
    {"TitleOfAWeekdaySeriesKeepsItsRuleZoneExceptionsAndOverride",
     series,
     [](Event& e) { e.job = QStringLiteral("Бассейн с Олей"); },
     {"SUMMARY:Бассейн с Олей", "RRULE:FREQ=WEEKLY;BYDAY=MO,WE,FR;UNTIL=20270630T000000Z",
      "DTSTART;TZID=Europe/Moscow:20270301T073000", "DTEND;TZID=Europe/Moscow:20270301T083000",
      "EXDATE;TZID=Europe/Moscow:20270308T073000", "RECURRENCE-ID;TZID=Europe/Moscow:20270312T073000", "CLASS:PRIVATE",
      "SEQUENCE:1"},
     {"DUE", "BEGIN:VTODO", "Etc/UTC"}},
    {"TimeOfAWeekdaySeriesMovesItsEndExceptionsAndOverridesWithIt",
     series,
     [](Event& e) { e.time = QTime(9, 0); },
     {"DTSTART;TZID=Europe/Moscow:20270301T090000", "DTEND;TZID=Europe/Moscow:20270301T100000",
      "EXDATE;TZID=Europe/Moscow:20270308T090000", "RECURRENCE-ID;TZID=Europe/Moscow:20270312T090000",
      "RRULE:FREQ=WEEKLY;BYDAY=MO,WE,FR;UNTIL=20270630T013000Z", "SUMMARY:Бассейн\r",
      "DTSTART;TZID=Europe/Moscow:20270312T100000"},
     {"T073000", "DURATION"}},
    {"ATimeInUtcStaysInUtcWithItsLength",
     utcEvent,
     [](Event& e) {
         e.date = e.date.addDays(1);
         e.time = QTime(13, 0);
     },
     {"DTSTART:20270306T100000Z", "DTEND:20270306T113000Z", "RRULE:FREQ=MONTHLY;INTERVAL=2;COUNT=6",
      "ATTENDEE:mailto:boss@example.org", "LOCATION:Офис", "BEGIN:VEVENT"},
     {"TZID", "BEGIN:VTODO", "DUE"}},
    {"ATimeInAnotherZoneStaysInThatZone",
     newYork,
     [](Event& e) { e.time = QTime(18, 0); },
     {"DTSTART;TZID=America/New_York:20270115T100000", "DURATION:PT30M"},
     {"Europe/Moscow"}},
    {"AnEventMovedToADateWithoutATimeBecomesADayLong",
     utcEvent,
     [](Event& e) {
         e.date = QDate(2027, 3, 7);
         e.time = QTime();
     },
     {"DTSTART;VALUE=DATE:20270307", "RRULE:FREQ=MONTHLY;INTERVAL=2;COUNT=6"},
     {"DTEND", "DURATION", "DUE"}},
    {"ADayLongEventGivenATimeTakesTheDiarysZone",
     allDay,
     [](Event& e) { e.time = QTime(10, 0); },
     {"DTSTART;TZID=Europe/Moscow:20270705T100000", "TZID:Europe/Moscow", "TRANSP:TRANSPARENT"},
     {"DTEND", "VALUE=DATE"}},
    {"ADayLongEventMovedStaysADay",
     allDay,
     [](Event& e) { e.date = QDate(2027, 7, 12); },
     {"DTSTART;VALUE=DATE:20270712", "DTEND;VALUE=DATE:20270713"},
     {"20270705", "VTIMEZONE"}},
    {"DoneOnARecurringTodoKeepsItsRuleAndDates",
     recurringTodo,
     [](Event& e) { e.done = true; },
     {"STATUS:COMPLETED", "COMPLETED:20270310T120000Z", "PERCENT-COMPLETE:100", "RRULE:FREQ=DAILY;INTERVAL=3;COUNT=10",
      "DTSTART;VALUE=DATE:20270301", "DUE;VALUE=DATE:20270302"},
     {"IN-PROCESS", "PERCENT-COMPLETE:40"}},
    {"ATodoMovedTakesItsStartAlong",
     recurringTodo,
     [](Event& e) { e.date = QDate(2027, 3, 12); },
     {"DTSTART;VALUE=DATE:20270311", "DUE;VALUE=DATE:20270312", "RRULE:FREQ=DAILY;INTERVAL=3;COUNT=10",
      "STATUS:IN-PROCESS"},
     {"20270301", "20270302"}},
    {"APeriodicityChangedRewritesTheRule",
     series,
     [](Event& e) { e.period = QStringLiteral("ежемесячное"); },
     {"RRULE:FREQ=MONTHLY", "DTSTART;TZID=Europe/Moscow:20270301T073000", "EXDATE;TZID=Europe/Moscow:20270308T073000"},
     {"BYDAY"}},
    {"SummaryEditedKeepsAttendeesCategoriesAndOtherProperties",
     foreignTodo,
     [](Event& e) { e.job = QStringLiteral("Купить хлеб и молоко"); },
     {"SUMMARY:Купить хлеб и молоко", "ATTENDEE;CN=Оля:mailto:olya@example.org", "CATEGORIES:Дом,Покупки",
      "X-PHONE-COLOR;X-SHADE=\"dark:red\":red", "PRIORITY:1", "SEQUENCE:5", "UID:phone-1", "DESCRIPTION:first",
      "ACTION:AUDIO", "LAST-MODIFIED:20270310T120000Z", "DESCRIPTION:в булочной", "DUE;VALUE=DATE:20270305"},
     {"SUMMARY:Купить хлеб\r", "SEQUENCE:4"}},
    {"NoteClearedAndDoneSetsCompletion",
     foreignTodo,
     [](Event& e) {
         e.note.clear();
         e.done = true;
     },
     {"STATUS:COMPLETED", "COMPLETED:20270310T120000Z", "ATTENDEE;CN=Оля:mailto:olya@example.org"},
     {"DESCRIPTION:в булочной", "STATUS:NEEDS-ACTION"}},
    {"ReminderTurnedOffRemovesTheFirstAlarmOnly",
     foreignTodo,
     [](Event& e) { e.napom = false; },
     {"ACTION:AUDIO", "TRIGGER:-PT5M"},
     {"DESCRIPTION:first", "TRIGGER:-PT15M"}},
    {"ATodosReminderMovedRetriggersItsOwnFirstAlarm",
     foreignTodo,
     [](Event& e) {
         e.shedDate = QDate(2027, 3, 3);
         e.shedTime = QTime(21, 30);
     },
     {"DESCRIPTION:first\r\nTRIGGER:-P1DT2H30M", "ACTION:AUDIO\r\nTRIGGER:-PT5M", "SUMMARY:Купить хлеб\r"},
     {"TRIGGER:-PT15M"}},
    {"AnAlarmAtAMomentStaysAtAMoment",
     QStringList(foreignTodo).replaceInStrings("TRIGGER:-PT15M", "TRIGGER;VALUE=DATE-TIME:20270304T060000Z"),
     [](Event& e) { e.shedTime = QTime(10, 0); },
     {"TRIGGER;VALUE=DATE-TIME:20270304T070000Z", "TRIGGER:-PT5M"},
     {"T060000Z"}},
    {"UndoneRemovesTheCompletion",
     QStringList(foreignTodo)
         .replaceInStrings("STATUS:NEEDS-ACTION", "STATUS:COMPLETED\r\nCOMPLETED:20270304T100000Z\r\n"
                                                  "PERCENT-COMPLETE:100"),
     [](Event& e) { e.done = false; },
     {"STATUS:NEEDS-ACTION"},
     {"COMPLETED:", "PERCENT-COMPLETE"}},
    {"ATodoMadeABirthdayTakesItsOtherProperties",
     foreignTodo,
     [](Event& e) {
         e.job = QStringLiteral("Оля");
         e.period = QStringLiteral("День рождения");
     },
     {"BEGIN:VEVENT", "SUMMARY:День рождения: Оля", "RRULE:FREQ=YEARLY", "ATTENDEE;CN=Оля:mailto:olya@example.org",
      "CATEGORIES:Дом,Покупки", "SEQUENCE:5", "DTSTART;VALUE=DATE:20270305", "END:VEVENT"},
     {"BEGIN:VTODO", "DUE", "STATUS:NEEDS-ACTION"}},
};

class ObjectMergeCases : public testing::TestWithParam<MergeCase>
{
protected:
    ZoneScope zone{"Europe/Moscow"};
    FixedClock clock{QDateTime(QDate(2027, 3, 10), QTime(12, 0), QTimeZone::utc())};
};

// Merged as the sync merges it: the diary's event is the import of theirs, edited.
QByteArray mergedAfter(const QByteArray& theirs, const std::function<void(Event&)>& edit)
{
    Event now = IcsImport::read(theirs, diaryId).front();
    edit(now);
    const QByteArray ours = IcsComponents(diaryId).calendarOf(DiaryEvents::component(now, now.uid));
    return ObjectMerge::merge(theirs, ours, now);
}

TEST_P(ObjectMergeCases, ChangesOnlyWhatTheDiaryChanged)
{
    const MergeCase& c = GetParam();
    QString text = QString::fromUtf8(mergedAfter(calendarOf(c.theirs), c.edit));
    text.replace(QStringLiteral("\r\n "), QString());
    for (const QString& line : c.present)
        EXPECT_TRUE(text.contains(line)) << line.toStdString() << " missing from\n" << text.toStdString();
    for (const QString& line : c.absent)
        EXPECT_FALSE(text.contains(line)) << line.toStdString() << " left in\n" << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("BEGIN:VTODO")) + text.count(QStringLiteral("BEGIN:VEVENT")),
              c.theirs.count(QStringLiteral("BEGIN:VTODO")) + c.theirs.count(QStringLiteral("BEGIN:VEVENT")));
    // What the diary writes reads back as the event it wrote.
    Event now = IcsImport::read(calendarOf(c.theirs), diaryId).front();
    c.edit(now);
    const Event back = DiaryEvents::asStored(IcsImport::read(text.toUtf8(), diaryId).front());
    EXPECT_EQ(back.job, now.job);
    EXPECT_EQ(back.date, now.date);
    EXPECT_EQ(back.time, now.time);
    EXPECT_EQ(back.period, now.period);
    EXPECT_EQ(back.done, now.done);
}

INSTANTIATE_TEST_SUITE_P(ObjectMerge, ObjectMergeCases, testing::ValuesIn(mergeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A new text changes the summary and the stamps; every other line of the object goes back as the server gave it,
// folds and all.
TEST(ObjectMerge, ATitleEditLeavesEveryOtherLineAsItWas)
{
    const ZoneScope zone("Europe/Moscow");
    const FixedClock clock(QDateTime(QDate(2027, 3, 10), QTime(12, 0), QTimeZone::utc()));
    const QByteArray folded = "DESCRIPTION:Длинное примечание, которое телефон переносит на следующую строку по с\r\n"
                              " емьдесят пять октетов\r\n";
    for (const QStringList& lines : {series, foreignTodo, recurringTodo, newYork}) {
        QByteArray theirs = calendarOf(lines);
        theirs.replace("END:VCALENDAR", "X-WR-CALNAME:Личное\r\nEND:VCALENDAR");
        const qsizetype end =
            theirs.indexOf("END:VEVENT") >= 0 ? theirs.indexOf("END:VEVENT") : theirs.indexOf("END:VTODO");
        theirs.insert(theirs.lastIndexOf("\r\nSUMMARY", end) + 2, folded);
        theirs.replace("DESCRIPTION:в булочной\r\n", "");
        const QByteArray merged = mergedAfter(theirs, [](Event& e) { e.job = QStringLiteral("Новое название"); });
        qsizetype from = 0;
        for (const QByteArray& line : theirs.split('\n')) {
            if (line.startsWith("SUMMARY") || line.startsWith("DTSTAMP") || line.startsWith("SEQUENCE"))
                continue;
            const qsizetype at = merged.indexOf(line + '\n', from);
            EXPECT_GE(at, 0) << line.constData() << " missing or out of order in\n" << merged.constData();
            if (at >= 0 && line.startsWith("BEGIN:V") && !line.startsWith("BEGIN:VCALENDAR"))
                from = at;
        }
    }
}

// The diary turned a to-do's reminder off at an earlier sync, which took the first alarm and left the phone's second
// first. The digest of the event as of that sync tells the diary did not turn it off again with a new title.
TEST(ObjectMerge, WhatTheObjectCantSayIsWeighedByTheDigestOfTheLastSync)
{
    const ZoneScope zone("Europe/Moscow");
    const FixedClock clock(QDateTime(QDate(2027, 3, 10), QTime(12, 0), QTimeZone::utc()));
    QStringList lines = foreignTodo;
    const auto alarm = lines.indexOf(QStringLiteral("BEGIN:VALARM"));
    lines.remove(alarm, lines.indexOf(QStringLiteral("END:VALARM")) - alarm + 1);
    const QByteArray theirs = calendarOf(lines);
    Event then = IcsImport::read(theirs, diaryId).front();
    ASSERT_TRUE(then.napom);
    then.napom = false;
    Event now = then;
    now.job = QStringLiteral("Купить хлеб и сыр");
    const QByteArray ours = IcsComponents(diaryId).calendarOf(DiaryEvents::component(now, now.uid));
    const QByteArray merged = ObjectMerge::merge(theirs, ours, now, DiaryEvents::digest(then));
    EXPECT_TRUE(merged.contains("TRIGGER:-PT5M")) << merged.constData();
    EXPECT_TRUE(merged.contains("SUMMARY:Купить хлеб и сыр")) << merged.constData();
    EXPECT_FALSE(ObjectMerge::merge(theirs, ours, now).contains("TRIGGER:-PT5M"));
}

TEST(ObjectMerge, WithNothingOfTheirsToKeepGivesOurs)
{
    Event now;
    now.job = QStringLiteral("Купить хлеб");
    now.date = QDate(2027, 3, 5);
    const QByteArray ours = IcsComponents(diaryId).calendarOf(DiaryEvents::component(now, {}));
    for (const QByteArray& theirs :
         {QByteArray(), QByteArray("not a calendar"), calendarOf({"BEGIN:VJOURNAL", "UID:x", "END:VJOURNAL"})})
        EXPECT_EQ(ObjectMerge::merge(theirs, ours, now), ours) << theirs.constData();
}

} // namespace
