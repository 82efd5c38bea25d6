#include "platform/SystemTimeWatch.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

// Far enough never to elapse, near enough for the kernel's time range.
constexpr time_t centurySeconds = time_t{100} * 365 * 86400;

} // namespace

SystemTimeWatch::SystemTimeWatch(QString zoneLink, QObject* parent)
    : QObject(parent), m_zoneLink(std::move(zoneLink)), m_zone(zoneState())
{
    m_folder.addPath(QFileInfo(m_zoneLink).absolutePath());
    connect(&m_folder, &QFileSystemWatcher::directoryChanged, this, &SystemTimeWatch::folderChanged);

    // Without a timerfd (an old kernel, a sandbox) the clock is only caught by the resume and the next alarm.
    m_clock = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_clock < 0)
        return;
    armClock();
    m_clockNotifier = new QSocketNotifier(m_clock, QSocketNotifier::Read, this);
    connect(m_clockNotifier, &QSocketNotifier::activated, this, &SystemTimeWatch::clockSet);
}

SystemTimeWatch::~SystemTimeWatch()
{
    delete m_clockNotifier;
    if (m_clock >= 0)
        ::close(m_clock);
}

void SystemTimeWatch::armClock()
{
    itimerspec far{};
    far.it_value.tv_sec = std::time(nullptr) + centurySeconds;
    timerfd_settime(m_clock, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr);
}

void SystemTimeWatch::clockSet()
{
    quint64 expirations = 0;
    const ssize_t got = ::read(m_clock, &expirations, sizeof expirations);
    // ECANCELED is the clock set; a timer read empty or elapsed after a century is only armed again.
    const bool set = got < 0 && errno == ECANCELED;
    armClock();
    if (set)
        emit changed();
}

void SystemTimeWatch::folderChanged()
{
    const QString zone = zoneState();
    if (zone == m_zone)
        return;
    m_zone = zone;
    // The C library reads the zone once; localtime() and Qt's local time follow the new one after this.
    tzset();
    emit changed();
}

QString SystemTimeWatch::zoneState() const
{
    const QFileInfo link(m_zoneLink);
    return link.symLinkTarget() + u'|' + link.lastModified().toString(Qt::ISODateWithMs) + u'|' +
           QString::number(link.size());
}
