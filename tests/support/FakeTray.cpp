#include "support/FakeTray.h"

bool FakeTray::add()
{
    m_calls.append(QStringLiteral("add"));
    m_present = m_present || m_available;
    return m_present;
}

void FakeTray::remove()
{
    m_calls.append(QStringLiteral("remove"));
    m_present = false;
}

void FakeTray::notify(const QString& title, const QString& text)
{
    if (m_present)
        m_notifications.append(title + QStringLiteral(": ") + text);
}
