#include "sync/DiaryEvents.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Event = DiaryEvents::Event;

Event event()
{
    return {1,           {},   "Квартплата",      "ежемесячное", QDate(2027, 3, 10),
            QTime(9, 0), true, QDate(2027, 3, 9), QTime(18, 0),  false,
            "до 10-го"};
}

struct Change
{
    const char* name;
    std::function<void(Event&)> change;
    bool seen;
};

const Change changes[] = {
    {"Job", [](Event& e) { e.job += u'!'; }, true},
    {"Period", [](Event& e) { e.period = QStringLiteral("ежеквартальное"); }, true},
    {"Date", [](Event& e) { e.date = e.date.addDays(1); }, true},
    {"Time", [](Event& e) { e.time = e.time.addSecs(60); }, true},
    {"TimeCleared", [](Event& e) { e.time = QTime(); }, true},
    {"Done", [](Event& e) { e.done = true; }, true},
    {"Note", [](Event& e) { e.note.clear(); }, true},
    {"Reminder", [](Event& e) { e.napom = false; }, true},
    {"ReminderDate", [](Event& e) { e.shedDate = e.shedDate.addDays(-1); }, true},
    {"ReminderTime", [](Event& e) { e.shedTime = QTime(17, 0); }, true},
    // What the sync does not own, or the same periodicity typed in another case, is no change.
    {"Id", [](Event& e) { e.id = 2; }, false},
    {"Uid", [](Event& e) { e.uid = QStringLiteral("phone-1"); }, false},
    {"PeriodCase", [](Event& e) { e.period = QStringLiteral("Ежемесячное"); }, false},
    // Two fields' texts run together would give the same digest without a separator.
    {"TextMovedBetweenFields",
     [](Event& e) {
         e.job = QStringLiteral("Квартплата до");
         e.note = QStringLiteral(" 10-го");
     },
     true},
};

class EventDigestChanges : public testing::TestWithParam<Change>
{
};

TEST_P(EventDigestChanges, DiffersExactlyWhenWhatTheDiaryOwnsDoes)
{
    Event changed = event();
    GetParam().change(changed);
    EXPECT_EQ(DiaryEvents::digest(changed) != DiaryEvents::digest(event()), GetParam().seen);
}

// The digests of earlier syncs are kept in the diary's sync state: another digest of the same event would send every
// event of a synced diary again.
TEST(EventDigest, StaysWhatEarlierSyncsStored)
{
    Event bare;
    bare.job = QStringLiteral("Без дат");
    Event distant = event();
    distant.date = QDate(12000, 1, 1);
    const struct
    {
        const char* name;
        Event event;
        QByteArray digest;
    } cases[] = {
        {"full", event(), "394dd77c8ce7f864fea93282bec890680f6c5d9b"},
        {"bare", bare, "d4322e22c266c62a94f74bf4d6f0262d6dc5d3c4"},
        {"beyond four-digit years", distant, "e438d198efc92735d18b92ad3e75c65991828031"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DiaryEvents::digest(c.event), c.digest) << c.name;
}

INSTANTIATE_TEST_SUITE_P(EventDigest, EventDigestChanges, testing::ValuesIn(changes),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
