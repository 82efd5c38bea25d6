#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantMap>

// A fresh, empty db1.mdb in a temporary folder that is the current directory for the object's lifetime, so the
// data module's relative connection string finds it. Rows go in and come out through the engine, so the tests
// don't depend on how the file stores them.
class TempDiary
{
public:
    TempDiary();
    ~TempDiary();
    TempDiary(const TempDiary&) = delete;
    TempDiary& operator=(const TempDiary&) = delete;

    static QString connectionString();
    QString folder() const { return m_dir.path(); }
    QString databasePath() const;

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
    QString m_previousDir;
};
