#include "ScriptedServer.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

std::runtime_error systemError(const char* what)
{
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

} // namespace

ScriptedServer::ScriptedServer(const char* script, const char* prefix, std::vector<std::string> arguments)
    : m_script(script), m_arguments(std::move(arguments))
{
    // Unique, so that two runs keep apart.
    std::string folder = std::string(prefix) + "XXXXXX";
    if (!mkdtemp(folder.data()))
        throw systemError("mkdtemp");
    m_folder = QByteArray::fromStdString(folder);
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0) {
        rmdir(folder.c_str());
        throw systemError("pipe2");
    }
    // Made before the fork: the watchdog may only make async-signal-safe calls until the script takes over.
    const std::vector<char*> stopCommand = commandLine("stop");
    // The watchdog waits for the end of the pipe this process holds to close, which happens however this process
    // ends, and then stops the server.
    m_watchdog = fork();
    if (m_watchdog < 0) {
        rmdir(folder.c_str());
        throw systemError("fork");
    }
    if (m_watchdog == 0) {
        // Its own session, so that an interrupt typed in the terminal stops the benchmark, not the watchdog.
        setsid();
        close(pipe[1]);
        char byte = 0;
        ssize_t read = 0;
        do
            read = ::read(pipe[0], &byte, 1);
        while (read > 0 || (read < 0 && errno == EINTR));
        execv(m_script.c_str(), stopCommand.data());
        _exit(127);
    }
    close(pipe[0]);
    m_watchdogPipe = pipe[1];
    if (!run("start")) {
        stop();
        throw std::runtime_error("the test server did not start in " + folder);
    }
}

ScriptedServer::~ScriptedServer()
{
    stop();
}

std::vector<char*> ScriptedServer::commandLine(const char* action) const
{
    std::vector<char*> command{const_cast<char*>(m_script.c_str()), const_cast<char*>(action),
                               const_cast<char*>(m_folder.constData())};
    for (const std::string& argument : m_arguments)
        command.push_back(const_cast<char*>(argument.c_str()));
    command.push_back(nullptr);
    return command;
}

// Runs the script with the action, its output going where ours goes; true when it succeeded.
bool ScriptedServer::run(const char* action)
{
    const std::vector<char*> command = commandLine(action);
    const pid_t child = fork();
    if (child < 0)
        throw systemError("fork");
    if (child == 0) {
        execv(m_script.c_str(), command.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            throw systemError("waitpid");
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ScriptedServer::stop()
{
    close(m_watchdogPipe);
    int status = 0;
    while (waitpid(m_watchdog, &status, 0) < 0 && errno == EINTR) {
    }
}
