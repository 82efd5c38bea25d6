#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// How the program lives through a wait for the database server. The server session waits on its socket through the
// installed ServerWait: without one (the tools, the engine's tests) it blocks in poll() until the deadline; the
// application installs one that keeps the window painting, takes no input and offers to cancel.
//
// While any wait is in progress the window's event loop may run, so code that the loop can reach without the user
// (queued calls, bus signals) and that touches the diary asks whenIdle() to run it.
class ServerWait
{
public:
    using Clock = std::chrono::steady_clock;
    enum class Direction { Read, Write };
    enum class Outcome { Ready, TimedOut, Cancelled };

    // One statement's or one connection's wait, from its start to its answer: the socket may be waited on several
    // times, and what the user sees (a busy cursor, a box) lasts across them.
    class Operation
    {
    public:
        virtual ~Operation() = default;
        // Until the socket is ready in that direction, the deadline passes or the user cancels; a cancel is told
        // once, later waits of the operation go on to their deadline.
        virtual Outcome waitFor(int socket, Direction direction, Clock::time_point deadline) = 0;
    };

    virtual ~ServerWait() = default;
    // quiet: the user is not told of the wait (no busy cursor, no box) and can't cancel it.
    virtual std::unique_ptr<Operation> begin(bool quiet) = 0;

    // The installed wait in the thread that installed it; a plain one that blocks when none is, and in any other
    // thread.
    static ServerWait& current();
    // nullptr restores the plain one; returns the one installed before. Ownership stays with the caller.
    static ServerWait* install(ServerWait* wait);

    // Whether an operation on the server is in progress in this thread.
    static bool inProgress();
    // Runs work now when no operation is in progress, else as soon as control is back in the event loop after the
    // last one, asking again then; never once context is gone.
    static void whenIdle(QObject* context, std::function<void()> work);

    // While one lives, waits are quiet and end within limit: for the work of timers (the reminder checks, the
    // alarms' plan), which must not keep the window from its user for long and whose failure says nothing.
    class Quiet
    {
    public:
        explicit Quiet(std::chrono::milliseconds limit);
        ~Quiet();
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        std::optional<std::chrono::milliseconds> m_outer;
    };
    // The limit of the innermost Quiet alive, none outside one.
    static std::optional<std::chrono::milliseconds> quietLimit();

    // Marks an operation in progress for as long as it lives (the server session's).
    class InProgress
    {
    public:
        InProgress();
        ~InProgress();
        InProgress(const InProgress&) = delete;
        InProgress& operator=(const InProgress&) = delete;
    };
};
