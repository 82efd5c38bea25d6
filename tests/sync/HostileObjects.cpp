#include "sync/Synchronizer.h"

#include "diary/DiaryBackend.h"
#include "diary/IcsUid.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/Snapshot.h"
#include "support/PlainDavServer.h"
#include "support/TempDiary.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

using Outcome = CalendarSync::Outcome;

const QString diaryId = QStringLiteral("5b0e7a10-hostile-tests");

QByteArray todo(const QByteArray& uid, const QByteArray& summary, const QByteArray& more = {},
                const QByteArray& due = "DUE;VALUE=DATE:20270301\r\n")
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Chronoteka tests//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
           "\r\nDTSTAMP:20260101T000000Z\r\n" + due + "SUMMARY:" + summary + "\r\n" + more +
           "END:VTODO\r\nEND:VCALENDAR\r\n";
}

// A description as long as size, folded as calendars write it: text repeated over and over, which gzip packs some
// 300 times over.
QByteArray description(qsizetype size)
{
    const QByteArray sentence = "Long description of the meeting, repeated. ";
    QByteArray text;
    text.reserve(size + size / 70 * 3);
    text += "DESCRIPTION:";
    qsizetype written = 0;
    while (written < size) {
        const QByteArray piece = sentence.left(std::min<qsizetype>(sentence.size(), size - written));
        text += piece;
        written += piece.size();
    }
    QByteArray folded;
    folded.reserve(text.size() + text.size() / 74 * 3 + 2);
    for (qsizetype from = 0; from < text.size(); from += 74)
        folded += (from ? "\r\n " : "") + text.mid(from, 74);
    return folded + "\r\n";
}

class HostileObjects : public testing::Test
{
protected:
    Outcome sync()
    {
        CalDavClient client({server.calendarUrl(), {}, {}, {}});
        return Synchronizer(connection(), client, diaryId, &memory).run(server.calendarUrl());
    }

    Connection& connection()
    {
        if (!m_connection)
            m_connection =
                std::make_unique<Connection>(DiaryBackend::open(diary.connectionString()), JobTable::schema());
        return *m_connection;
    }

    // The diary's events: their text and the length of their note.
    std::map<QString, qsizetype> events()
    {
        std::map<QString, qsizetype> seen;
        const auto rows = connection().select(QStringLiteral("SELECT job, other FROM job"), {});
        for (int row = 0; row < rows->rowCount(); ++row)
            seen[rows->value(row, 0).toString()] = rows->value(row, 1).toString().size();
        return seen;
    }

    qint64 idOf(const QString& job)
    {
        const auto rows = connection().select(QStringLiteral("SELECT id_job FROM job WHERE job = ?"), {job});
        return rows->rowCount() == 1 ? rows->value(0, 0).toLongLong() : 0;
    }

    static void expectCompleted(const Outcome& outcome)
    {
        EXPECT_TRUE(outcome.error.isEmpty()) << outcome.error.toStdString();
        EXPECT_FALSE(outcome.cancelled);
    }

    PlainDavServer server;
    TempDiary diary;
    Synchronizer::Memory memory;

private:
    std::unique_ptr<Connection> m_connection;
};

struct Hostile
{
    const char* name;
    QByteArray object;
    // The summary the report names it by; empty when it comes over after all.
    const char* reportedAs;
};

void PrintTo(const Hostile& c, std::ostream* out)
{
    *out << c.name;
}

const Hostile hostile[] = {
    {"NotUtf8", todo("bad", "Испорченный \xff\xfe текст"), "Испорченный"},
    {"CharacterXmlForbids", todo("bad", "Управляющий \x01 символ"), "Управляющий"},
    {"BeginNeverClosed", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:bad\r\nSUMMARY:Незакрытое\r\n",
     "Незакрытое"},
    {"CountZero", todo("bad", "Ни разу", "RRULE:FREQ=DAILY;COUNT=0\r\n"), "Ни разу"},
    {"YearZero", todo("bad", "Нулевой год", {}, "DUE;VALUE=DATE:00000301\r\n"), "Нулевой год"},
    {"Year99999", todo("bad", "Далёкое будущее", {}, "DUE:999990301T100000Z\r\n"), "Далёкое будущее"},
    {"NeitherEventNorTodo",
     "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VJOURNAL\r\nUID:bad\r\nSUMMARY:Дневник\r\nEND:VJOURNAL\r\n"
     "END:VCALENDAR\r\n",
     "Дневник"},
    // Past Qt's guard against compressed bombs, which cut the answer short; it comes over whole.
    {"DescriptionOf11MbGzipped", todo("bad", "Длинное описание", description(10'900'000)), ""},
};

