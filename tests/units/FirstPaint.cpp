#include "units/FirstPaint.h"

#include <QCoreApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

TEST(FirstPaint, RunsOnceAfterTheWindowIsPaintedAndNeverWithoutItsContext)
{
    QWidget window;
    window.resize(200, 100);
    QObject context;
    auto gone = std::make_unique<QObject>();
    int runs = 0;
    int runsOfGone = 0;
    FirstPaint::then(window, context, [&runs] { ++runs; });
    FirstPaint::then(window, *gone, [&runsOfGone] { ++runsOfGone; });
    gone.reset();

    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0) << "not before the window is shown";
    window.show();
    EXPECT_EQ(runs, 0) << "not before the window is painted";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);

    window.hide();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1) << "a later paint runs nothing";
    EXPECT_EQ(runsOfGone, 0);
}
