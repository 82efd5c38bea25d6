#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

class QSocketNotifier;

// Tells when the system's time is set or its time zone changes, which moves every wall-clock moment against the
// timers. The time: a timer on the real-time clock that the kernel cancels when that clock is set
// (TFD_TIMER_CANCEL_ON_SET), so nothing runs until it is. The zone: the link that names it (/etc/localtime) is
// replaced rather than written, so its folder is watched and the link compared with what it was.
class SystemTimeWatch : public QObject
{
    Q_OBJECT

public:
    explicit SystemTimeWatch(QString zoneLink = QStringLiteral("/etc/localtime"), QObject* parent = nullptr);
    ~SystemTimeWatch() override;

signals:
    void changed();

private:
    void armClock();
    void clockSet();
    void folderChanged();
    QString zoneState() const;

    QString m_zoneLink;
    QString m_zone;
    QFileSystemWatcher m_folder;
    int m_clock = -1;
    QSocketNotifier* m_clockNotifier = nullptr;
};
