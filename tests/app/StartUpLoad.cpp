#include "app/Application.h"
#include "look/ProgramIcon.h"
#include "support/Program.h"
#include "units/UnitMain.h"

#include <QFile>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

QByteArray loadedFiles()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
}

// Qt loads every image-format plugin, with the SVG and JPEG libraries, as soon as it reads one image file; the
// workbook library brings libcrypto along. Neither may be paid for by a start that shows the main window. (Like
// every test here, it runs in a process of its own under ctest; after other tests in one process it can't pass.)
TEST(StartUpLoad, ShowingTheMainWindowReadsNoImageAndLoadsNoWorkbookLibrary)
{
    TempDiary diary;
    Program program(diary);
    program.showMainWindow();
    program.singletons.mainWindow().grab();
    Application::windowIcon().pixmap(32);

    const QByteArray files = loadedFiles();
    ASSERT_TRUE(files.contains("libQt6Widgets")) << "the list of loaded files could not be read";
    EXPECT_FALSE(files.contains("/imageformats/")) << files.constData();
    EXPECT_FALSE(files.contains("libxlsxwriter")) << files.constData();
}

TEST(StartUpLoad, TheProgramIconIsTheCalendarSheetWithItsClockAtEverySize)
{
    const QIcon icon = ProgramIcon::icon();
    ASSERT_FALSE(icon.availableSizes().isEmpty());
    for (const QSize& size : icon.availableSizes())
        EXPECT_EQ(icon.pixmap(size).size(), size);

    // Points of the 64 × 64 drawing: outside the sheet, the ring, the band, the sheet, the clock face, the hand.
    const QImage picture = icon.pixmap(64, 64).toImage();
    EXPECT_EQ(qAlpha(picture.pixel(1, 1)), 0);
    EXPECT_EQ(picture.pixelColor(19, 6), QColor(0x2e, 0x6b, 0x3c));
    EXPECT_EQ(picture.pixelColor(30, 15), QColor(0x3c, 0x8c, 0x4e));
    EXPECT_EQ(picture.pixelColor(12, 50), QColor(0xf4, 0xf8, 0xf4));
    EXPECT_EQ(picture.pixelColor(26, 44), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(32, 35), QColor(0xb0, 0x30, 0x30));
}

} // namespace
