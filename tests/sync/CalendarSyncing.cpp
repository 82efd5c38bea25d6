#include "sync/Synchronizer.h"

#include "base/DateSerial.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/Snapshot.h"
#include "diary/EventUids.h"
#include "diary/IcsUid.h"
#include "databind/RecordSet.h"
#include "export/IcsExport.h"
#include "support/CalDavServer.h"
#include "support/TempDiary.h"
#include "support/ZoneScope.h"
#include "Phone.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace {

using Kind = CalDavServer::Kind;
using Outcome = CalendarSync::Outcome;

// An event of the diary as the test looks at it.
struct Seen
{
    bool done = false;
    QDate date;
    int count = 0;
};

class CalendarSyncing : public testing::TestWithParam<Kind>
{
protected:
    void SetUp() override { use(std::make_unique<CalDavServer>(GetParam())); }

    void use(std::unique_ptr<CalDavServer> owned)
    {
        server = std::move(owned);
        calendar = server->makeCalendar();
    }

    // One sync with a client of its own; requests, when given, counts what it sent.
    Outcome sync(int* requests = nullptr, const Synchronizer::Progress& progress = {})
    {
        CalDavClient client({calendar, server->user(), server->password(), {}});
        const Outcome outcome = Synchronizer(connection(), client, diaryId).run(calendar, progress);
        if (requests)
            *requests = client.requestsSent();
        return outcome;
    }

    Connection& connection()
    {
        if (!m_connection)
            m_connection =
                std::make_unique<Connection>(DiaryBackend::open(diary.connectionString()), JobTable::schema());
        return *m_connection;
    }

    // The diary's events by their text.
    std::map<QString, Seen> events()
    {
        std::map<QString, Seen> seen;
        const auto rows = connection().select(QStringLiteral("SELECT job, vip, date_isp FROM job"), {});
        for (int row = 0; row < rows->rowCount(); ++row) {
            Seen& event = seen[rows->value(row, 0).toString()];
            event.done = rows->value(row, 1).toBool();
            event.date = rows->value(row, 2).isNull() ? QDate() : DateSerial::toDate(rows->value(row, 2).toDouble());
            ++event.count;
        }
        return seen;
    }

    qint64 idOf(const QString& job)
    {
        const auto rows = connection().select(QStringLiteral("SELECT id_job FROM job WHERE job = ?"), {job});
        return rows->rowCount() == 1 ? rows->value(0, 0).toLongLong() : 0;
    }

    // Deleted as another program would, beside the sync's state.
    void remove(const QString& job)
    {
        connection().writeBatch({}, [&](Backend::Batch& batch) {
            batch.run(QStringLiteral("DELETE FROM job WHERE id_job = ?"), {idOf(job)});
        });
    }

    QJsonArray phone(const QStringList& arguments) const { return thePhone().run(arguments); }
    std::map<QString, Phone::Item> onPhone() const { return thePhone().objects(); }
    Phone thePhone() const { return Phone(calendar, server->user(), server->password()); }

    void expectCompleted(const Outcome& outcome)
    {
        EXPECT_TRUE(outcome.error.isEmpty()) << outcome.error.toStdString();
        EXPECT_FALSE(outcome.cancelled);
    }

    std::unique_ptr<CalDavServer> server;
    QUrl calendar;
    TempDiary diary;
    // Cyrus refuses an object whose UID another calendar of the same user holds: every test's diary is another, so
    // that its events' UIDs are its own.
    const QString diaryId = QStringLiteral("sync-tests-") + QUuid::createUuid().toString(QUuid::Id128);

private:
    std::unique_ptr<Connection> m_connection;
};

std::string kindName(const testing::TestParamInfo<Kind>& info)
{
    return CalDavServer::nameOf(info.param).toStdString();
}

const QString copyOf(const QString& job)
{
    return job + Synchronizer::conflictMark();
}

