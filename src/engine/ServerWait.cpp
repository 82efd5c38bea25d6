#include "engine/ServerWait.h"

#include <QMetaObject>
#include <QPointer>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Blocks the thread in poll(): nothing else has to run meanwhile.
class PlainWait : public ServerWait
{
    class Operation : public ServerWait::Operation
    {
    public:
        Outcome waitFor(int socket, Direction direction, Clock::time_point deadline) override
        {
            pollfd watched{socket, static_cast<short>(direction == Direction::Read ? POLLIN : POLLOUT), 0};
            for (;;) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
                if (left <= 0)
                    return Outcome::TimedOut;
                const int ready = poll(&watched, 1, static_cast<int>(std::min<long long>(left, 60000)));
                // An error or a hang-up on the socket is libpq's to read and report.
                if (ready > 0)
                    return Outcome::Ready;
                if (ready < 0 && errno != EINTR)
                    return Outcome::Ready;
            }
        }
    };

public:
    std::unique_ptr<ServerWait::Operation> begin(bool) override { return std::make_unique<Operation>(); }
};

PlainWait plainWait;
// The installed wait serves the thread that installed it, the window's; another thread (the search's) blocks.
std::atomic<ServerWait*> installed = nullptr;
std::atomic<std::thread::id> installedBy;
thread_local int operations = 0;
thread_local std::optional<std::chrono::milliseconds> quiet;
struct Waiting
{
    QPointer<QObject> context;
    std::function<void()> work;
};
thread_local std::vector<Waiting> waiting;

} // namespace

ServerWait& ServerWait::current()
{
    ServerWait* wait = installed;
    return wait && installedBy.load() == std::this_thread::get_id() ? *wait : plainWait;
}

ServerWait* ServerWait::install(ServerWait* wait)
{
    installedBy = std::this_thread::get_id();
    return installed.exchange(wait);
}

bool ServerWait::inProgress()
{
    return operations > 0;
}

void ServerWait::whenIdle(QObject* context, std::function<void()> work)
{
    if (!inProgress()) {
        work();
        return;
    }
    waiting.push_back({context, std::move(work)});
}

ServerWait::Quiet::Quiet(std::chrono::milliseconds limit) : m_outer(quiet)
{
    quiet = m_outer ? std::min(*m_outer, limit) : limit;
}

ServerWait::Quiet::~Quiet()
{
    quiet = m_outer;
}

std::optional<std::chrono::milliseconds> ServerWait::quietLimit()
{
    return quiet;
}

ServerWait::InProgress::InProgress()
{
    ++operations;
}

ServerWait::InProgress::~InProgress()
{
    if (--operations > 0 || waiting.empty())
        return;
    // Run from the event loop, never inside the code that waited, which goes on after this.
    for (Waiting& next : std::exchange(waiting, {})) {
        if (QObject* context = next.context)
            QMetaObject::invokeMethod(
                context, [context, work = std::move(next.work)] { whenIdle(context, work); }, Qt::QueuedConnection);
    }
}
