#pragma once

#include "engine/Backend.h"
#include "engine/UndoJournal.h"

#include <map>
#include <memory>
#include <optional>

class SearchIndex;
class Statement;
struct sqlite3;

// The diary in an SQLite file: rows are told apart by the table's rowid.
class SqliteBackend : public Backend
{
public:
    SqliteBackend(std::shared_ptr<sqlite3> db, QString path);
    ~SqliteBackend() override;

    // Opens the diary file at path, which must exist and hold the required table; refuses a file this process may
    // only read. busyTimeout: how long a read or write waits for another process's lock before it fails.
    static std::shared_ptr<SqliteBackend> open(const QString& path, const TableSchema& required,
                                               int busyTimeoutMilliseconds);

    QString filePath() const override { return m_path; }

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
    QString databaseName() override { return m_path; }
    std::vector<qint64> searchJobs(const SearchWords& words, int limit) override;
    void prepareSearch(const SearchProgress& progress) override;
    void writeBatch(const QByteArray& token, const std::function<void(Batch&)>& work) override;
    void interrupt() override;
    bool readyJournal() override;

private:
    // The rows of a prepared select to sink, described first.
    void readRows(Statement& statement, const Dialect::Translation& translation, RowSink& sink);
    std::vector<QVariant> rereadRow(const RowWrite& write, qint64 rowIdentity) const;
    // Inside a write's transaction: a changed event is recorded for the search index.
    void noteChanged(const QString& table, qint64 rowIdentity) const;
    // The step of the undo journal a write of that table is to record: none without a label, or for another table.
    std::optional<UndoJournal::Recording> recordingFor(const QString& table);
    // A row of the program's table as the undo journal keeps it; empty when there is none.
    UndoJournal::Image readImage(qint64 key);
    // One of the undo journal's own statements, kept prepared; the first value of its first row, an integer.
    QVariant runJournalStatement(const QString& sql, const QList<QVariant>& parameters);
    // Whether the row is there and holds one of the states (any, when there are none).
    bool holdsOneOf(const RowWrite& write, qint64 rowIdentity, const RowStates& states) const;

    std::shared_ptr<sqlite3> m_db;
    QString m_path;
    std::optional<TableSchema> m_known; // the program's table, when opened as the diary
    // Made at the first search: it holds a stemmer.
    std::unique_ptr<SearchIndex> m_search;
    std::unique_ptr<UndoJournal> m_journal; // for the program's table
    bool m_journalReady = false;
    std::unique_ptr<Statement> m_imageStatement; // made at the first image read
    std::map<QString, std::unique_ptr<Statement>> m_journalStatements;
};
