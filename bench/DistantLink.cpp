#include "DistantLink.h"

#include "support/TcpProxy.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

DistantLink::DistantLink(int serverPort, std::chrono::milliseconds delayEachWay)
{
    int toLink[2];
    int fromLink[2];
    if (pipe2(toLink, O_CLOEXEC) != 0 || pipe2(fromLink, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    m_process = fork();
    if (m_process < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (m_process == 0) {
        // Forwards until the end of the pipe the benchmark holds closes, which happens however the benchmark ends,
        // answering each byte read from it with the round trips so far.
        close(toLink[1]);
        close(fromLink[0]);
        int status = 0;
        try {
            TcpProxy proxy(serverPort);
            proxy.setDelay(delayEachWay);
            const int port = proxy.port();
            bool answering = write(fromLink[1], &port, sizeof port) == sizeof port;
            while (answering) {
                char byte = 0;
                const ssize_t got = read(toLink[0], &byte, 1);
                if (got > 0) {
                    const int trips = proxy.roundTrips();
                    answering = write(fromLink[1], &trips, sizeof trips) == sizeof trips;
                } else {
                    answering = got < 0 && errno == EINTR;
                }
            }
        } catch (const std::exception&) {
            status = 1;
        }
        _exit(status);
    }
    close(toLink[0]);
    close(fromLink[1]);
    m_pipe = toLink[1];
    m_answers = fromLink[0];
    if (read(m_answers, &m_port, sizeof m_port) != sizeof m_port) {
        stop();
        throw std::runtime_error("the proxy of the distant link did not start");
    }
}

DistantLink::~DistantLink()
{
    stop();
}

int DistantLink::roundTrips() const
{
    const char ask = 0;
    int trips = 0;
    if (write(m_pipe, &ask, 1) != 1 || read(m_answers, &trips, sizeof trips) != sizeof trips)
        throw std::runtime_error("the proxy of the distant link does not answer");
    return trips;
}

void DistantLink::stop()
{
    close(m_pipe);
    close(m_answers);
    int status = 0;
    while (waitpid(m_process, &status, 0) < 0 && errno == EINTR) {
    }
}
