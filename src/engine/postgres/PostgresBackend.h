#pragma once

#include "engine/Backend.h"
#include "engine/UndoJournal.h"
#include "engine/postgres/ServerChecks.h"
#include "engine/postgres/ServerSession.h"

#include <memory>

// The diary in a PostgreSQL database: rows are told apart by the table's key, date-times are timestamps to the
// millisecond, flags booleans, texts varchar and text. A broken connection is opened anew by the next operation;
// a select that finds it broken tries once more on the new one, a write never does, as it may have been done: the
// record set's next try of it finds what the lost one stored (an insert by its token, an update by its values).
class PostgresBackend : public Backend
{
public:
    // connectionInfo: libpq's connection info. Refuses a database whose diary is not set up as the program needs
    // (ServerChecks).
    PostgresBackend(const QString& connectionInfo, const TableSchema& table);
    ~PostgresBackend() override;

    Dialect::Translation translate(const QString& text) const override;
    void select(const Dialect::Translation& translation, const QList<QVariant>& parameters, RowSink& sink) override;
    std::vector<qint64> selectKeys(const Dialect::Translation& translation, const QList<QVariant>& parameters) override;
    void selectRows(const Dialect::Translation& translation, std::span<const qint64> keys, RowSink& sink) override;
    std::vector<QVariant> updateRow(const RowWrite& write, qint64 rowIdentity, const std::map<int, QVariant>& values,
                                    const RowStates& expected) override;
    std::pair<qint64, std::vector<QVariant>> insertRow(const RowWrite& write, const std::map<int, QVariant>& values,
                                                       const InsertTries& tries) override;
    void deleteRow(const RowWrite& write, qint64 rowIdentity, const RowStates& expected) override;
    std::vector<std::vector<QVariant>> tableRows(const TableSchema& table) override;
    void appendTableRows(const TableSchema& table, const std::vector<std::vector<QVariant>>& rows) override;
    std::optional<QString> property(const QString& name) override;
    std::optional<QString> storeProperty(const QString& name, const QString& value, PropertyWrite write) override;
    QString databaseName() override;
    void prepareSearch(const SearchProgress& progress) override;
    void interrupt() override;
    std::vector<qint64> searchJobs(const SearchWords& typed, int limit) override;
    void writeBatch(const QByteArray& token, const std::function<void(Batch&)>& work) override;
    bool readyJournal() override;

    // The column types of a table's kinds on the server, and the statements that make the table.
    static QString createStatements(const TableSchema& table);

private:
    friend class ServerBatch;

    void readySearch();
    void readyBatchTokens();
    void selectWith(const Dialect::Translation& translation, const QList<QVariant>& parameters, RowSink& sink,
                    ServerSession::Retry retry);
    void makeInsertTokenTable();
    // Runs a statement; one refused as if the diary's set-up had changed is told by what changed.
    ServerResult run(const QByteArray& sql, const ServerSession::Parameters& parameters,
                     ServerSession::Retry retry = ServerSession::Retry::Never);
    std::pair<qint64, std::vector<QVariant>> insertOnce(const RowWrite& write, const std::map<int, QVariant>& values,
                                                        const InsertTries& tries);
    // Runs a row's write, which returns the row's key; with a label for the journal, in a transaction of its own with
    // its step. existing: the key of the row it changes, none for an insert.
    void recorded(const QString& table, std::optional<qint64> existing, const std::function<qint64()>& write);
    // Inside a transaction that records a step: waits for any other computer's step to be stored first.
    void lockJournal();
    ServerResult updateHeld(const RowWrite& write, qint64 rowIdentity, const std::map<int, QVariant>& values,
                            const RowStates& expected, const QString& firstColumns);

    std::unique_ptr<ServerSession> m_session;
    const TableSchema& m_schema;
    ServerChecks::FoundTable m_table;
    // The configuration the search reads words with, chosen at the first search.
    QString m_searchConfiguration;
    // The table of batch tokens: not looked for yet, there to use, or not there and not this user's to make.
    enum class BatchTokens { Unknown, Usable, Forbidden };
    BatchTokens m_batchTokens = BatchTokens::Unknown;
    bool m_inBatch = false;
    std::unique_ptr<UndoJournal> m_journal;
    enum class JournalTable { Unknown, Usable, Forbidden };
    JournalTable m_journalTable = JournalTable::Unknown;
};
