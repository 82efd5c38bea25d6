#pragma once

#include <exception>
#include <functional>
#include <utility>

// The one place errors are shown. Every handler the window system calls runs its body through guarded(),
// so no exception escapes into the event loop; the application installs the sink that shows the message box.
class ErrorReporter
{
public:
    using Sink = std::function<void(const std::exception&)>;

    static void setSink(Sink sink);
    static void report(const std::exception& error);

    // Runs body; an exception it throws is reported and swallowed. Returns false when one was thrown.
    template <class Body> static bool guarded(Body&& body)
    {
        try {
            std::forward<Body>(body)();
            return true;
        } catch (const std::exception& error) {
            report(error);
            return false;
        }
    }
};
