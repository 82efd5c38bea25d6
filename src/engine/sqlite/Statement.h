#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// One prepared SQLite statement; every failure becomes an EngineError.
class Statement
{
public:
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds a value to the 1-based parameter index: null, bool (0/1), integers, double, or text.
    void bind(int index, const QVariant& value);
    int parameterCount() const;

    // Advances to the next row; false at the end.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    sqlite3_stmt* handle() const { return m_stmt; }
    sqlite3* db() const { return m_db; }

    bool isNull(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    QString text(int column) const;
    // The stored UTF-8 bytes of a text column, undecoded.
    QByteArray utf8(int column) const;
    // The same bytes where the statement holds them, good until it steps on.
    QByteArrayView utf8View(int column) const;

    // Runs sql, which returns no rows, on db.
    static void execute(sqlite3* db, const QString& sql);

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};
