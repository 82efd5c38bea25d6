#pragma once

#include <QString>

// Where a diary is. A diary folder holds its diary in db1.mdb, unless the one-line file database.conf there names
// another: a connection string, such as one of a PostgreSQL server's diary, or the path of a diary file elsewhere,
// a relative one taken from the diary folder. The folder also keeps the settings files config.dat and
// chronoteka.conf. chronoteka-newdb takes its diaries the same way.
class DiaryLocation
{
public:
    // Reads the folder's database.conf once; the folder must be a full path. Throws Error when database.conf can't
    // be read, holds nothing or is too long for a connection string.
    explicit DiaryLocation(QString folder);

    const QString& folder() const { return m_folder; }
    // The diary's connection string: database.conf's when the file is there, db1.mdb's otherwise; a diary file is
    // always named by its full path.
    const QString& connectionString() const { return m_connectionString; }
    // The full path of the folder's config.dat.
    QString configPath() const;
    // The full path of the program's own settings file beside config.dat.
    QString settingsPath() const;

    // Text that names a Data Source is a connection string; any other text is the path of a diary file. A diary
    // file's relative path is taken from folder, a full path.
    static QString connectionStringOf(const QString& pathOrConnectionString, const QString& folder);

private:
    QString m_folder;
    QString m_connectionString;
};
