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
        // Forwards until the end of the pipe the benchmark holds closes, which happens however the benchmark ends.
        close(toLink[1]);
        close(fromLink[0]);
        int status = 0;
        try {
            TcpProxy proxy(serverPort);
            proxy.setDelay(delayEachWay);
            const int port = proxy.port();
            if (write(fromLink[1], &port, sizeof port) == sizeof port) {
                char byte = 0;
                ssize_t got = 0;
                do
                    got = read(toLink[0], &byte, 1);
                while (got > 0 || (got < 0 && errno == EINTR));
            }
        } catch (const std::exception&) {
            status = 1;
        }
        _exit(status);
    }
    close(toLink[0]);
    close(fromLink[1]);
    m_pipe = toLink[1];
    const bool started = read(fromLink[0], &m_port, sizeof m_port) == sizeof m_port;
    close(fromLink[0]);
    if (!started) {
        stop();
        throw std::runtime_error("the proxy of the distant link did not start");
    }
}

DistantLink::~DistantLink()
{
    stop();
}

void DistantLink::stop()
{
    close(m_pipe);
    int status = 0;
    while (waitpid(m_process, &status, 0) < 0 && errno == EINTR) {
    }
}
