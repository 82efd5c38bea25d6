#include "sync/Synchronizer.h"

#include "base/DateSerial.h"
#include "diary/DiaryBackend.h"
#include "diary/IcsUid.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/Snapshot.h"
#include "support/CalDavServer.h"
#include "support/ServerDatabase.h"
#include "Phone.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

const QString diaryId = QStringLiteral("5b0e7a14-server-sync-tests");

struct Seen
{
    bool done = false;
    QDate date;
    int count = 0;
};

// The diary's events by their text, as the server holds them.
std::map<QString, Seen> eventsOf(Connection& diary)
{
    std::map<QString, Seen> seen;
    const auto rows = diary.select(QStringLiteral("SELECT job, vip, date_isp FROM job"), {});
    for (int row = 0; row < rows->rowCount(); ++row) {
        Seen& event = seen[rows->value(row, 0).toString()];
        event.done = rows->value(row, 1).toBool();
        event.date = rows->value(row, 2).isNull() ? QDate() : DateSerial::toDate(rows->value(row, 2).toDouble());
        ++event.count;
    }
    return seen;
}

// Both ways with the diary on the PostgreSQL server, whose batches and types the sync's state and events go
// through there. The CalDAV server is the test's own: ctest's shared ones come with the mark that the PostgreSQL
// server's excludes.
TEST(ServerDiarySync, EventsGoBothWaysAndAConflictKeepsBoth)
{
    ServerDatabase database;
    DiaryBackend::create(database.connectionString());
    const std::unique_ptr<CalDavServer> server = CalDavServer::startOwn(CalDavServer::Kind::Radicale);
    const QUrl calendar = server->makeCalendar();
    const Phone phone(calendar, server->user(), server->password());
    Connection diary(DiaryBackend::open(database.connectionString()), JobTable::schema());
    int requests = 0;
    const auto sync = [&] {
        CalDavClient client({calendar, server->user(), server->password(), {}});
        const CalendarSync::Outcome outcome = Synchronizer(diary, client, diaryId).run(calendar);
        requests = client.requestsSent();
        EXPECT_TRUE(outcome.error.isEmpty()) << outcome.error.toStdString();
        return outcome;
    };
    const auto idOf = [&](const QString& job) {
        const auto rows = diary.select(QStringLiteral("SELECT id_job FROM job WHERE job = ?"), {job});
        return rows->rowCount() == 1 ? rows->value(0, 0).toLongLong() : 0;
    };

    database.execute(QStringLiteral("INSERT INTO job (job, period, date_isp) VALUES (?, ?, ?)"),
                     {QStringLiteral("Сдать отчёт"), QStringLiteral("ежемесячное"), QDate(2027, 3, 6)});
    database.execute(QStringLiteral("INSERT INTO job (job, period, date_isp) VALUES (?, ?, ?)"),
                     {QStringLiteral("Иван"), QStringLiteral("День рождения"), QDate(1980, 3, 10)});
    phone.run({"add-todo", "t1", "Купить хлеб", "20270305"});
    EXPECT_EQ(sync().diaryChanges, 1);
    auto seen = eventsOf(diary);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen["Купить хлеб"].date, QDate(2027, 3, 5));
    auto onPhone = phone.objects();
    EXPECT_EQ(onPhone.size(), 3u);
    EXPECT_EQ(onPhone["Сдать отчёт"].kind, "VTODO");
    EXPECT_EQ(onPhone["День рождения: Иван"].kind, "VEVENT");

    phone.run({"complete", "t1"});
    database.execute(QStringLiteral("DELETE FROM job WHERE job = ?"), {QStringLiteral("Иван")});
    phone.run({"edit", IcsUid::of(idOf(QStringLiteral("Сдать отчёт")), diaryId), "Сдать отчёт в пятницу"});
    database.execute(QStringLiteral("UPDATE job SET job = ? WHERE job = ?"),
                     {QStringLiteral("Сдать отчёт в среду"), QStringLiteral("Сдать отчёт")});
    const CalendarSync::Outcome outcome = sync();
    EXPECT_EQ(outcome.conflicts, 1);
    const QString copy = QStringLiteral("Сдать отчёт в среду") + Synchronizer::conflictMark();
    seen = eventsOf(diary);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen["Купить хлеб"].done);
    EXPECT_EQ(seen["Сдать отчёт в пятницу"].count, 1);
    EXPECT_EQ(seen[copy].count, 1);
    onPhone = phone.objects();
    EXPECT_EQ(onPhone.size(), 3u) << "the birthday deleted in the diary is gone from the phone";
    EXPECT_EQ(onPhone["Купить хлеб"].status, "COMPLETED");
    EXPECT_EQ(onPhone["Сдать отчёт в пятницу"].count, 1);
    EXPECT_EQ(onPhone[copy].count, 1);

    EXPECT_EQ(sync().diaryChanges, 0);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(eventsOf(diary).size(), 3u);
}

} // namespace
