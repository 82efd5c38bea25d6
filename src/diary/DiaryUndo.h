#pragma once

#include <QString>

class Connection;

// "Правка" → "Отменить" and "Повторить" over the diary's undo journal (UndoJournal): the labels of its steps, what
// the menu items say, and a step taken back or done again in a transaction of its own, written as the program's
// posts are (the search kept in step, the last-change time stamped). The texts the user sees of it are here.
class DiaryUndo
{
public:
    // The labels of the steps, each naming the event.
    static QString addedLabel(const QString& job);
    static QString editedLabel(const QString& job);
    static QString deletedLabel(const QString& job);
    static QString tickedLabel(const QString& job);
    static QString importLabel(const QString& fileName);

    enum class Direction { Undo, Redo };
    // The menu item's own name, "Отменить" or "Повторить".
    static QString command(Direction direction);
    // The menu item's text, naming the step it would take ("Отменить: удаление «…»"), and whether there is one.
    struct Offer
    {
        QString text;
        bool available = false;
    };
    static Offer offer(Connection& diary, Direction direction);
    // Takes back the last change not undone, or does the last one undone again; false when there is none. A step
    // whose events were changed since by another program, computer or sync is refused with the reason (Error),
    // and nothing is written.
    static bool step(Connection& diary, Direction direction);
};
