#include "diary/Period.h"

#include "base/CaselessText.h"

namespace {

struct Description
{
    Period::Kind kind;
    const char* text;
    Period::Placement placement;
    bool offered;
    std::optional<ReminderKind> reminder;
    Period::Recurrence recurrence;
    bool yearlyDate;
};

using enum Period::Kind;
using enum Period::Placement;
using Recurrence = Period::Recurrence;

// In the order of Period::Kind, which is the tree's and the periodicity box's.
constexpr Description descriptions[] = {
    {Critical, "критическое", UnderAllEvents, true, ReminderKind::Critical, Recurrence::None, false},
    {Hourly, "ежечасное", UnderAllEvents, true, ReminderKind::Hour, Recurrence::Hourly, false},
    {Daily, "ежедневное", UnderAllEvents, true, ReminderKind::Day, Recurrence::Daily, false},
    {Weekly, "еженедельное", UnderAllEvents, true, ReminderKind::Week, Recurrence::Weekly, false},
    {Monthly, "ежемесячное", UnderAllEvents, true, ReminderKind::Month, Recurrence::Monthly, false},
    {Quarterly, "ежеквартальное", UnderAllEvents, true, ReminderKind::Month, Recurrence::Quarterly, false},
    {Yearly, "ежегодное", UnderAllEvents, true, ReminderKind::Month, Recurrence::Yearly, false},
    {Birthday, "День рождения", TopLevel, true, ReminderKind::Birth, Recurrence::None, true},
    {MemorableDate, "Памятная дата", TopLevel, false, ReminderKind::Month, Recurrence::None, true},
};

constexpr bool inKindOrder()
{
    for (std::size_t i = 0; i < std::size(descriptions); ++i)
        if (static_cast<std::size_t>(descriptions[i].kind) != i)
            return false;
    return true;
}
static_assert(inKindOrder());

const Description& describe(Period::Kind kind)
{
    return descriptions[static_cast<std::size_t>(kind)];
}

// Made once: the export matches every row it writes.
const std::array<QString, std::size(descriptions)>& texts()
{
    static const std::array<QString, std::size(descriptions)> made = [] {
        std::array<QString, std::size(descriptions)> texts;
        for (std::size_t i = 0; i < texts.size(); ++i)
            texts[i] = QString::fromUtf8(descriptions[i].text);
        return texts;
    }();
    return made;
}

} // namespace

const std::array<Period, 9>& Period::all()
{
    static constexpr std::array<Period, 9> periods = {
        Period(Critical),  Period(Hourly), Period(Daily),    Period(Weekly),        Period(Monthly),
        Period(Quarterly), Period(Yearly), Period(Birthday), Period(MemorableDate),
    };
    static_assert(periods.size() == std::size(descriptions));
    return periods;
}

std::optional<Period> Period::fromStored(const QString& stored)
{
    // The texts as the program writes them are by far the most common: they are found without folding case.
    for (const Period& period : all())
        if (stored == period.text())
            return period;
    for (const Period& period : all())
        if (period.matches(stored))
            return period;
    return std::nullopt;
}

QList<Period> Period::remindedBy(ReminderKind kind)
{
    QList<Period> reminded;
    for (const Period& period : all())
        if (period.reminderKind() == kind)
            reminded << period;
    return reminded;
}

QString Period::text() const
{
    return texts()[static_cast<std::size_t>(m_kind)];
}

Period::Placement Period::placement() const
{
    return describe(m_kind).placement;
}

bool Period::isOffered() const
{
    return describe(m_kind).offered;
}

std::optional<ReminderKind> Period::reminderKind() const
{
    return describe(m_kind).reminder;
}

Period::Recurrence Period::recurrence() const
{
    return describe(m_kind).recurrence;
}

bool Period::isYearlyDate() const
{
    return describe(m_kind).yearlyDate;
}

bool Period::matches(const QString& stored) const
{
    return CaselessText::equal(stored, text());
}
