#include "sync/ObjectMerge.h"

#include "export/IcsComponents.h"
#include "support/FixedClock.h"

#include <QStringList>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

const QString diaryId = QStringLiteral("/home/user/diary");

// A calendar of one component, as another client would have written it.
QByteArray calendarOf(const QStringList& lines)
{
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\n" + lines.join(QStringLiteral("\r\n")) +
            QStringLiteral("\r\nEND:VCALENDAR\r\n"))
        .toUtf8();
}

// The lines of a calendar's text, unfolded.
QStringList linesOf(const QByteArray& text)
{
    QString whole = QString::fromUtf8(text);
    whole.replace(QStringLiteral("\r\n "), QString());
    return whole.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

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
    "X-PHONE-COLOR:red",
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

const QStringList foreignEvent = {
    "BEGIN:VEVENT",
    "UID:phone-2",
    "DTSTAMP:20270101T000000Z",
    "SUMMARY:Встреча",
    "DTSTART:20270305T090000Z",
    "DTEND:20270305T103000Z",
    "ATTENDEE:mailto:boss@example.org",
    "LOCATION:Офис",
    "END:VEVENT",
};

IcsComponents::Row todoRow(const QString& job)
{
    IcsComponents::Row row;
    row.uid = QStringLiteral("phone-1");
    row.job = job;
    row.date = QDate(2027, 3, 5);
    return row;
}

struct MergeCase
{
    const char* name;
    QStringList theirs;
    IcsComponents::Row ours;
    bool diaryReminds;
    QStringList present;
    QStringList absent;
};

void PrintTo(const MergeCase& c, std::ostream* out)
{
    *out << c.name;
}

const MergeCase mergeCases[] = {
    {"SummaryEditedKeepsAttendeesCategoriesAndOtherProperties",
     foreignTodo,
     [] {
         auto row = todoRow("Купить хлеб и молоко");
         row.note = QStringLiteral("в булочной");
         return row;
     }(),
     true,
     {"SUMMARY:Купить хлеб и молоко", "ATTENDEE;CN=Оля:mailto:olya@example.org", "CATEGORIES:Дом\r\nCATEGORIES:Покупки",
      "X-PHONE-COLOR:red", "PRIORITY:1", "SEQUENCE:5", "UID:phone-1", "DESCRIPTION:first", "ACTION:AUDIO",
      "LAST-MODIFIED:20270310T120000Z"},
     {"SUMMARY:Купить хлеб\r", "SEQUENCE:4"}},
    {"NoteClearedAndDoneSetsCompletion",
     foreignTodo,
     [] {
         auto row = todoRow("Купить хлеб");
         row.done = true;
         return row;
     }(),
     true,
     {"STATUS:COMPLETED", "COMPLETED:20270310T120000Z", "ATTENDEE;CN=Оля:mailto:olya@example.org"},
     {"DESCRIPTION:в булочной", "STATUS:NEEDS-ACTION"}},
    {"ReminderTurnedOffRemovesTheFirstAlarmOnly",
     foreignTodo,
     todoRow("Купить хлеб"),
     false,
     {"ACTION:AUDIO", "TRIGGER:-PT5M"},
     {"DESCRIPTION:first", "TRIGGER:-PT15M"}},
    {"UndoneRemovesTheCompletion",
     QStringList(foreignTodo)
         .replaceInStrings("STATUS:NEEDS-ACTION", "STATUS:COMPLETED\r\nCOMPLETED:20270304T100000Z\r\n"
                                                  "PERCENT-COMPLETE:100"),
     todoRow("Купить хлеб"),
     true,
     {"STATUS:NEEDS-ACTION"},
     {"COMPLETED:", "PERCENT-COMPLETE"}},
    {"AnEventStaysAnEventMovedWithItsLength",
     foreignEvent,
     [] {
         IcsComponents::Row row;
         row.uid = QStringLiteral("phone-2");
         row.job = QStringLiteral("Встреча перенесена");
         row.date = QDate(2027, 3, 7);
         return row;
     }(),
     false,
     {"BEGIN:VEVENT", "SUMMARY:Встреча перенесена", "DTSTART;VALUE=DATE:20270307", "DURATION:PT1H30M",
      "ATTENDEE:mailto:boss@example.org", "LOCATION:Офис"},
     {"BEGIN:VTODO", "DTEND", "DUE", "STATUS"}},
    {"ATodoMadeABirthdayTakesItsOtherProperties",
     foreignTodo,
     [] {
         auto row = todoRow("Оля");
         row.period = QStringLiteral("День рождения");
         return row;
     }(),
     false,
     {"BEGIN:VEVENT", "SUMMARY:День рождения: Оля", "RRULE:FREQ=YEARLY", "ATTENDEE;CN=Оля:mailto:olya@example.org",
      "CATEGORIES:Дом\r\nCATEGORIES:Покупки", "SEQUENCE:5"},
     {"BEGIN:VTODO", "DUE", "STATUS:NEEDS-ACTION"}},
};

class ObjectMergeCases : public testing::TestWithParam<MergeCase>
{
protected:
    FixedClock clock{QDateTime(QDate(2027, 3, 10), QTime(12, 0), QTimeZone::utc())};
};

TEST_P(ObjectMergeCases, ChangesOnlyWhatTheDiaryOwns)
{
    const MergeCase& c = GetParam();
    const IcsComponents components(diaryId);
    const QStringList merged =
        linesOf(ObjectMerge::merge(calendarOf(c.theirs), components.calendarOf(c.ours), c.diaryReminds));
    const QString text = merged.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    for (const QString& line : c.present)
        EXPECT_TRUE(text.contains(line)) << line.toStdString() << " missing from\n" << text.toStdString();
    for (const QString& line : c.absent)
        EXPECT_FALSE(text.contains(line)) << line.toStdString() << " left in\n" << text.toStdString();
    EXPECT_EQ(merged.count(QStringLiteral("BEGIN:VTODO")) + merged.count(QStringLiteral("BEGIN:VEVENT")), 1);
}

INSTANTIATE_TEST_SUITE_P(ObjectMerge, ObjectMergeCases, testing::ValuesIn(mergeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ObjectMerge, WithNothingOfTheirsToKeepGivesOurs)
{
    const QByteArray ours = IcsComponents(diaryId).calendarOf(todoRow("Купить хлеб"));
    for (const QByteArray& theirs :
         {QByteArray(), QByteArray("not a calendar"), calendarOf({"BEGIN:VJOURNAL", "UID:x", "END:VJOURNAL"})})
        EXPECT_EQ(ObjectMerge::merge(theirs, ours, false), ours) << theirs.constData();
}

} // namespace
