#include "support/FakeDesktopNotifications.h"

void FakeDesktopNotifications::show(int key, const Notification& notification)
{
    if (!m_serviceRuns) {
        emit undelivered(key);
        return;
    }
    m_onScreen[key] = notification;
}
