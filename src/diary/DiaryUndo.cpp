#include "diary/DiaryUndo.h"

#include "base/CodePoints.h"
#include "base/Error.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/UndoJournal.h"

#include <QUuid>

#include <optional>

namespace {

// A label stays short enough for a menu item: a long description is cut.
QString named(const QString& job)
{
    constexpr int longest = 40;
    const QString text = job.simplified();
    // Cut in whole characters: half of an emoji's pair could not be stored with the step.
    return QStringLiteral("«%1»").arg(CodePoints::count(text) > longest ? CodePoints::left(text, longest - 1) + u'…'
                                                                        : text);
}

UndoJournal::Direction journalDirection(DiaryUndo::Direction direction)
{
    return direction == DiaryUndo::Direction::Undo ? UndoJournal::Direction::Undo : UndoJournal::Direction::Redo;
}

// The description of the event of that key in the step, from whichever image has its row.
QString jobOf(const UndoJournal::Step& step, qint64 key)
{
    const auto column = static_cast<std::size_t>(JobTable::Column::Job);
    for (const UndoJournal::Change& change : step.changes) {
        if (change.key != key)
            continue;
        const UndoJournal::Image& image = change.after.empty() ? change.before : change.after;
        if (column < image.size())
            return image[column].toString();
    }
    return {};
}

std::optional<UndoJournal::Step> nextStep(Connection& diary, DiaryUndo::Direction direction)
{
    std::optional<UndoJournal::Step> step;
    if (!diary.readyJournal())
        return step;
    diary.writeBatch({}, [&](Backend::Batch& batch) {
        step = UndoJournal::next(batch, diary.table(), journalDirection(direction));
    });
    return step;
}

} // namespace

QString DiaryUndo::command(Direction direction)
{
    return direction == Direction::Undo ? QStringLiteral("Отменить") : QStringLiteral("Повторить");
}

QString DiaryUndo::addedLabel(const QString& job)
{
    return QStringLiteral("добавление %1").arg(named(job));
}

QString DiaryUndo::editedLabel(const QString& job)
{
    return QStringLiteral("правка %1").arg(named(job));
}

QString DiaryUndo::deletedLabel(const QString& job)
{
    return QStringLiteral("удаление %1").arg(named(job));
}

QString DiaryUndo::tickedLabel(const QString& job)
{
    return QStringLiteral("отметка %1").arg(named(job));
}

QString DiaryUndo::importLabel(const QString& fileName)
{
    return QStringLiteral("импорт из %1").arg(named(fileName));
}

DiaryUndo::Offer DiaryUndo::offer(Connection& diary, Direction direction)
{
    const std::optional<UndoJournal::Step> step = nextStep(diary, direction);
    if (!step)
        return {command(direction), false};
    return {QStringLiteral("%1: %2").arg(command(direction), step->label), true};
}

bool DiaryUndo::step(Connection& diary, Direction direction)
{
    if (!diary.readyJournal())
        return false;
    // A label left by a write that failed before it reached the diary must not make this one a step of its own.
    diary.journalNextWrite({});
    bool taken = false;
    diary.writeBatch(QUuid::createUuid().toByteArray(QUuid::WithoutBraces), [&](Backend::Batch& batch) {
        taken = false;
        const std::optional<UndoJournal::Step> step =
            UndoJournal::next(batch, diary.table(), journalDirection(direction));
        if (!step)
            return;
        if (const std::optional<qint64> changed =
                UndoJournal::apply(batch, diary.table(), *step, journalDirection(direction)))
            throw Error(QStringLiteral("%1 нельзя: мероприятие %2 с тех пор изменено другой программой, на другом "
                                       "компьютере или синхронизацией. Ничего не изменено.")
                            .arg(command(direction), named(jobOf(*step, *changed))));
        taken = true;
    });
    return taken;
}
