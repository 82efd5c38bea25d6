#include "support/TcpProxy.h"

#include "support/ConnectionInfo.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

std::runtime_error systemError(const char* what)
{
    return std::runtime_error(std::string("TcpProxy: ") + what + ": " + std::strerror(errno));
}

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// Small packets go at once, as they do between two machines where the client waits for each answer.
void sendAtOnce(int socket)
{
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

TcpProxy::TcpProxy(int targetPort) : m_targetPort(targetPort)
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        throw systemError("socket");
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_listener, 64) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::runtime_error error = systemError("listen");
        ::close(m_listener);
        throw error;
    }
    m_port = ntohs(address.sin_port);
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        const std::runtime_error error = systemError("eventfd");
        ::close(m_listener);
        throw error;
    }
    m_thread = std::thread(&TcpProxy::run, this);
}

TcpProxy::~TcpProxy()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    wake();
    m_thread.join();
    for (Link& link : m_links)
        close(link);
    ::close(m_wakeFd);
    ::close(m_listener);
}

QString TcpProxy::connectionInfo(const QString& base) const
{
    return ConnectionInfo::withKeywords(base,
                                        {{"host", QStringLiteral("127.0.0.1")}, {"port", QString::number(m_port)}});
}

void TcpProxy::forward()
{
    {
        const std::lock_guard lock(m_mutex);
        m_hanging = false;
    }
    wake();
}

void TcpProxy::hang()
{
    {
        const std::lock_guard lock(m_mutex);
        m_hanging = true;
    }
    wake();
}

void TcpProxy::dropNextAnswer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_dropArmed = true;
    }
    wake();
}

void TcpProxy::setDelay(std::chrono::milliseconds delay)
{
    {
        const std::lock_guard lock(m_mutex);
        m_delay = delay;
    }
    wake();
}

int TcpProxy::roundTrips()
{
    const std::lock_guard lock(m_mutex);
    return m_roundTrips;
}

void TcpProxy::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

// Polls without the lock and then does all its reading and writing under it, so that a switch, which takes the
// lock, is in force for every byte after it returns: what poll reported during a hang is left for later.
void TcpProxy::run()
{
    std::vector<pollfd> polled;
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        polled.assign({{m_wakeFd, POLLIN, 0}});
        int timeout = -1;
        if (!m_hanging) {
            polled.push_back({m_listener, POLLIN, 0});
            const Clock::time_point now = Clock::now();
            for (Link& link : m_links) {
                for (Direction* direction : {&link.up, &link.down}) {
                    if (!direction->ended)
                        polled.push_back({direction->from, POLLIN, 0});
                    if (direction->queue.empty())
                        continue;
                    const Clock::time_point due = direction->queue.front().due;
                    if (due <= now) {
                        polled.push_back({direction->to, POLLOUT, 0});
                    } else {
                        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
                        timeout = timeout < 0 ? static_cast<int>(wait) : std::min(timeout, static_cast<int>(wait));
                    }
                }
            }
        }
        lock.unlock();
        const int ready = poll(polled.data(), polled.size(), timeout);
        lock.lock();
        if (ready < 0 && errno != EINTR)
            throw systemError("poll");
        std::uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t drained = ::read(m_wakeFd, &wakes, sizeof wakes);
        if (m_stopping || m_hanging)
            continue;
        if (polled.size() > 1 && (polled[1].revents & POLLIN))
            acceptConnection();
        // Reads and writes are tried on every link: a socket with nothing to do answers EAGAIN at once.
        for (Link& link : m_links) {
            for (Direction* direction : {&link.up, &link.down}) {
                if (!link.closed)
                    read(link, *direction);
            }
            for (Direction* direction : {&link.up, &link.down}) {
                if (!link.closed)
                    write(link, *direction);
            }
        }
        std::erase_if(m_links, [](const Link& link) { return link.closed; });
    }
}

void TcpProxy::acceptConnection()
{
    for (;;) {
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0)
            return;
        const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in target = loopback(m_targetPort);
        if (server < 0 || connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
            if (server >= 0)
                ::close(server);
            ::close(client);
            continue;
        }
        fcntl(server, F_SETFL, O_NONBLOCK);
        sendAtOnce(client);
        sendAtOnce(server);
        Link link;
        link.up.from = link.down.to = client;
        link.up.to = link.down.from = server;
        m_links.push_back(std::move(link));
    }
}

void TcpProxy::read(Link& link, Direction& direction)
{
    if (direction.ended)
        return;
    std::vector<char> bytes(64 * 1024);
    const ssize_t got = ::read(direction.from, bytes.data(), bytes.size());
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (&direction == &link.down && got > 0 && link.answerToDrop) {
        close(link);
        return;
    }
    if (&direction == &link.up && got > 0 && m_dropArmed) {
        m_dropArmed = false;
        link.answerToDrop = true;
    }
    if (got > 0 && &direction == &link.up) {
        link.asked = true;
    } else if (got > 0 && link.asked) {
        ++m_roundTrips;
        link.asked = false;
    }
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    direction.ended = got <= 0;
    direction.queue.push_back({Clock::now() + m_delay, std::move(bytes)});
}

void TcpProxy::write(Link& link, Direction& direction)
{
    const Clock::time_point now = Clock::now();
    while (!direction.queue.empty() && direction.queue.front().due <= now) {
        const std::vector<char>& bytes = direction.queue.front().bytes;
        if (bytes.empty()) {
            close(link);
            return;
        }
        const ssize_t sent =
            ::send(direction.to, bytes.data() + direction.written, bytes.size() - direction.written, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno != EAGAIN && errno != EINTR)
                close(link);
            return;
        }
        direction.written += static_cast<size_t>(sent);
        if (direction.written < bytes.size())
            return;
        direction.written = 0;
        direction.queue.pop_front();
    }
}

void TcpProxy::close(Link& link)
{
    if (link.closed)
        return;
    link.closed = true;
    ::close(link.up.from);
    ::close(link.up.to);
}
