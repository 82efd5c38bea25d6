#pragma once

#include "platform/DesktopNotifications.h"

#include <map>

// Notifications the test reads back: the one on the screen under each key, or none where the test says no service
// runs, which the fake reports as undelivered at once.
class FakeDesktopNotifications : public DesktopNotifications
{
    Q_OBJECT

public:
    explicit FakeDesktopNotifications(bool serviceRuns = true) : m_serviceRuns(serviceRuns) {}

    void show(int key, const Notification& notification) override;
    void close(int key) override { m_onScreen.erase(key); }

    void setServiceRuns(bool serviceRuns) { m_serviceRuns = serviceRuns; }
    const std::map<int, Notification>& onScreen() const { return m_onScreen; }

private:
    bool m_serviceRuns;
    std::map<int, Notification> m_onScreen;
};
