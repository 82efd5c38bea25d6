#pragma once

#include <QString>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// A TCP proxy on 127.0.0.1 between a test and a server on 127.0.0.1, with the faults of a real network at the
// test's command: forwarding can stop without closing anything, as a cut cable or a sleeping laptop looks; the
// server's next answer can be lost after the client's bytes reached the server; every byte can come late. The
// proxy forwards in a thread of its own; a switch takes effect before it returns. Errors of setting it up are
// std::runtime_error.
class TcpProxy
{
public:
    // Listens on a free port of 127.0.0.1 and forwards each connection to targetPort on 127.0.0.1.
    explicit TcpProxy(int targetPort);
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    int port() const { return m_port; }
    // The libpq connection info base with its host and port replaced by the proxy's.
    QString connectionInfo(const QString& base) const;

    // Bytes pass both ways again, those held during a hang first; connections made meanwhile are taken now.
    void forward();
    // Nothing passes either way and no connection is taken or closed until forward().
    void hang();
    // On the first connection whose client sends bytes after this call, the bytes reach the server, the server's
    // next bytes back are thrown away and both sides are closed; other connections and later answers pass.
    void dropNextAnswer();
    // Every byte is held that long before it is passed on, each way.
    void setDelay(std::chrono::milliseconds delay);
    // Round trips over every connection so far: bytes from a client answered by bytes from its server, however
    // many reads either burst took.
    int roundTrips();

private:
    using Clock = std::chrono::steady_clock;
    struct Chunk
    {
        Clock::time_point due;
        std::vector<char> bytes; // empty: the sender closed its side
    };
    struct Direction
    {
        int from = -1;
        int to = -1;
        std::deque<Chunk> queue;
        size_t written = 0; // of the first chunk
        bool ended = false; // nothing more to read
    };
    struct Link
    {
        Direction up;   // client to server
        Direction down; // server to client
        bool answerToDrop = false;
        bool closed = false;
        bool asked = false; // the client sent bytes the server has not answered yet
    };

    void run();
    void wake();
    void acceptConnection();
    void read(Link& link, Direction& direction);
    void write(Link& link, Direction& direction);
    static void close(Link& link);

    int m_targetPort;
    int m_listener = -1;
    int m_wakeFd = -1;
    int m_port = 0;

    std::mutex m_mutex; // guards what follows and every read and write of the links
    bool m_stopping = false;
    bool m_hanging = false;
    bool m_dropArmed = false;
    std::chrono::milliseconds m_delay{0};
    int m_roundTrips = 0;
    std::vector<Link> m_links;

    std::thread m_thread;
};
