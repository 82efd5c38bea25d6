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

private:
    void stop();

    int m_port = 0;
    int m_pipe = -1;
    pid_t m_process = -1;
};
