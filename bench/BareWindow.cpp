// The yardstick for start-up: a plain Qt window of the main window's size with one line of text (so it loads the
// fonts, as any window with text must), that quits once it is on the screen. It links Qt Widgets alone: a bare
// window loads none of the libraries the program brings.
#include "app/QuitWhenShown.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Окно"));
    window.setWindowTitle(QStringLiteral("Окно"));
    window.resize(733, 513);
    window.show();
    QuitWhenShown::watch(window);
    return app.exec();
}
