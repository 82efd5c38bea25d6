#include "units/StartOptions.h"

#include "settings/ProgramSettings.h"
#include "settings/XdgAutostart.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A program in a folder of its own, installed when the wrapper is beside it, with its settings and the user's
// configuration folder in the same temporary folder.
class StartOptionsTest : public ::testing::Test
{
protected:
    XdgAutostart autostart(bool installed)
    {
        const QString bin = dir.filePath(installed ? QStringLiteral("usr/bin") : QStringLiteral("build/bin"));
        QDir().mkpath(bin);
        if (installed) {
            QFile wrapper(bin + u'/' + XdgAutostart::wrapperName);
            wrapper.open(QIODevice::WriteOnly);
            wrapper.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        return XdgAutostart(config(), bin + QStringLiteral("/chronoteka"), dir.path(), QStringLiteral("Хронотека"));
    }

    QString config() const { return dir.filePath(QStringLiteral("config")); }
    QString settingsPath() const { return dir.filePath(QStringLiteral("chronoteka.conf")); }
    std::optional<QString> stored() const
    {
        ProgramSettings settings(settingsPath());
        settings.load();
        return settings.value(StartOptions::startAtLoginKey);
    }

    QTemporaryDir dir;
    QMenu menu;
};

} // namespace

// Only an installed program's first start turns starting at login on by itself; the tick shows the entry.
TEST_F(StartOptionsTest, TheFirstStartOfAnInstalledProgramAloneWritesTheEntry)
{
    const struct
    {
        const char* what;
        bool installed;
        const char* before; // nullptr: never chosen
        bool entryBefore;
        bool entryAfter;
        std::optional<QString> storedAfter;
    } cases[] = {
        {"installed, first start", true, nullptr, false, true, QStringLiteral("1")},
        {"installed, turned off", true, "0", false, false, QStringLiteral("0")},
        {"installed, entry removed by hand", true, "1", false, false, QStringLiteral("1")},
        {"build folder", false, nullptr, false, false, std::nullopt},
        {"build folder, entry there", false, nullptr, true, true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(settingsPath());
        QDir(config()).removeRecursively();
        XdgAutostart entry = autostart(c.installed);
        if (c.entryBefore)
            entry.turnOn();
        ProgramSettings settings(settingsPath());
        if (c.before)
            settings.store(StartOptions::startAtLoginKey, QString::fromLatin1(c.before));
        menu.clear();
        const StartOptions options(settings, entry, menu);
        EXPECT_EQ(entry.isOn(), c.entryAfter);
        EXPECT_EQ(options.N12->isChecked(), c.entryAfter);
        EXPECT_EQ(stored(), c.storedAfter);
        if (!c.installed && !c.entryBefore) {
            EXPECT_FALSE(QFile::exists(config())) << "the user's autostart was touched";
            EXPECT_FALSE(QFile::exists(settingsPath()));
        }
    }
}

TEST_F(StartOptionsTest, TheItemWritesAndRemovesTheEntryAndKeepsTheChoice)
{
    XdgAutostart entry = autostart(false);
    ProgramSettings settings(settingsPath());
    StartOptions options(settings, entry, menu);
    ASSERT_EQ(menu.actions().size(), 2);
    EXPECT_EQ(menu.actions()[1]->text(), QStringLiteral("Запускать при входе в систему"));
    EXPECT_EQ(menu.actions()[0]->text(), QStringLiteral("Проверять напоминания при запуске"));

    options.N12->trigger();
    EXPECT_TRUE(entry.isOn());
    EXPECT_TRUE(options.N12->isChecked());
    EXPECT_EQ(stored(), QStringLiteral("1"));

    // Removed behind the program's back: the menu shows it as it opens.
    entry.turnOff();
    emit menu.aboutToShow();
    EXPECT_FALSE(options.N12->isChecked());
    options.N12->trigger();
    options.N12->trigger();
    EXPECT_FALSE(entry.isOn());
    EXPECT_FALSE(options.N12->isChecked());
    EXPECT_EQ(stored(), QStringLiteral("0"));
}
