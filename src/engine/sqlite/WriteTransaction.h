#pragma once

struct sqlite3;

// One write to the database: takes the write lock at once (waiting up to the busy timeout), so the statements
// inside never meet a lock half-way; rolled back unless committed.
class WriteTransaction
{
public:
    explicit WriteTransaction(sqlite3* db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    void commit();

private:
    sqlite3* m_db;
    bool m_open = true;
};