class HostileObject : public HostileObjects, public testing::WithParamInterface<Hostile>
{
};

// The good objects beside it arrive; the bad one is told once, by its href and summary, and the sync completes.
TEST_P(HostileObject, LeavesTheOthersToArriveAndIsToldOnce)
{
    const Hostile& c = GetParam();
    server.put(QStringLiteral("good-1.ics"), todo("good-1", "Первое хорошее"));
    server.put(QStringLiteral("good-2.ics"), todo("good-2", "Второе хорошее"));
    server.put(QStringLiteral("bad.ics"), c.object);
    server.put(QStringLiteral("good-3.ics"), todo("good-3", "Третье хорошее"));

    QElapsedTimer timer;
    timer.start();
    const Outcome outcome = sync();
    std::printf("%s: the sync took %.2f s\n", c.name, static_cast<double>(timer.elapsed()) / 1000);
    expectCompleted(outcome);
    const auto seen = events();
    for (const char* good : {"Первое хорошее", "Второе хорошее", "Третье хорошее"})
        EXPECT_EQ(seen.count(QString::fromUtf8(good)), 1u) << good;
    if (*c.reportedAs == '\0') {
        EXPECT_TRUE(outcome.problems.isEmpty()) << outcome.problems.join(u'\n').toStdString();
        ASSERT_EQ(seen.count(QStringLiteral("Длинное описание")), 1u);
        EXPECT_EQ(seen.at(QStringLiteral("Длинное описание")), 10'900'000);
        return;
    }
    EXPECT_EQ(seen.size(), 3u);
    ASSERT_EQ(outcome.problems.size(), 1) << outcome.problems.join(u'\n').toStdString();
    const QString told = outcome.problems.front();
    EXPECT_TRUE(told.startsWith(QStringLiteral("Синхронизация: объект «%1").arg(QString::fromUtf8(c.reportedAs))))
        << told.toStdString();
    EXPECT_TRUE(told.contains(server.href(QStringLiteral("bad.ics")))) << told.toStdString();

    // Not told, nor fetched, again while it stays as it is, when the collection changes around it.
    server.put(QStringLiteral("good-4.ics"), todo("good-4", "Четвёртое хорошее"));
    const int fetches = server.requests("REPORT");
    const Outcome again = sync();
    expectCompleted(again);
    EXPECT_TRUE(again.problems.isEmpty()) << again.problems.join(u'\n').toStdString();
    EXPECT_EQ(events().count(QStringLiteral("Четвёртое хорошее")), 1u);
    EXPECT_EQ(server.requests("REPORT"), fetches + 1);
}

INSTANTIATE_TEST_SUITE_P(Objects, HostileObject, testing::ValuesIn(hostile),
                         [](const auto& info) { return std::string(info.param.name); });

struct Refusal
{
    const char* name;
    int status;
    const char* reason;
};

void PrintTo(const Refusal& c, std::ostream* out)
{
    *out << c.name;
}

// 409: a server's own refusal of one object. 412 to a new object with nothing under its name: the UID is held there
// under another name.
const Refusal refusals[] = {
    {"Conflict", 409, "409"},
    {"UnsupportedMediaType", 415, "415"},
    {"UidHeldUnderAnotherName", 412, "под другим именем"},
};

class RefusedWrite : public HostileObjects, public testing::WithParamInterface<Refusal>
{
};

