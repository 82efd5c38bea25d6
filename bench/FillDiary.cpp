// Creates a diary for the start-up measurement: fill-diary <path> <events>, every event listed under
// "Все мероприятия" and half of them not done.
#include "DateSerial.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDate>

#include <sqlite3.h>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: fill-diary <path> <events>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int events = QString::fromLatin1(argv[2]).toInt();
    Schema::createEmptyDatabase(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK)
        return 1;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO job (job, date_zap, date_isp, time_isp, other, vip, period, napom, interval)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, 0, 0)",
                       -1, &insert, nullptr);
    const char* periods[] = {"ежедневное", "еженедельное", "ежемесячное", "ежегодное"};
    const double today = DateSerial::fromDate(QDate(2026, 12, 7));
    for (int i = 0; i < events; ++i) {
        const QByteArray job = QStringLiteral("Мероприятие номер %1").arg(i).toUtf8();
        const QByteArray other = QStringLiteral("Примечание к мероприятию %1").arg(i).toUtf8();
        sqlite3_bind_text(insert, 1, job.constData(), static_cast<int>(job.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 2, today);
        sqlite3_bind_double(insert, 3, today + i % 365);
        sqlite3_bind_double(insert, 4, (i % 24) / 24.0);
        sqlite3_bind_text(insert, 5, other.constData(), static_cast<int>(other.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 6, i % 2);
        sqlite3_bind_text(insert, 7, periods[i % 4], -1, SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE)
            return 1;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
