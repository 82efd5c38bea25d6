#pragma once

class QWidget;

// The program's windows open centred on the desktop the first time and where the user left them afterwards.
class WindowPlacement
{
public:
    // Call just before the window is shown; does anything only the first time for that window.
    static void centreOnFirstShow(QWidget& window);
};