TEST_P(CalendarSyncing, WhatThePhoneMakesChangesCompletesAndDeletesReachesTheDiary)
{
    phone({"add-todo", "t1", "Купить хлеб", "20270305"});
    phone({"add-event", "e1", "Встреча", "20270306T090000Z", "20270306T100000Z"});
    Outcome outcome = sync();
    expectCompleted(outcome);
    EXPECT_EQ(outcome.diaryChanges, 2);
    auto seen = events();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen["Купить хлеб"].date, QDate(2027, 3, 5));
    EXPECT_EQ(seen["Встреча"].date, QDate(2027, 3, 6));

    phone({"edit", "t1", "Купить хлеб и молоко"});
    phone({"complete", "t1"});
    phone({"delete", "e1"});
    outcome = sync();
    expectCompleted(outcome);
    EXPECT_EQ(outcome.diaryChanges, 2);
    seen = events();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen["Купить хлеб и молоко"].done);
    // Nothing of the diary's went back as new: the phone still has its one object.
    EXPECT_EQ(onPhone().size(), 1u);
}

TEST_P(CalendarSyncing, WhatTheDiaryMakesChangesAndDeletesReachesThePhone)
{
    diary.addRow({{"job", "Сдать отчёт"}, {"date_isp", QDate(2027, 3, 6)}, {"vip", false}});
    diary.addRow({{"job", "Иван"}, {"period", "День рождения"}, {"date_isp", QDate(1980, 3, 10)}});
    diary.addRow({{"job", "Квартплата"}, {"period", "ежемесячное"}, {"date_isp", QDate(2027, 3, 10)}});
    expectCompleted(sync());
    auto seen = onPhone();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen["Сдать отчёт"].kind, "VTODO");
    EXPECT_EQ(seen["День рождения: Иван"].kind, "VEVENT");

    diary.setValue(idOf("Сдать отчёт"), "vip", true);
    diary.setValue(idOf("Квартплата"), "job", "Квартплата и свет");
    remove("Иван");
    const Outcome outcome = sync();
    expectCompleted(outcome);
    EXPECT_EQ(outcome.diaryChanges, 0);
    seen = onPhone();
    ASSERT_EQ(seen.size(), 2u) << "the deletion reached the phone";
    EXPECT_EQ(seen["Сдать отчёт"].status, "COMPLETED");
    EXPECT_EQ(seen["Квартплата и свет"].count, 1);
    EXPECT_EQ(events().size(), 2u);
}

// A calendar's address typed without its closing slash still names the collection the new objects go into.
TEST_P(CalendarSyncing, ACalendarAddressWithoutItsClosingSlash)
{
    diary.addRow({{"job", "Сдать отчёт"}, {"date_isp", QDate(2027, 3, 6)}});
    const QUrl collection = std::exchange(calendar, calendar.adjusted(QUrl::StripTrailingSlash));
    expectCompleted(sync());
    calendar = collection;
    EXPECT_EQ(onPhone()["Сдать отчёт"].count, 1);
}

// The sync pointed at another calendar of the same account, the first one still holding the diary's events: the
// diary keeps its events and writes them to the new calendar.
TEST_P(CalendarSyncing, AnotherCalendarOfTheSameAccount)
{
    diary.addRow({{"job", "Сдать отчёт"}, {"date_isp", QDate(2027, 3, 6)}});
    expectCompleted(sync());
    if (server->kind() == Kind::Cyrus)
        GTEST_SKIP() << "Cyrus refuses (403, unique-scheduling-object-resource) an object whose UID another calendar "
                        "of the user holds, so the diary's events cannot be written to a second calendar";
    calendar = server->makeCalendar();
    expectCompleted(sync());
    EXPECT_EQ(events().size(), 1u);
    EXPECT_EQ(onPhone()["Сдать отчёт"].count, 1);
}