// The others go; the refused one is told once and not sent again until it changes.
TEST_P(RefusedWrite, LetsTheOthersGoAndIsNotSentAgainUntilItChanges)
{
    const Refusal& c = GetParam();
    diary.addRow({{"job", "Первое"}, {"date_isp", QDate(2027, 3, 6)}});
    diary.addRow({{"job", "Отказное"}, {"date_isp", QDate(2027, 3, 7)}});
    diary.addRow({{"job", "Третье"}, {"date_isp", QDate(2027, 3, 8)}});
    server.refuse("Отказное", c.status);

    const Outcome first = sync();
    expectCompleted(first);
    ASSERT_EQ(first.problems.size(), 1) << first.problems.join(u'\n').toStdString();
    EXPECT_TRUE(first.problems.front().startsWith(QStringLiteral("Синхронизация: «Отказное» не отправлено: ")))
        << first.problems.front().toStdString();
    EXPECT_TRUE(first.problems.front().contains(QString::fromUtf8(c.reason))) << first.problems.front().toStdString();
    const QStringList names = server.names();
    ASSERT_EQ(names.size(), 2) << names.join(u' ').toStdString();
    EXPECT_TRUE(server.object(names[0]).contains("Первое") || server.object(names[1]).contains("Первое"));
    EXPECT_TRUE(server.object(names[0]).contains("Третье") || server.object(names[1]).contains("Третье"));
    const int puts = server.requests("PUT");

    const Outcome second = sync();
    expectCompleted(second);
    EXPECT_TRUE(second.problems.isEmpty()) << second.problems.join(u'\n').toStdString();
    EXPECT_EQ(server.requests("PUT"), puts);

    diary.setValue(idOf(QStringLiteral("Отказное")), "date_isp", QDate(2027, 3, 9));
    const Outcome changed = sync();
    expectCompleted(changed);
    EXPECT_EQ(changed.problems.size(), 1);
    EXPECT_EQ(server.requests("PUT"), puts + 1);
}

INSTANTIATE_TEST_SUITE_P(Statuses, RefusedWrite, testing::ValuesIn(refusals),
                         [](const auto& info) { return std::string(info.param.name); });

// An object another client made unreadable is told by name; the diary's event and its edit stay, never written over
// what the other client made, and meet the object as a conflict once it reads again.
TEST_F(HostileObjects, AnObjectMadeUnreadableKeepsTheDiarysEditsForWhenItReadsAgain)
{
    diary.addRow({{"job", "Встреча"}, {"date_isp", QDate(2027, 3, 6)}});
    expectCompleted(sync());
    const QString uid = IcsUid::of(idOf(QStringLiteral("Встреча")), diaryId);
    ASSERT_EQ(server.names().size(), 1);
    const QString name = server.names().front();

    const QByteArray broken = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:" + uid.toUtf8() +
                              "\r\nSUMMARY:Встреча на телефоне\r\nDUE:20271345\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    server.put(name, broken);
    diary.setValue(idOf(QStringLiteral("Встреча")), "job", "Встреча перенесена");
    const Outcome told = sync();
    expectCompleted(told);
    ASSERT_EQ(told.problems.size(), 1) << told.problems.join(u'\n').toStdString();
    EXPECT_TRUE(told.problems.front().contains(QStringLiteral("«Встреча на телефоне»")))
        << told.problems.front().toStdString();
    EXPECT_TRUE(told.problems.front().contains(QStringLiteral("«Встреча перенесена»")))
        << told.problems.front().toStdString();
    EXPECT_EQ(server.object(name), broken);
    const int puts = server.requests("PUT");

    const Outcome quiet = sync();
    expectCompleted(quiet);
    EXPECT_TRUE(quiet.problems.isEmpty()) << quiet.problems.join(u'\n').toStdString();
    EXPECT_EQ(server.requests("PUT"), puts);
    EXPECT_EQ(events().count(QStringLiteral("Встреча перенесена")), 1u);

    server.put(name, todo(uid.toUtf8(), "Встреча у телефона"));
    const Outcome mended = sync();
    expectCompleted(mended);
    EXPECT_EQ(mended.conflicts, 1);
    const auto seen = events();
    EXPECT_EQ(seen.count(QStringLiteral("Встреча у телефона")), 1u);
    EXPECT_EQ(seen.count(QStringLiteral("Встреча перенесена") + Synchronizer::conflictMark()), 1u);
}

} // namespace
