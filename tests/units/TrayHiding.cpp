#include "units/TrayHiding.h"

#include "support/FakeTray.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// The main window's side of the tray, with the menu the icon opens.
class TrayHidingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_menu.addAction(QStringLiteral("Показать"));
        m_menu.addAction(QStringLiteral("Спрятать в трей"));
        m_window.resize(300, 200);
        m_hiding.addIcon();
        m_window.show();
    }

    bool onScreen() const { return m_window.isVisible() && !m_window.isMinimized(); }

    FakeTray m_tray;
    QWidget m_window;
    QMenu m_menu;
    TrayHiding& m_hiding = *new TrayHiding(m_window, m_tray, m_menu);
};

class WithoutTray : public TrayHidingTest
{
protected:
    void SetUp() override
    {
        m_tray.setAvailable(false);
        TrayHidingTest::SetUp();
    }
};

} // namespace

TEST_F(TrayHidingTest, HideAndShowMoveTheWindowBetweenScreenAndTray)
{
    EXPECT_TRUE(onScreen()) << "both on screen and in the tray after start-up";
    EXPECT_TRUE(m_tray.isPresent());

    m_hiding.hideToTray();
    EXPECT_FALSE(m_window.isVisible());
    EXPECT_TRUE(m_tray.isPresent());

    m_hiding.hideToTray();
    EXPECT_FALSE(m_window.isVisible()) << "hiding twice is harmless";
    EXPECT_TRUE(m_tray.isPresent());

    m_tray.fire(TrayIcon::Mouse::DoubleClick);
    EXPECT_TRUE(onScreen());
    EXPECT_FALSE(m_tray.isPresent());

    m_hiding.showFromTray();
    EXPECT_TRUE(onScreen()) << "showing twice is harmless";
    EXPECT_FALSE(m_tray.isPresent());
}

TEST_F(TrayHidingTest, ShowFromBothLeavesOnlyTheWindow)
{
    m_hiding.showFromTray();
    EXPECT_TRUE(onScreen());
    EXPECT_FALSE(m_tray.isPresent());
}

TEST_F(TrayHidingTest, MinimisingHidesToTheTrayAndShowingRestoresTheNormalSize)
{
    m_hiding.showFromTray();
    m_window.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_window.isVisible());
    EXPECT_TRUE(m_tray.isPresent());

    m_tray.fire(TrayIcon::Mouse::DoubleClick);
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_FALSE(m_window.isMinimized());
    EXPECT_FALSE(m_tray.isPresent());
}

TEST_F(TrayHidingTest, SingleLeftClickDoesNothingAndRightClickOpensTheMenuAtThePointer)
{
    m_hiding.hideToTray();
    m_tray.fire(TrayIcon::Mouse::LeftClick, QPoint(40, 50));
    m_tray.fire(TrayIcon::Mouse::Other, QPoint(40, 50));
    EXPECT_FALSE(m_window.isVisible());
    EXPECT_FALSE(m_menu.isVisible());

    m_tray.fire(TrayIcon::Mouse::RightClick, QPoint(40, 50));
    EXPECT_TRUE(m_menu.isVisible());
    EXPECT_EQ(m_menu.pos(), QPoint(40, 50));
    EXPECT_FALSE(m_window.isVisible()) << "the menu opens without showing the window";
    m_menu.hide();
}

TEST_F(WithoutTray, HidingMinimisesSoTheWindowCanBeFoundAgain)
{
    EXPECT_FALSE(m_tray.isPresent());
    m_hiding.hideToTray();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_TRUE(m_window.isMinimized());

    m_hiding.showFromTray();
    EXPECT_TRUE(onScreen());
}

TEST_F(WithoutTray, MinimisingLeavesTheWindowMinimised)
{
    m_window.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_TRUE(m_window.isMinimized());
    EXPECT_FALSE(m_tray.isPresent());
}

TEST_F(WithoutTray, TrayThatAppearsLaterIsUsed)
{
    m_tray.setAvailable(true);
    m_hiding.hideToTray();
    EXPECT_FALSE(m_window.isVisible());
    EXPECT_TRUE(m_tray.isPresent());
}