TEST_P(CalendarSyncing, BothSidesChangedKeepsBothAndCountsOneConflict)
{
    diary.addRow({{"job", "Позвонить"}, {"date_isp", QDate(2027, 3, 6)}});
    diary.addRow({{"job", "Одинаково"}, {"date_isp", QDate(2027, 3, 7)}});
    expectCompleted(sync());
    const QString uid = IcsUid::of(idOf("Позвонить"), diaryId);
    phone({"edit", uid, "Позвонить маме"});
    diary.setValue(idOf("Позвонить"), "job", "Позвонить папе");
    // Both made the same change: no conflict.
    phone({"edit", IcsUid::of(idOf("Одинаково"), diaryId), "Одинаково везде"});
    diary.setValue(idOf("Одинаково"), "job", "Одинаково везде");

    Outcome outcome = sync();
    expectCompleted(outcome);
    EXPECT_EQ(outcome.conflicts, 1);
    auto seen = events();
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen.count("Позвонить маме"), 1u);
    EXPECT_EQ(seen.count(copyOf("Позвонить папе")), 1u);
    EXPECT_EQ(seen.count("Одинаково везде"), 1u);
    const auto phoneSeen = onPhone();
    EXPECT_EQ(phoneSeen.size(), 3u);
    EXPECT_EQ(phoneSeen.count(copyOf("Позвонить папе")), 1u);

    outcome = sync();
    expectCompleted(outcome);
    EXPECT_EQ(outcome.conflicts, 0);
    EXPECT_EQ(outcome.diaryChanges, 0);
}

// An edit the user saves after the sync read the diary, before it applies the phone's change to the same event, is
// a change of the diary's too: both kept, not overwritten.
TEST_P(CalendarSyncing, AnEditSavedDuringTheSyncIsNotOverwritten)
{
    diary.addRow({{"job", "Позвонить"}, {"date_isp", QDate(2027, 3, 6)}});
    expectCompleted(sync());
    const qint64 id = idOf("Позвонить");
    phone({"edit", IcsUid::of(id, diaryId), "Позвонить маме"});
    bool edited = false;
    const Outcome outcome = sync(nullptr, [&](int, int) {
        if (!std::exchange(edited, true))
            diary.setValue(id, "job", "Позвонить папе");
    });
    expectCompleted(outcome);
    EXPECT_EQ(outcome.conflicts, 1);
    const auto seen = events();
    EXPECT_EQ(seen.count("Позвонить маме"), 1u);
    EXPECT_EQ(seen.count(copyOf("Позвонить папе")), 1u);
}

// A deletion on one side of an event changed on the other keeps the changed one, on both sides.
TEST_P(CalendarSyncing, ADeletionLosesToAChange)
{
    diary.addRow({{"job", "Удалён на телефоне"}, {"date_isp", QDate(2027, 3, 6)}});
    diary.addRow({{"job", "Удалён в дневнике"}, {"date_isp", QDate(2027, 3, 7)}});
    expectCompleted(sync());
    phone({"delete", IcsUid::of(idOf("Удалён на телефоне"), diaryId)});
    diary.setValue(idOf("Удалён на телефоне"), "job", "Изменён в дневнике");
    phone({"edit", IcsUid::of(idOf("Удалён в дневнике"), diaryId), "Изменён на телефоне"});
    remove("Удалён в дневнике");

    expectCompleted(sync());
    const auto seen = events();
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.count("Изменён в дневнике"), 1u);
    EXPECT_EQ(seen.count("Изменён на телефоне"), 1u);
    const auto phoneSeen = onPhone();
    EXPECT_EQ(phoneSeen.size(), 2u);
    EXPECT_EQ(phoneSeen.count("Изменён в дневнике"), 1u);
    EXPECT_EQ(phoneSeen.count("Изменён на телефоне"), 1u);
}

TEST_P(CalendarSyncing, AnEditOfTheDiaryKeepsAttendeesAndCategories)
{
    phone({"add-todo", "t2", "Собрание", "20270305", "olya@example.org", "Работа,Важное"});
    expectCompleted(sync());
    diary.setValue(idOf("Собрание"), "job", "Собрание в 10");
    expectCompleted(sync());
    const auto seen = onPhone();
    ASSERT_EQ(seen.count("Собрание в 10"), 1u);
    EXPECT_EQ(seen.at("Собрание в 10").attendees, QStringList{"mailto:olya@example.org"});
    EXPECT_EQ(seen.at("Собрание в 10").categories, (QStringList{"Работа", "Важное"}));
}

