#include "units/HelpPage.h"

#include "support/FakeShellOpen.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(HelpPage, OpensFromTheStartDirectoryWhereverTheProcessMovedSince)
{
    FakeShellOpen shell;
    QTemporaryDir started;
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(started.path()));
    const QString startDir = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));

    HelpPage::open(startDir);
    QDir::setCurrent(before);

    EXPECT_EQ(shell.opened(), QStringList{QStringLiteral("file:") + started.path() + QStringLiteral("/help2.htm")});
    EXPECT_EQ(HelpPage::path(QStringLiteral("/")), QStringLiteral("//help2.htm")) << "joined as text, unchanged";
}
