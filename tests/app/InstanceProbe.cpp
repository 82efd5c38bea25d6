// A stand-in for the program's start: claims the diary in the working folder and says what it became; the first
// one waits to be asked for its window, says so and ends; one refused prints its box. As another user may,
// --squat <name> only sits on that socket name and --ask <name> asks whoever listens there for the window.
#include "app/Application.h"
#include "platform/MessageBoxes.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <cstdio>
#include <cstring>

namespace {

class PrintedMessageBoxes : public MessageBoxes
{
public:
    Answer show(QWidget*, const Message& message) override
    {
        std::printf("box %s: %s\n", message.caption.toUtf8().constData(), message.text.toUtf8().constData());
        return Answer::Ok;
    }
};

int squat(const QString& name)
{
    QLocalServer server;
    server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    std::puts(server.listen(name) ? "squatting" : "taken");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

int ask(const QString& name)
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name);
    if (!socket.waitForConnected(10000)) {
        std::puts("unheard");
        return 0;
    }
    // A listener that hangs up at once may leave the request unsent: reaching it is what counts.
    socket.write("show\n");
    socket.waitForBytesWritten(10000);
    std::puts("asked");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--squat") == 0)
        return squat(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--ask") == 0)
        return ask(QString::fromLocal8Bit(argv[2]));
    SingleInstance instance(QDir::currentPath());
    switch (instance.claim()) {
    case SingleInstance::Role::First:
        break;
    case SingleInstance::Role::HandedOver:
        std::puts("handed over");
        return 0;
    case SingleInstance::Role::Unanswered: {
        PrintedMessageBoxes boxes;
        MessageBoxes::install(&boxes);
        Application::tellAlreadyRunning();
        MessageBoxes::install(nullptr);
        return 1;
    }
    }
    std::puts("first");
    std::fflush(stdout);
    QObject::connect(&instance, &SingleInstance::showRequested, &app, [] {
        std::puts("shown");
        QCoreApplication::quit();
    });
    return app.exec();
}