TEST_P(CalendarSyncing, NothingChangedCostsOneRequestAndChangesNothing)
{
    diary.addRow({{"job", "Сдать отчёт"}, {"date_isp", QDate(2027, 3, 6)}});
    phone({"add-todo", "t3", "С телефона", "20270305"});
    expectCompleted(sync());
    for (int again = 0; again < 2; ++again) {
        int requests = 0;
        const Outcome outcome = sync(&requests);
        expectCompleted(outcome);
        EXPECT_EQ(requests, 1);
        EXPECT_EQ(outcome.diaryChanges, 0);
    }
    EXPECT_EQ(events().size(), 2u);
    EXPECT_EQ(onPhone().size(), 2u);
}

// A calendar the user made with the diary's own export and put on the server is the diary's events at the first
// sync, not changes of another client's: the export writes a birthday's reminder window as an alarm, reminding or not.
TEST_P(CalendarSyncing, TheDiarysOwnExportOnTheServerIsRecognised)
{
    diary.addRow({{"job", "Иван"},
                  {"period", "День рождения"},
                  {"date_isp", QDate(1980, 3, 10)},
                  {"date_shed", QDate(1980, 3, 3)},
                  {"napom", false}});
    const QString path = diary.folder() + QStringLiteral("/export.ics");
    {
        RecordSet list(QStringLiteral("QJob"), connection());
        list.setSql({QStringLiteral("select * from job")});
        list.open();
        ASSERT_TRUE(IcsExport::write(list, path, EventUids(diaryId)));
    }
    QFile exported(path);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    CalDavClient client({calendar, server->user(), server->password(), {}});
    client.put(calendar.path() + QStringLiteral("exported.ics"), exported.readAll(), {});

    const Outcome outcome = sync();
    expectCompleted(outcome);
    EXPECT_EQ(outcome.conflicts, 0);
    EXPECT_EQ(outcome.diaryChanges, 0);
    EXPECT_EQ(events().size(), 1u);
    EXPECT_EQ(diary.value(idOf("Иван"), "napom").toBool(), false);
    EXPECT_EQ(onPhone().size(), 1u);
}

// The server stops in the middle of the first sync; the next one completes it with nothing lost or doubled.
TEST_P(CalendarSyncing, AServerGoneMidSyncLosesNothing)
{
    use(CalDavServer::startOwn(GetParam()));
    constexpr int count = 30;
    for (int i = 0; i < count; ++i)
        diary.addRow({{"job", QStringLiteral("Событие %1").arg(i)}, {"date_isp", QDate(2027, 3, 1).addDays(i)}});
    phone({"add-todo", "t4", "С телефона", "20270305"});
    bool paused = false;
    const Outcome stopped = sync(nullptr, [&](int done, int) {
        if (done == count / 2 && !paused) {
            paused = true;
            server->pause();
        }
    });
    EXPECT_TRUE(paused);
    EXPECT_FALSE(stopped.error.isEmpty());
    server->resume();
    expectCompleted(sync());
    const auto seen = onPhone();
    EXPECT_EQ(seen.size(), count + 1u);
    for (const auto& [summary, item] : seen)
        EXPECT_EQ(item.count, 1) << summary.toStdString();
    EXPECT_EQ(events().size(), count + 1u);
    int requests = 0;
    expectCompleted(sync(&requests));
    EXPECT_EQ(requests, 1);
}

// The window's sync: run on its own thread, told on the window's.
TEST_P(CalendarSyncing, InTheBackgroundTellsProgressAndOutcomeOnTheWindowsThread)
{
    phone({"add-todo", "t5", "С телефона", "20270305"});
    diary.addRow({{"job", "Из дневника"}, {"date_isp", QDate(2027, 3, 6)}});
    CalendarSync background(diary.connectionString(), diaryId);
    std::vector<Outcome> outcomes;
    int lastDone = -1, lastTotal = -1;
    QObject::connect(&background, &CalendarSync::progress, [&](int done, int total) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        lastDone = done;
        lastTotal = total;
    });
    QEventLoop waiting;
    QObject::connect(&background, &CalendarSync::finished, [&](const Outcome& outcome) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        outcomes.push_back(outcome);
        waiting.quit();
    });
    const CalDavClient::Account account{calendar, server->user(), server->password(), {}};
    for (std::size_t run = 1; run <= 2; ++run) {
        background.start(account, calendar);
        EXPECT_TRUE(background.running());
        QTimer::singleShot(60000, &waiting, &QEventLoop::quit);
        waiting.exec();
        ASSERT_EQ(outcomes.size(), run);
        EXPECT_FALSE(background.running());
        EXPECT_TRUE(outcomes.back().error.isEmpty()) << outcomes.back().error.toStdString();
        // The first fetches one object and sends one; the second has nothing to do.
        EXPECT_EQ(lastDone, run == 1 ? 2 : 0);
        EXPECT_EQ(lastTotal, run == 1 ? 2 : 0);
    }
    EXPECT_EQ(outcomes[0].diaryChanges, 1);
    EXPECT_EQ(outcomes[1].diaryChanges, 0);
    EXPECT_EQ(onPhone().size(), 2u);
}

