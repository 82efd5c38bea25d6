#pragma once

#include <QByteArray>
#include <QString>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Runs body in a child process and returns what it wrote, or "hung" when it has not ended after half a minute
// (opening a FIFO for reading waits for a writer that never comes).
inline QString inChild(const std::function<QString()>& body)
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return QStringLiteral("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        const QByteArray text = body().toUtf8();
        [[maybe_unused]] const ssize_t written = ::write(pipe[1], text.constData(), static_cast<size_t>(text.size()));
        ::_exit(0);
    }
    ::close(pipe[1]);
    int status = 0;
    for (int waited = 0; ::waitpid(child, &status, WNOHANG) == 0; ++waited) {
        if (waited == 3000) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ::close(pipe[0]);
            return QStringLiteral("hung");
        }
        ::usleep(10000);
    }
    QByteArray text;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, got);
    ::close(pipe[0]);
    return QString::fromUtf8(text);
}
