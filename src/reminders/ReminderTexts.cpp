#include "reminders/ReminderTexts.h"

#include "diary/Period.h"

const ReminderTexts& reminderTexts(ReminderKind kind)
{
    static const std::array<ReminderTexts, reminderKinds.size()> texts = {{
        {QStringLiteral("Ежечасные"), QStringLiteral("Существуют ЕЖЕЧАСНЫЕ мероприятия. Показать?"),
         QStringLiteral("Дата исполнения"), QStringLiteral("Мероприятия")},
        {QStringLiteral("Ежедневные"), QStringLiteral("Существуют ЕЖЕДНЕВНЫЕ мероприятия. Показать?"),
         QStringLiteral("Дата исполнения"), QStringLiteral("Мероприятия")},
        {QStringLiteral("Еженедельные"), QStringLiteral("Существуют ЕЖЕНЕДЕЛЬНЫЕ мероприятия. Показать?"),
         QStringLiteral("Дата исполнения"), QStringLiteral("Мероприятия")},
        {Period::ofReminder(ReminderKind::Birth).text(), QStringLiteral("Показать дни рождения?"),
         QStringLiteral("Дата рождения"), QStringLiteral("Именинники")},
        {QStringLiteral("Напоминание"), QStringLiteral("Подошло время напоминания. Показать?"),
         QStringLiteral("Дата исполнения"), QStringLiteral("Мероприятия")},
    }};
    return texts[static_cast<std::size_t>(kind)];
}
