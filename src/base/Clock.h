#pragma once

#include <QDateTime>

#include <optional>

// The one source of the current local date and time; tests fix it.
class Clock
{
public:
    static QDateTime now();
    static QDate today() { return now().date(); }
    static void setFixed(const QDateTime& moment);
    static void reset();

private:
    static std::optional<QDateTime> s_fixed;
};
