#pragma once

class QWidget;

// The question the navigator and the grid ask before deleting a record.
class DeleteConfirmation
{
public:
    // "Confirm" / "Delete record?" with a question icon, OK (default) and Cancel (also Esc and closing the box).
    // True only for OK.
    static bool confirm(QWidget* parent);
};
