#include "platform/ErrorReporter.h"

#include <QtGlobal>

namespace {
ErrorReporter::Sink& sink()
{
    static ErrorReporter::Sink s;
    return s;
}
} // namespace

void ErrorReporter::setSink(Sink s)
{
    sink() = std::move(s);
}

void ErrorReporter::report(const std::exception& error)
{
    if (sink())
        sink()(error);
    else
        qWarning("%s", error.what());
}
