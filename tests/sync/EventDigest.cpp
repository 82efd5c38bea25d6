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

INSTANTIATE_TEST_SUITE_P(EventDigest, EventDigestChanges, testing::ValuesIn(changes),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
