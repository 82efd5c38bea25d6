#include "units/UnitAbout.h"

#include "support/FakeShellOpen.h"
#include "support/QtPrinters.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

TEST(AboutBox, LinksOpenTheSiteAndANewMessage)
{
    FakeShellOpen shell;
    TFormabout about;
    about.show();

    QTest::mouseClick(about.Label3, Qt::LeftButton);
    QTest::mouseClick(about.Label8, Qt::LeftButton);
    QTest::mouseClick(about.Label2, Qt::LeftButton);
    QTest::mouseClick(about.Label3, Qt::RightButton);

    EXPECT_EQ(shell.opened(), (QStringList{QStringLiteral("https://chronoteka.example.org"),
                                           QStringLiteral("mailto:chronoteka@example.org")}));
    EXPECT_EQ(about.Label3->cursor().shape(), Qt::PointingHandCursor);
}
