#pragma once

#include <QObject>

class QWidget;

// Ctrl+Z and the redo keys within a window: a box that has typing of its own to take back or do again keeps them,
// as it always has; anywhere else (the list, the tree, a box with nothing typed, which would swallow them) they
// go past the box to the window's menu items, which undo and redo changes to the diary.
class TypingUndo : public QObject
{
public:
    // Watches the keys of the application's widgets inside window.
    explicit TypingUndo(QWidget* window);

    // Whether the keys of that sequence, the widget having the focus, are the box's own to act on.
    static bool boxTakes(QWidget* focus, bool undo);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
};
