#pragma once

#include "diary/DiaryLocation.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantMap>

// A fresh, empty db1.mdb in a temporary diary folder. Rows go in and come out through the engine, so the tests
// don't depend on how the file stores them.
class TempDiary
{
public:
    TempDiary();
    TempDiary(const TempDiary&) = delete;
    TempDiary& operator=(const TempDiary&) = delete;

    QString folder() const { return m_dir.path(); }
    QString databasePath() const;
    // db1.mdb's, whatever database.conf says.
    QString connectionString() const;
    // The folder as start-up finds it, database.conf read now.
    DiaryLocation location() const { return DiaryLocation(folder()); }

    // Adds a row to job, values by column name: QString, bool, and QDateTime, QDate or QTime for date-times.
    // Returns its id_job.
    qint64 addRow(const QVariantMap& values);
    // A column of the row with that id_job as stored, date-times as QDateTime; null when there is no such row.
    QVariant value(qint64 id, const QString& column) const;
    int rowCount() const;
    // Changes a column of the row with that id_job as another program would, behind the open record sets.
    void setValue(qint64 id, const QString& column, const QVariant& value);

private:
    QTemporaryDir m_dir;
};
