#pragma once

#include <QPoint>

#include <functional>

class QWidget;

// The context menu of the bound text controls. Undo, cut and paste change the text, so each first asks the
// record set to edit (askEdit) and does nothing when that is refused; copy and select all never ask.
class EditContextMenu
{
public:
    struct Commands
    {
        std::function<bool()> askEdit;
        std::function<void()> undo;
        std::function<void()> redo;
        std::function<void()> cut;
        std::function<void()> copy;
        std::function<void()> paste;
        std::function<void()> deleteSelection;
        std::function<void()> selectAll;
        bool readOnly = true;
        bool undoAvailable = false;
        bool redoAvailable = false;
        bool hasSelection = false;
        bool hasText = false;
    };

    static void exec(QWidget& owner, const QPoint& globalPosition, const Commands& commands);
};
