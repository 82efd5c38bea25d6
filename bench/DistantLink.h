#pragma once

#include <chrono>

#include <sys/types.h>

// The test proxy in a process of its own between the benchmark and a server on 127.0.0.1, every byte held a while
// each way, as a network to a distant machine holds it; its own process, so that the benchmark's CPU time holds
// only the client's work. The process ends with the object, and with the benchmark however that ends.
class DistantLink
{
public:
    // Throws std::runtime_error when the proxy does not start.
    DistantLink(int serverPort, std::chrono::milliseconds delayEachWay);
    ~DistantLink();
    DistantLink(const DistantLink&) = delete;
    DistantLink& operator=(const DistantLink&) = delete;

    // The port on 127.0.0.1 that reaches the server through the link.
    int port() const { return m_port; }
    // The round trips the link has carried so far, over every connection (see TcpProxy::roundTrips); asked of the
    // link's process, so it includes every burst the link read before this call.
    int roundTrips() const;

private:
    void stop();

    int m_port = 0;
    int m_pipe = -1;    // to the link: a byte asks for the round trips; closed, the link ends
    int m_answers = -1; // from the link: its port, then the round trips asked for
    pid_t m_process = -1;
};
