// The UIDs of events in calendars: the diary's own, and the ones events from elsewhere came with, in the file and
// on the server alike.
#include "diary/EventUids.h"
#include "diary/IcsUid.h"
#include "engine/Connection.h"
#include "engine/DiaryFile.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

const QString diaryId = QStringLiteral("5d0f3c1e-8a2b-4c7d-9e6f-112233445566");
const QString phone = QStringLiteral("3A7F-phone@example.org");
const QString gone = QStringLiteral("gone@example.org");

class EventUidsTest : public testing::TestWithParam<DiaryKind>
{
protected:
    qint64 add(const char* job) { return diary.add({QString::fromUtf8(job), 2, {}, {}, false, {}}); }
    void keep(const std::vector<std::pair<qint64, QString>>& kept)
    {
        connection->writeBatch({}, [&](Backend::Batch& batch) {
            EventUids uids = EventUids::read(batch, diaryId);
            for (const auto& [id, uid] : kept)
                uids.keep(batch, id, uid);
        });
    }

    DiaryFile diary{GetParam()};
    std::unique_ptr<Connection> connection = diary.connect();
};

} // namespace

TEST_P(EventUidsTest, OwnUidsOfEventsThereAndUidsFromElsewhereFindTheirEvents)
{
    const qint64 own = add("Своё");
    const qint64 fromPhone = add("С телефона");
    const qint64 deleted = add("Удалённое");
    // Before any UID from elsewhere the diary has no table, and its own UIDs are known all the same.
    EXPECT_EQ(EventUids::read(*connection, diaryId).eventOf(IcsUid::of(own, diaryId)), own);

    EventUids::prepare(*connection);
    keep({{fromPhone, phone}, {deleted, gone}});
    diary.execute("DELETE FROM job WHERE id_job = ?", {deleted});

    const EventUids uids = EventUids::read(*connection, diaryId);
    const struct
    {
        QString uid;
        std::optional<qint64> event;
    } cases[] = {
        {IcsUid::of(own, diaryId), own},
        {phone, fromPhone},
        // An event keeps the UID it came with, not its own.
        {IcsUid::of(fromPhone, diaryId), std::nullopt},
        {gone, std::nullopt},
        {IcsUid::of(deleted, diaryId), std::nullopt},
        {IcsUid::of(own, QStringLiteral("another diary")), std::nullopt},
        {phone.toLower(), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(uids.eventOf(c.uid), c.event) << c.uid.toStdString();
    EXPECT_EQ(uids.uidOf(own), IcsUid::of(own, diaryId));
    EXPECT_EQ(uids.uidOf(fromPhone), phone);

    // A UID given again moves to its new event; a deleted event's row is no obstacle.
    const qint64 added = add("Новое");
    keep({{own, phone}, {added, gone}});
    const EventUids moved = EventUids::read(*connection, diaryId);
    EXPECT_EQ(moved.eventOf(phone), own);
    EXPECT_EQ(moved.eventOf(gone), added);
    EXPECT_EQ(moved.uidOf(fromPhone), IcsUid::of(fromPhone, diaryId));
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM chronoteka_event_uid").toInt(), 2);
}

INSTANTIATE_TEST_SUITE_P(Diaries, EventUidsTest, bothDiaryKinds(), diaryKindName);
