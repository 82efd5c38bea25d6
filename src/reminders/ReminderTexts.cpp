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
        {Period::remindedBy(ReminderKind::Birth).front().text(), QStringLiteral("Показать дни рождения?"),
         QStringLiteral("Дата рождения"), QStringLiteral("Именинники")},
        {QStringLiteral("Ежемесячные"), QStringLiteral("Существуют ЕЖЕМЕСЯЧНЫЕ мероприятия. Показать?"),
         QStringLiteral("Дата исполнения"), QStringLiteral("Мероприятия и памятные даты")},
        {QStringLiteral("Критические"), QStringLiteral("Существуют КРИТИЧЕСКИЕ мероприятия. Показать?"),
         QStringLiteral("Дата исполнения"), QStringLiteral("Мероприятия")},
        {QStringLiteral("Напоминание"), QStringLiteral("Подошло время напоминания. Показать?"),
         QStringLiteral("Дата исполнения"), QStringLiteral("Мероприятия")},
    }};
    return texts[static_cast<std::size_t>(kind)];
}
