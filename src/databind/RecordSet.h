#pragma once

#include "databind/Field.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class Connection;
class DataSource;
class Snapshot;

// A query over the diary database and the static snapshot of rows it returned, with one current record that can
// be edited, inserted, posted, cancelled and deleted. Bound controls follow it through data sources; every
// notification runs inside the operation that causes it.
//
// Rows are numbered from 0 in the order shown; while inserting, the blank record is one of them (recordCount()
// includes it). Errors of the set's own checks are DatabaseErrors whose text begins with "<name>: "; a failed
// operation leaves the set in the state it had.
class RecordSet
{
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Hook = std::function<void(RecordSet&)>;

    RecordSet(QString name, Connection& connection);
    ~RecordSet();
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    const QString& name() const { return m_name; }
    Connection& connection() const { return m_connection; }

    // The query text, lines run as one statement. Replacing it closes the set and re-makes the parameters from
    // the new text (":name" outside quotes, "::" standing for a plain colon); a parameter the old text also had
    // keeps its value.
    const QStringList& sql() const { return m_sql; }
    void setSql(const QStringList& lines);
    // The text as the database engine gets it: the lines joined, a "?" for each parameter.
    const QString& statement() const { return m_statement; }
    QStringList parameterNames() const;
    // A parameter's value takes effect at the next open. Names are matched regardless of case.
    void setParameter(const QString& name, const QVariant& value);
    QVariant parameter(const QString& name) const;

    // Declares a field before the set is opened: the set then has exactly its declared fields, matched to the
    // result's columns by name on opening. A set without declared fields makes one from each column.
    Field& addField(const QString& name, FieldKind kind, int size = 0);
    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    Field* field(int index) const { return m_fields[static_cast<std::size_t>(index)].get(); }
    Field* findField(const QString& name) const; // nullptr when absent
    Field& fieldByName(const QString& name) const;

    void open();
    void close();
    bool isOpen() const { return m_state != State::Inactive; }
    // No records, counting one being inserted; also true while closed.
    bool isEmpty() const;
    State state() const { return m_state; }
    // In Edit or Insert state: the current record holds changes not yet posted or cancelled.
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    bool isModified() const { return m_modified; }
    bool atStart() const { return m_atStart; }
    bool atEnd() const { return m_atEnd; }
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // Open, not read-only, and its rows can be written back.
    bool canModify() const;
    // Every record: a list still being read in steps is read to its end first.
    int recordCount() const;
    // A long list in the order of its key is read in steps (the rest as a row further on is reached, or by
    // listMore): the records listed so far, which only grow, and whether more are to come. Each step that adds
    // rows is told to the sources as rows listed.
    int listedCount() const;
    bool isListing() const;
    bool listMore();
    // The row of the record whose row identity (the table's key) is rowId, -1 when the set has none; in browse
    // state.
    int findRecord(qint64 rowId) const;
    // The current record's row, -1 when there is none.
    int recNo() const { return m_current; }

    void first();
    void prior();
    void next();
    void last();
    // Moves by distance rows (through the browse check); returns how far it moved.
    int moveBy(int distance);

    void edit();
    void insert();
    void post();
    void cancel();
    void remove();
    void refresh();

    // Runs before every post, after the controls wrote back; may write fields or throw to stop the post.
    void setBeforePost(Hook hook) { m_beforePost = std::move(hook); }
    // Runs before a delete of a stored row, on the record to be deleted; may throw to stop it.
    void setBeforeDelete(Hook hook) { m_beforeDelete = std::move(hook); }
    // Runs after a post or a delete has reached the database, once the set is back in browse state.
    void setAfterWrite(Hook hook) { m_afterWrite = std::move(hook); }

    // In edit or insert state, has every control write back, then posts if modified, else cancels.
    // Fails on a closed set.
    void checkBrowseMode();
    // Has every bound control write its pending change back now; fails outside edit and insert state.
    void updateRecord();

    // Reads the rows from first on ahead of their fields being read (a grid about to paint them); false when that
    // must wait until the wait on the server in progress has ended.
    bool readAhead(int first, int count);
    // While one lives, the set's rows not read ahead read empty rather than being read (a grid painting).
    class HeldRowsOnly
    {
    public:
        explicit HeldRowsOnly(RecordSet* set);
        ~HeldRowsOnly();
        HeldRowsOnly(const HeldRowsOnly&) = delete;
        HeldRowsOnly& operator=(const HeldRowsOnly&) = delete;

    private:
        Snapshot* m_snapshot = nullptr;
    };
    // Makes the fields read row instead of the current record, without notifying anyone (a grid painting its
    // rows); -1 makes them follow the current record again. Returns the previous setting.
    int setActiveRow(int row);
    // The row the fields read.
    int activeRow() const { return m_activeOverride >= 0 ? m_activeOverride : m_current; }

private:
    friend class Field;
    friend class DataSource;

    struct Parameter
    {
        QString name;
        QVariant value;
    };

    [[noreturn]] void fail(const QString& text) const;
    void checkOpen() const;
    void checkCanModify() const;
    void makeStatement();
    void bindFields();
    void startEditing(State state);
    void finishEditing();
    void settleFlags();             // after post, cancel, delete and refresh: both cleared, or both set on an empty set
    int snapshotRow(int row) const; // -1 for the record being inserted or no row
    bool readsBuffer() const;
    const QVariant& storedValue(const Field& field) const;
    void writeValue(Field& field, QVariant value);

    template <class Call> void notify(Call call);
    void attach(DataSource* source);
    void detach(DataSource* source);

    QString m_name;
    Connection& m_connection;
    QStringList m_sql;
    QString m_statement;        // the text as the engine gets it, "?" for each parameter
    std::vector<int> m_markers; // parameter index of each "?"
    std::vector<Parameter> m_parameters;

    std::vector<std::unique_ptr<Field>> m_fields;
    bool m_declaredFields = false;
    std::unique_ptr<Snapshot> m_snapshot;

    State m_state = State::Inactive;
    bool m_modified = false;
    bool m_atStart = false;
    bool m_atEnd = false;
    bool m_readOnly = false;
    int m_current = -1;
    int m_activeOverride = -1;
    std::vector<QVariant> m_buffer; // the record being edited or inserted, one value per field
    std::vector<bool> m_written;    // fields written since editing began: what a post sends to the database

    Hook m_beforePost;
    Hook m_beforeDelete;
    Hook m_afterWrite;
    std::vector<DataSource*> m_sources;
};
