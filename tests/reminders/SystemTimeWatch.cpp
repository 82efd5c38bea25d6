#include "platform/SystemTimeWatch.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Replaces the link by a new one, as the system's tools do, rather than writing through it.
void relink(const QDir& folder, const QString& target)
{
    const QString link = folder.filePath(QStringLiteral("localtime"));
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(target, link));
}

} // namespace

// Only a zone link that names another zone is told; the rest of its folder changes too, and is not.
TEST(SystemTimeWatch, ToldOnceTheZoneLinkNamesAnotherZone)
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    relink(folder, QStringLiteral("/usr/share/zoneinfo/Europe/Moscow"));
    SystemTimeWatch watch(folder.filePath(QStringLiteral("localtime")));
    QSignalSpy changed(&watch, &SystemTimeWatch::changed);

    QFile other(folder.filePath(QStringLiteral("hostname")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("diary\n");
    other.close();
    relink(folder, QStringLiteral("/usr/share/zoneinfo/Europe/Moscow"));
    relink(folder, QStringLiteral("/usr/share/zoneinfo/Europe/Berlin"));
    QTRY_COMPARE(changed.count(), 1);

    relink(folder, QStringLiteral("/usr/share/zoneinfo/Europe/Moscow"));
    QTRY_COMPARE(changed.count(), 2);
}
