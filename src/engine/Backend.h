#pragma once

#include "engine/ColumnInfo.h"
#include "engine/Dialect.h"
#include "engine/SearchWords.h"
#include "engine/TableSchema.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

// What snapshots need of a database engine: selects run into rows, and single rows written back by their row
// identity. Values cross this edge in the engine's own forms (see Snapshot), whatever the database stores.
class Backend
{
public:
    virtual ~Backend() = default;

    // One cell of a row a select reads, in the form of its column's kind.
    struct Cell
    {
        bool isNull = true;
        qint64 integer = 0;  // Boolean (0 or 1), AutoIncrement, Integer
        double real = 0;     // Float, DateTime (a DateSerial day count)
        QByteArrayView text; // Text, Memo: UTF-8, good until the next row is read
    };

    // Where the rows of a select go as they are read.
    class RowSink
    {
    public:
        virtual ~RowSink() = default;
        // The result's columns, and which of them are read from the table the select writes back to.
        virtual void describe(std::vector<ColumnInfo> columns, std::vector<int> tableColumns) = 0;
        // The next row: one cell a column, in the form of the column's kind as described.
        virtual void addRow(qint64 rowIdentity, std::span<const Cell> cells) = 0;
    };

    // One row's write: the table, the result's columns, and the ones read from the table (in that order the
    // database's stored values come back).
    struct RowWrite
    {
        const QString& table;
        const std::vector<ColumnInfo>& columns;
        const std::vector<int>& tableColumns;
    };

    // The database file's full path; empty for a server's database.
    virtual QString filePath() const { return {}; }

    virtual Dialect::Translation translate(const QString& text) const = 0;
    // Runs a translated select with its parameters.
    virtual void select(const Dialect::Translation& translation, const QList<QVariant>& parameters, RowSink& sink) = 0;

    // For a select whose translation has keysSql and rowsSql: the row identities of its rows, in its order.
    virtual std::vector<qint64> selectKeys(const Dialect::Translation& translation,
                                           const QList<QVariant>& parameters) = 0;
    // The rows of those identities as select gives them, described first, in any order; an identity whose row is gone
    // gives none, and rows of other identities may come too, for the sink to pass over.
    virtual void selectRows(const Dialect::Translation& translation, std::span<const qint64> keys, RowSink& sink) = 0;

    // What a write expects a row to hold, column by column: one of these states. The first is the row as it was
    // read; the others come from earlier tries of the same write whose answer never came (the server went away),
    // which may or may not have been stored.
    using RowStates = std::vector<std::map<int, QVariant>>;

    // One record's insert, which may take several tries: its token is the same on every try, so that a try whose
    // answer was lost is found again rather than written twice; earlier holds the values of those tries.
    struct InsertTries
    {
        QByteArray token;
        RowStates earlier;
    };

    // Each is one transaction and returns what the database stored in the table columns. An update or delete
    // of a row that is gone, or that holds none of the expected states, fails with "Row cannot be located for
    // updating. ...".
    virtual std::vector<QVariant> updateRow(const RowWrite& write, qint64 rowIdentity,
                                            const std::map<int, QVariant>& values, const RowStates& expected) = 0;
    virtual std::pair<qint64, std::vector<QVariant>>
    insertRow(const RowWrite& write, const std::map<int, QVariant>& values, const InsertTries& tries) = 0;
    virtual void deleteRow(const RowWrite& write, qint64 rowIdentity, const RowStates& expected) = 0;

    // Every row of the table by its key, each value in the table's column order.
    virtual std::vector<std::vector<QVariant>> tableRows(const TableSchema& table) = 0;
    // Puts rows as tableRows gives them, keys included, into the table, which must be empty; one transaction.
    virtual void appendTableRows(const TableSchema& table, const std::vector<std::vector<QVariant>>& rows) = 0;

    // The database's own named values, kept beside the program's table in this small table of texts (name,
    // value), which other tools read as they are. A database made before has none until the first store.
    static constexpr const char* propertyTable = "chronoteka_property";
    static constexpr const char* propertyTableDefinition =
        "CREATE TABLE IF NOT EXISTS chronoteka_property (name text PRIMARY KEY NOT NULL, value text NOT NULL)";

    // The value stored under name; none when there is none, no table yet, or this user may not read it.
    virtual std::optional<QString> property(const QString& name) = 0;
    enum class PropertyWrite { KeepStored, Replace };
    // Stores value under name, making the table when there is none, in one transaction that also waits for any
    // other program storing one: KeepStored leaves a value already there, so all who store at once agree on the
    // first. Returns the value then stored; none when this user may not write the database.
    virtual std::optional<QString> storeProperty(const QString& name, const QString& value, PropertyWrite write) = 0;
    // What names the database itself: the file's full path; on a server, the server's own identifier and the
    // database's name, which every computer connected to it sees alike.
    virtual QString databaseName() = 0;

    // The keys of the events whose description or note holds every word in one of its forms (the last as a prefix
    // when it is one), at most limit of them.
    virtual std::vector<qint64> searchJobs(const SearchWords& words, int limit) = 0;
    // Readies what searchJobs needs, however long that takes (the first build of an index over many events), so
    // that searchJobs then answers at once: for a connection of its own on a thread of its own. progress is told
    // how much is done of how much there is, as far as the backend knows, and stops the work by returning false.
    using SearchProgress = std::function<bool(qint64 done, qint64 total)>;
    virtual void prepareSearch(const SearchProgress& progress) = 0;
    // Several writes in one transaction, for work that must be stored whole or not at all (an import, a sync).
    // Writes to the events' table keep the search in step as the program's posts do and stamp date_zap with the
    // clock; they carry no RETURNING of their own. A date-time parameter is passed as a QDateTime or a QDate.
    class Batch
    {
    public:
        virtual ~Batch() = default;
        // A statement in the program's SQL dialect, "?" standing for each parameter in order.
        virtual void run(const QString& sql, const QList<QVariant>& parameters = {}) = 0;
        // An INSERT into a table whose key the database makes; returns that key.
        virtual qint64 insert(const QString& sql, const QList<QVariant>& parameters = {}) = 0;
        // A select's rows, each value in the engine's own forms.
        virtual std::vector<std::vector<QVariant>> rows(const QString& sql, const QList<QVariant>& parameters = {}) = 0;
        // From now on the batch's writes of events keep the last-change time they give rather than being stamped:
        // an undo puts rows back as they were.
        void keepChangeTimes() { m_stamped = false; }

    protected:
        bool m_stamped = true;
    };
    // Runs work in one transaction: all of it is stored or none. token is the same on every try of the same work,
    // so that on a server a try whose answer was lost is recognised rather than run twice. work may be run again
    // when the connection breaks, so what it keeps is what its last run gave; a try found stored runs nothing.
    virtual void writeBatch(const QByteArray& token, const std::function<void(Batch&)>& work) = 0;

    // Asks what runs on this backend in another thread to stop as soon as it can, failing; callable from any thread.
    virtual void interrupt() {}

    // The label of the next write to the program's table (a row's post or delete, or a batch): that write records
    // itself, in its own transaction, as one step of the undo journal (UndoJournal). A write without one records
    // nothing, and the next write takes the label whether it reaches the table or not.
    void journalNextWrite(const QString& label) { m_journalLabel = label; }
    // Makes the undo journal's table unless there, in a transaction of its own; false when this user may not, or
    // the backend keeps no journal, and then no write records itself.
    virtual bool readyJournal() { return false; }

protected:
    QString takeJournalLabel() { return std::exchange(m_journalLabel, QString()); }

private:
    QString m_journalLabel;
};
