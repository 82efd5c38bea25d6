#pragma once

#include "units/WindowServerWait.h"

#include <QApplication>
#include <QString>

#include <exception>

// The process-wide object: title, icon, the one place where errors are shown, and the window's side of every wait
// for the database server.
class Application : public QApplication
{
public:
    Application(int& argc, char** argv);
    ~Application() override;

    // Backstop for an exception a handler let through: shown like any other, never passed into the event loop.
    bool notify(QObject* receiver, QEvent* event) override;

    // The general error handler: the error's text, caption the title, error icon, OK; the program goes on.
    static void showError(const std::exception& error);

    // The last-resort box for an error that escaped start-up.
    static QString fatalErrorText(const std::exception& error, const QString& module, const void* address);
    static void showFatalError(const std::exception& error);

    // A program already holds this diary and does not answer: this start tells so and ends rather than run beside it.
    static void tellAlreadyRunning();

private:
    WindowServerWait m_serverWait;
};
