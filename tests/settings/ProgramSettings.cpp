#include "settings/ProgramSettings.h"

#include "base/Error.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ProgramSettingsTest : public ::testing::Test
{
protected:
    QString path() const { return QDir(folder.path()).filePath(QStringLiteral("chronoteka.conf")); }

    QTemporaryDir folder;
};

} // namespace

TEST_F(ProgramSettingsTest, ValuesAreStoredAndReadBackAndUnknownLinesKept)
{
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("later=2026-12-08T09:00\nno equals sign\n=no key\nwidth = 40 \n");
    }
    ProgramSettings settings(path());
    settings.load();
    EXPECT_EQ(settings.value(QStringLiteral("width")), QStringLiteral("40"));
    EXPECT_EQ(settings.value(QStringLiteral("absent")), std::nullopt);

    settings.storeFlag(QStringLiteral("checkAtStart"), false);
    settings.store(QStringLiteral("width"), QStringLiteral("Привет"));
    settings.store(QStringLiteral("later"), std::nullopt);
    EXPECT_EQ(contents(path()), QStringLiteral("width=Привет\ncheckAtStart=0\n").toUtf8());

    ProgramSettings again(path());
    again.load();
    EXPECT_FALSE(again.flag(QStringLiteral("checkAtStart"), true));
    EXPECT_TRUE(again.flag(QStringLiteral("width"), true)); // not a flag: the default holds
    EXPECT_FALSE(again.flag(QStringLiteral("absent"), false));
}

TEST_F(ProgramSettingsTest, AFileThatCantBeWrittenOrReadIsReportedAndTheSettingsStayAsTheyWere)
{
    ProgramSettings missing(path());
    missing.load();
    EXPECT_EQ(missing.value(QStringLiteral("x")), std::nullopt);
    missing.store(QStringLiteral("x"), QStringLiteral("1"));

    // A folder in the file's place can be neither read nor replaced, not even by root.
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QDir().mkdir(path()));
    try {
        missing.store(QStringLiteral("x"), QStringLiteral("2"));
        FAIL() << "stored into a folder";
    } catch (const Error& error) {
        EXPECT_TRUE(error.text().startsWith(QStringLiteral("Cannot create file \"%1\".").arg(path())))
            << error.text().toStdString();
    }
    EXPECT_EQ(missing.value(QStringLiteral("x")), QStringLiteral("1"));
    ProgramSettings folderInPlace(path());
    EXPECT_THROW(folderInPlace.load(), Error);
    EXPECT_EQ(folderInPlace.value(QStringLiteral("x")), std::nullopt);

    // A file too long to be ours is not read, and so never replaced by the few lines the program would store.
    ASSERT_TRUE(QDir(path()).removeRecursively());
    const QByteArray tooLong = QByteArray(ProgramSettings::maxSize, 'x') + "\nsnoozes=day 2026-03-11T09:00:00Z\n";
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(tooLong), tooLong.size());
    }
    ProgramSettings unread(path());
    EXPECT_THROW(unread.load(), Error);
    EXPECT_THROW(unread.storeFlag(QStringLiteral("startAtLogin"), true), Error);
    EXPECT_EQ(contents(path()), tooLong);
}
