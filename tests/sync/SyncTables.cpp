// The sync's side of the diary, alike in the file and on the server: events written and read back through a batch
// as the sync maps them, the state of each object and the collection's token, and the UIDs kept from elsewhere.
#include "../engine/DiaryFile.h"
#include "diary/EventUids.h"
#include "sync/DiaryEvents.h"
#include "sync/SyncState.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace {

using Event = DiaryEvents::Event;

const QString collection = QStringLiteral("https://calendar.example/user/diary");
const QString diaryId = QStringLiteral("5e0c9a7b-sync-tables");

// Every column the sync writes set, and every one left empty.
Event everySet()
{
    Event event;
    event.job = QStringLiteral("Позвонить маме «сегодня»");
    event.period = QStringLiteral("Еженедельно");
    event.date = QDate(2026, 12, 8);
    event.time = QTime(18, 45, 30);
    event.done = true;
    event.note = QStringLiteral("Примечание\nв две строки");
    event.napom = true;
    event.shedDate = QDate(2026, 12, 7);
    event.shedTime = QTime(9, 0);
    return event;
}

Event noneSet()
{
    Event event;
    event.job = QStringLiteral("Без даты");
    return event;
}

struct Case
{
    const char* name;
    Event written;
    Event changed;
};

std::ostream& operator<<(std::ostream& out, const Case& c)
{
    return out << c.name;
}

const Case cases[] = {
    {"EverySet", everySet(), noneSet()},
    {"NoneSet", noneSet(), everySet()},
};

class SyncTables : public testing::TestWithParam<std::tuple<DiaryKind, Case>>
{
protected:
    // The event as stored keeps what was written, its id aside.
    static void expectSame(const Event& stored, const Event& written)
    {
        Event expected = written;
        expected.id = stored.id;
        EXPECT_EQ(stored, expected) << stored.job.toStdString();
        EXPECT_EQ(DiaryEvents::digest(stored), DiaryEvents::digest(expected));
    }

    DiaryFile diary{std::get<0>(GetParam())};
    std::unique_ptr<Connection> connection = diary.connect();
};

} // namespace

TEST_P(SyncTables, EventsStateAndUidsRoundTrip)
{
    const Case& c = std::get<1>(GetParam());
    EventUids::prepare(*connection);
    qint64 id = 0;
    connection->writeBatch("4f1d2c3b-0000-4000-8000-000000000001", [&](Backend::Batch& batch) {
        SyncState::prepare(batch);
        const Event stored = DiaryEvents::insert(batch, c.written);
        ASSERT_TRUE(stored.id);
        id = *stored.id;
        expectSame(stored, c.written);
        Event changed = c.changed;
        changed.id = id;
        expectSame(DiaryEvents::update(batch, changed), c.changed);
        ASSERT_EQ(DiaryEvents::all(batch).size(), 1U);
        expectSame(DiaryEvents::all(batch).front(), c.changed);

        SyncState::store(batch, collection, {id, QStringLiteral("/user/diary/a.ics"), "\"1\"", "d1"}, "BEGIN:A");
        SyncState::store(batch, collection, {id, QStringLiteral("/user/diary/b.ics"), "\"2\"", "d2"}, "BEGIN:B");
        SyncState::storeToken(batch, collection, "token-1");
        SyncState::storeToken(batch, collection, "token-2");
        EventUids::read(batch, diaryId).keep(batch, id, QStringLiteral("phone-uid@example"));
    });

    connection->writeBatch("4f1d2c3b-0000-4000-8000-000000000002", [&](Backend::Batch& batch) {
        EXPECT_EQ(SyncState::token(batch, collection), "token-2");
        EXPECT_EQ(SyncState::token(batch, collection + u'/'), QByteArray());
        const std::vector<SyncState::Object> objects = SyncState::objects(batch, collection);
        ASSERT_EQ(objects.size(), 1U);
        EXPECT_EQ(objects.front().id, id);
        EXPECT_EQ(objects.front().href, QStringLiteral("/user/diary/b.ics"));
        EXPECT_EQ(objects.front().etag, "\"2\"");
        EXPECT_EQ(objects.front().digest, "d2");
        EXPECT_EQ(SyncState::text(batch, collection, id), "BEGIN:B");
        EXPECT_EQ(EventUids::read(batch, diaryId).eventOf(QStringLiteral("phone-uid@example")), id);

        SyncState::remove(batch, collection, id);
        DiaryEvents::remove(batch, id);
        EXPECT_TRUE(SyncState::objects(batch, collection).empty());
        EXPECT_EQ(DiaryEvents::read(batch, id), std::nullopt);
    });
}

INSTANTIATE_TEST_SUITE_P(Diaries, SyncTables,
                         testing::Combine(testing::Values(DiaryKind::File, DiaryKind::Server),
                                          testing::ValuesIn(cases)),
                         [](const testing::TestParamInfo<std::tuple<DiaryKind, Case>>& info) {
                             return (std::get<0>(info.param) == DiaryKind::File ? std::string("File")
                                                                                : std::string("Server")) +
                                    std::get<1>(info.param).name;
                         });
