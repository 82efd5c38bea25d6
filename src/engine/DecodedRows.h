#pragma once

#include <QVariant>

#include <array>
#include <vector>

class PackedRows;

// The cells of the few rows read last, decoded from their packed form cell by cell as they are asked for, so that
// reading a cell again costs nothing and a reader may keep a reference to it while it reads on. The reference stays
// good for as long as the rows are: after kept other rows have been read it shows one of theirs, and after a write of
// its own row the row's new value. A row is named by a handle its reader gives, one for each packed row it may read
// from, never given again to another.
class DecodedRows
{
public:
    // A grid reads a row's cells one after another and a record's controls read the one current row, so a few rows
    // serve every reader; each row kept holds its texts decoded, some hundred bytes on a row of notes.
    static constexpr int kept = 4;

    const QVariant& value(const PackedRows& rows, int slot, qint64 handle, int column);
    // The row of handle, at slot of rows, was written: the cells decoded of it take its new values.
    void refresh(const PackedRows& rows, int slot, qint64 handle);

private:
    struct Row
    {
        qint64 handle = -1;
        unsigned lastRead = 0;
        std::vector<QVariant> cells;
        std::vector<char> decoded; // by column
    };

    Row& held(const PackedRows& rows, qint64 handle);

    std::array<Row, kept> m_rows;
    std::size_t m_last = 0; // the row read last
    unsigned m_reads = 0;
};
