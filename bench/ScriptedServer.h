#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <string>
#include <vector>

// A private test server for one benchmark run, run by one of the tests' scripts (support/server-cluster.sh,
// support/caldav-server.sh) in a short folder of its own: "<script> start <folder> <arguments...>" starts
// it, "<script> stop <folder> <arguments...>" stops it and removes the folder. It is stopped when the object goes,
// and by a watchdog process when the benchmark ends any other way: an exception, a crash, a signal, a kill.
class ScriptedServer
{
public:
    // The folder's path is prefix followed by six random characters. Throws std::runtime_error when the server does
    // not start.
    ScriptedServer(const char* script, const char* prefix, std::vector<std::string> arguments = {});
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    const QByteArray& folder() const { return m_folder; }

private:
    // The script's command line for the action, as execv takes it (which changes none of it).
    std::vector<char*> commandLine(const char* action) const;
    bool run(const char* action);
    void stop();

    const std::string m_script;
    QByteArray m_folder;
    std::vector<std::string> m_arguments;
    int m_watchdogPipe = -1;
    pid_t m_watchdog = -1;
};
