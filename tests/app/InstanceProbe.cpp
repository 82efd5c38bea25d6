// A stand-in for the program's start: claims the diary in the working folder and says what it became; the first
// one waits to be asked for its window, says so and ends.
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QDir::currentPath());
    if (instance.claim() == SingleInstance::Role::HandedOver) {
        std::puts("handed over");
        return 0;
    }
    std::puts("first");
    std::fflush(stdout);
    QObject::connect(&instance, &SingleInstance::showRequested, &app, [] {
        std::puts("shown");
        QCoreApplication::quit();
    });
    return app.exec();
}