// What Debian's own Python prints for a script of the tests.
QByteArray pythonOutput(const QStringList& arguments)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), arguments);
    EXPECT_TRUE(python.waitForFinished(120000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return python.readAllStandardOutput();
}

// Other clients' objects in the shapes they write them (corpus.py), put on the server by the phone and synced; then
// each edited in the diary, one kind of edit a sync: its text, its time, done. Whatever an edit does not touch stays
// on the server as it was, and so do the occurrences over three years, or after a new time their days
// (roundtrip.py).
TEST_P(CalendarSyncing, AnEditInTheDiaryKeepsWhatElseOtherClientsWrote)
{
    const ZoneScope zone("Europe/Moscow");
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString objects = folder.filePath(QStringLiteral("objects"));
    pythonOutput({QStringLiteral(CORPUS), objects});
    auto count = QDir(objects).entryList(QDir::Files).size();
    ASSERT_GE(count, 20);
    const QJsonArray refused = phone({"put", objects});
    // Cyrus stores a meeting only for its organizer or an attendee it knows as this user, and the corpus's meetings
    // are other people's.
    if (GetParam() != Kind::Cyrus) {
        EXPECT_TRUE(refused.isEmpty()) << QJsonDocument(refused).toJson().toStdString();
    }
    EXPECT_LE(refused.size(), 5);
    count -= refused.size();
    const Outcome first = sync();
    expectCompleted(first);
    EXPECT_EQ(first.diaryChanges, count);

    struct Step
    {
        const char* change;
        std::function<void(qint64 id, const QString& job, const QVariant& time, bool done)> edit;
    };
    const Step steps[] = {
        {"text",
         [&](qint64 id, const QString& job, const QVariant&, bool) { diary.setValue(id, "job", job + " (правка)"); }},
        {"time",
         [&](qint64 id, const QString&, const QVariant& time, bool) {
             if (!time.isNull())
                 diary.setValue(id, "time_isp", DateSerial::toTime(time.toDouble()).addSecs(3600));
         }},
        {"done", [&](qint64 id, const QString&, const QVariant&, bool done) { diary.setValue(id, "vip", !done); }},
    };
    for (const Step& step : steps) {
        const QString before = folder.filePath(QStringLiteral("before.json"));
        const QString after = folder.filePath(QStringLiteral("after.json"));
        const auto save = [&](const QString& path) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(thePhone().output({QStringLiteral("dump")}));
        };
        save(before);
        const auto rows = connection().select(QStringLiteral("SELECT id_job, job, time_isp, vip FROM job"), {});
        for (int row = 0; row < rows->rowCount(); ++row)
            step.edit(rows->value(row, 0).toLongLong(), rows->value(row, 1).toString(), rows->value(row, 2),
                      rows->value(row, 3).toBool());
        const Outcome outcome = sync();
        expectCompleted(outcome);
        EXPECT_EQ(outcome.conflicts, 0);
        save(after);
        const QJsonArray problems =
            QJsonDocument::fromJson(pythonOutput({QStringLiteral(ROUNDTRIP), step.change, before, after})).array();
        EXPECT_TRUE(problems.isEmpty()) << "after a change of " << step.change << ":\n"
                                        << QJsonDocument(problems).toJson().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, CalendarSyncing, testing::ValuesIn(CalDavServer::kinds()), kindName);

} // namespace
