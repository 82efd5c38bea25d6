#pragma once

#include "engine/ColumnInfo.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class Backend;

// A static copy of the rows a select returned, with the column metadata, that writes its changes back to the
// table row by row. A select of a table's own columns is read keys first: the rows' identities in order, a few bytes
// a row, and the rows themselves in pages as they are read, the pages read longest ago dropped; a row is then as it
// is when its page is read, and a row someone else deleted meanwhile reads as empty (every cell null). Any other
// select is read whole. Values: null QVariant for SQL NULL; bool for Boolean, qint64 for AutoIncrement and Integer,
// double for Float and DateTime (a DateSerial day count), QString for Text and Memo.
// Rows are addressed by position; positions shift on insert and delete. Each row keeps its table row identity,
// so write-back reaches exactly its row also when the query did not select the key.
// A snapshot holds its connection's database open, so it stays usable should it outlive the Connection object.
// It reads and writes through the connection's backend, so it is the same whichever engine holds the diary.
class Snapshot
{
public:
    using Values = std::vector<std::pair<int, QVariant>>; // (column index, value)

    ~Snapshot();
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

    // Every row: a list still being read in steps is read to its end first.
    int rowCount() const;
    // A select of the table's own columns in the order of its key is listed in steps: the first rows at once,
    // more as a row further on is read or listMore is called. The rows listed so far, which a step only adds to.
    int listedRows() const;
    // Whether there is a row at row, listing up to it when it is not listed yet.
    bool hasRow(int row) const;
    bool isListing() const;
    // Lists one more step; false once every row is listed.
    bool listMore();
    // Called with (first, count) after each step that added rows to the end of the list; it must neither destroy
    // the snapshot nor read it again.
    void setListed(std::function<void(int, int)> listed);
    int columnCount() const;
    const ColumnInfo& column(int column) const;
    int columnIndex(const QString& name) const; // -1 when there is none; case-insensitive
    // Rows are kept packed, texts as UTF-8, and a cell is decoded as it is read into the few rows read last (see
    // DecodedRows): the reference stays good while the snapshot is, showing the cell until several other rows have
    // been read since, and the row's new value after a write of it. Reading is for one thread. Reading a row no page
    // holds reads its page, which fails as a select does.
    const QVariant& value(int row, int column) const;
    // Keeps the row's values as they are now, whatever pages are dropped, until another row is kept, the row is
    // written, or the rows are read again: the record a user sees and edits, so that a write expects what the user
    // saw. A row inserted is kept.
    void keepRow(int row);
    // Reads the rows from first on into pages now, ahead of reading their cells (a grid about to paint them);
    // false when it could not because a wait on the server is in progress: their cells then read empty.
    bool readAhead(int first, int count);
    // While set, a row no page holds reads empty rather than being read.
    void setHeldRowsOnly(bool heldOnly);
    qint64 rowId(int row) const;     // 0 when the select has no row identity
    int findRow(qint64 rowId) const; // -1 when absent

    // False for a select whose rows can't be traced back to single rows of one table (joins, groups, distinct).
    bool isUpdatable() const;

    // Each write is one transaction; afterwards the row holds what the database stored.
    // A row changed or deleted by someone else since it was read is not overwritten: the write fails with
    // "Row cannot be located for updating. Some values may have been changed since it was last read." A row that
    // holds what an earlier write of this snapshot sent, whose answer was lost, counts as unchanged.
    void updateRow(int row, const Values& changes);
    // The new row stands at position. When a try's answer is lost (the server went away), the next insertRow
    // finds the row that try stored, if it did, and writes the values there rather than adding a second row.
    void insertRow(int position, const Values& values);
    // Starts a new record to insert: the next insertRow adds a row, whatever an earlier try left.
    void beginInsert();
    void deleteRow(int row);

    // Re-runs the select with the same parameters, replacing every row.
    void reread();

private:
    friend class Connection;
    struct Data;
    explicit Snapshot(std::unique_ptr<Data> data);
    static std::unique_ptr<Snapshot> create(std::shared_ptr<Backend> backend, const QString& sql,
                                            const QList<QVariant>& parameters);
    std::unique_ptr<Data> d;
};
