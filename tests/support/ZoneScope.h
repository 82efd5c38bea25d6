#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <time.h>

// Sets the system's time zone (TZ) for the lifetime of the object.
class ZoneScope
{
public:
    explicit ZoneScope(const char* zone) : m_previous(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneScope()
    {
        qputenv("TZ", m_previous);
        tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    QByteArray m_previous;
};
