#include "engine/DecodedRows.h"

#include "engine/PackedRows.h"

DecodedRows::Row& DecodedRows::held(const PackedRows& rows, qint64 handle)
{
    if (m_rows[m_last].handle == handle)
        return m_rows[m_last];
    // Else the row kept, or the one read longest ago makes room for it.
    std::size_t found = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].handle == handle) {
            found = i;
            break;
        }
        if (m_rows[i].lastRead < m_rows[found].lastRead)
            found = i;
    }
    Row& row = m_rows[found];
    if (row.handle != handle) {
        row.handle = handle;
        row.cells.resize(static_cast<std::size_t>(rows.width()));
        row.decoded.assign(static_cast<std::size_t>(rows.width()), 0);
    }
    row.lastRead = ++m_reads;
    m_last = found;
    return row;
}

const QVariant& DecodedRows::value(const PackedRows& rows, int slot, qint64 handle, int column)
{
    Row& decoded = held(rows, handle);
    const auto c = static_cast<std::size_t>(column);
    if (!decoded.decoded[c]) {
        rows.read(slot, column, decoded.cells[c]);
        decoded.decoded[c] = 1;
    }
    return decoded.cells[c];
}

void DecodedRows::refresh(const PackedRows& rows, int slot, qint64 handle)
{
    for (Row& row : m_rows) {
        if (row.handle != handle)
            continue;
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            if (row.decoded[c])
                rows.read(slot, static_cast<int>(c), row.cells[c]);
        }
    }
}
