#include "UnitAbout.h"

#include "FakeShellOpen.h"
#include "QtPrinters.h"

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
    EXPECT_EQ(about.Label8->text(), QStringLiteral("chronoteka@example.org"));
    EXPECT_EQ(about.Label3->toolTip(), QStringLiteral("Открыть сайт программы"));
    EXPECT_EQ(about.Label8->toolTip(), QStringLiteral("Написать письмо"));
    EXPECT_EQ(about.Label3->cursor().shape(), Qt::PointingHandCursor);
}

TEST(AboutBox, CaptionSizeAndTitle)
{
    TFormabout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("О ПРОГРАММЕ"));
    EXPECT_EQ(about.size(), QSize(378, 203));
    EXPECT_EQ(about.Label1->text(), QStringLiteral("БАЗА ДАННЫХ \"ХРОНОТЕКА\""));
    EXPECT_EQ(about.palette().color(QPalette::Window), QColor(192, 220, 192));
    EXPECT_EQ(about.Label3->palette().color(QPalette::WindowText), QColor(0, 0, 128));
}
