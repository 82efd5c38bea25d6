#include "settings/XdgAutostart.h"

#include "base/Error.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A program folder at prefix/bin, with the wrapper beside the program when installed.
QString makeProgram(const QString& prefix, bool installed)
{
    const QString bin = prefix + QStringLiteral("/bin");
    EXPECT_TRUE(QDir().mkpath(bin));
    const QString program = bin + QStringLiteral("/chronoteka");
    QStringList files{program};
    if (installed)
        files << bin + u'/' + XdgAutostart::wrapperName;
    for (const QString& path : files) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return program;
}

QStringList linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// desktop-file-validate's complaints; empty when the entry is valid.
QString validatorComplaints(const QString& path)
{
    QProcess validate;
    validate.start(QStringLiteral(DESKTOP_FILE_VALIDATE), {path});
    EXPECT_TRUE(validate.waitForFinished(30000));
    const QString said = QString::fromUtf8(validate.readAllStandardOutput() + validate.readAllStandardError());
    return validate.exitCode() == 0 && !said.contains(QStringLiteral("error")) ? QString() : said;
}

} // namespace

// The entry starts the installed program through its wrapper, and a program of a build folder in its diary folder;
// the reserved characters of a folder's name survive the quoting of Exec.
TEST(XdgAutostart, WritesAValidEntryThatStartsThisProgramAndRemovesIt)
{
    const QString odd = QStringLiteral("пре \"фикс\" $HOME `x` 100% back\\slash");
    const QString oddExec = QStringLiteral("пре \\\\\"фикс\\\\\" \\\\$HOME \\\\`x\\\\` 100%% back\\\\\\\\slash");
    const struct
    {
        bool installed;
        const char* exec; // after the prefix
        bool path;
    } cases[] = {
        {true, "/bin/chronoteka-diary", false},
        {false, "/bin/chronoteka", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.installed ? "installed" : "build folder");
        const QTemporaryDir dir;
        const QString config = dir.path() + QStringLiteral("/config");
        const QString program = makeProgram(dir.path() + u'/' + odd, c.installed);
        const QString diary = dir.path() + QStringLiteral("/дневник");
        XdgAutostart autostart(config, program, diary, QStringLiteral("Хронотека"));
        EXPECT_EQ(autostart.isInstalledProgram(), c.installed);
        EXPECT_FALSE(autostart.isOn());

        autostart.turnOn();
        const QString entry = config + QStringLiteral("/autostart/chronoteka.desktop");
        EXPECT_EQ(autostart.entryPath(), entry);
        EXPECT_TRUE(autostart.isOn());
        EXPECT_EQ(validatorComplaints(entry), QString());
        const QStringList lines = linesOf(entry);
        EXPECT_EQ(lines.value(0), QStringLiteral("[Desktop Entry]"));
        EXPECT_TRUE(lines.contains(QStringLiteral("Name=Хронотека")));
        EXPECT_TRUE(lines.contains(QStringLiteral("Type=Application")));
        EXPECT_TRUE(
            lines.contains(QStringLiteral("Exec=\"%1/%2%3\"").arg(dir.path(), oddExec, QString::fromLatin1(c.exec))))
            << lines.join(u'\n').toStdString();
        EXPECT_EQ(lines.contains(QStringLiteral("Path=") + diary), c.path);
        // The XDG folders are the user's alone.
        EXPECT_EQ(QFile::permissions(config) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());

        autostart.turnOn();
        EXPECT_TRUE(autostart.isOn());
        autostart.turnOff();
        EXPECT_FALSE(autostart.isOn());
        EXPECT_FALSE(QFile::exists(entry));
        EXPECT_NO_THROW(autostart.turnOff());
    }
}

TEST(XdgAutostart, AFailureNamesTheEntryAndTheSystemsReason)
{
    const QTemporaryDir dir;
    // A file where the configuration folder should be, and a folder where the entry should be.
    const QString file = dir.filePath(QStringLiteral("file"));
    QFile(file).open(QIODevice::WriteOnly);
    XdgAutostart blocked(file, dir.filePath(QStringLiteral("chronoteka")), dir.path(), QStringLiteral("Хронотека"));
    try {
        blocked.turnOn();
        FAIL() << "written under a file";
    } catch (const Error& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Cannot create file \"%1/file/autostart/chronoteka.desktop\". Not a "
                                               "directory")
                                    .arg(dir.path()));
    }
    EXPECT_FALSE(blocked.isOn());

    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("config/autostart/chronoteka.desktop"))));
    XdgAutostart squatted(dir.filePath(QStringLiteral("config")), dir.filePath(QStringLiteral("chronoteka")),
                          dir.path(), QStringLiteral("Хронотека"));
    EXPECT_FALSE(squatted.isOn());
    try {
        squatted.turnOff();
        FAIL() << "a folder taken for the entry";
    } catch (const Error& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Cannot delete file \"%1/config/autostart/chronoteka.desktop\". Is a "
                                               "directory")
                                    .arg(dir.path()));
    }
}

TEST(XdgAutostart, TheUsersConfigurationFolderIsXdgConfigHomeWhenItIsAnAbsolutePath)
{
    const QByteArray home = qgetenv("HOME");
    const QByteArray configured = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", "/home/иван");
    const struct
    {
        const char* configured;
        const char* used;
    } cases[] = {
        {"/srv/conf", "/srv/conf"},
        {"", "/home/иван/.config"},
        {"conf", "/home/иван/.config"},
    };
    for (const auto& c : cases) {
        qputenv("XDG_CONFIG_HOME", c.configured);
        EXPECT_EQ(XdgAutostart::userConfigHome(), QString::fromUtf8(c.used)) << c.configured;
    }
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(XdgAutostart::userConfigHome(), QStringLiteral("/home/иван/.config"));
    qputenv("HOME", home);
    if (configured.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configured);
}
