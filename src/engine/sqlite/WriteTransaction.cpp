#include "engine/sqlite/WriteTransaction.h"

#include "engine/sqlite/Statement.h"

#include <sqlite3.h>

WriteTransaction::WriteTransaction(sqlite3* db) : m_db(db)
{
    Statement::execute(db, QStringLiteral("BEGIN IMMEDIATE"));
}

WriteTransaction::~WriteTransaction()
{
    if (m_open)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::commit()
{
    Statement::execute(m_db, QStringLiteral("COMMIT"));
    m_open = false;
}
