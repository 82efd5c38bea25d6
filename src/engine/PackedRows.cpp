#include "engine/PackedRows.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstring>

namespace {

// Rows are packed into arenas of this size; a larger row has one of its own.
constexpr std::size_t arenaSize = 64 * 1024;

std::uint32_t textEnd(const char* row, std::uint32_t offset)
{
    std::uint32_t end;
    std::memcpy(&end, row + offset, sizeof end);
    return end;
}

} // namespace

PackedRows::PackedRows(const std::vector<ColumnInfo>& columns)
{
    m_nullBytes = (columns.size() + 7) / 8;
    auto offset = static_cast<std::uint32_t>(m_nullBytes);
    int previousText = -1;
    for (const ColumnInfo& info : columns) {
        Column column{Form::Text, offset, previousText};
        switch (info.kind) {
        case ColumnKind::Boolean:
            column.form = Form::Flag;
            break;
        case ColumnKind::AutoIncrement:
        case ColumnKind::Integer:
            column.form = Form::Integer;
            break;
        case ColumnKind::Float:
        case ColumnKind::DateTime:
            column.form = Form::Real;
            break;
        case ColumnKind::Text:
        case ColumnKind::Memo:
            previousText = static_cast<int>(m_columns.size());
            break;
        }
        offset += column.form == Form::Flag ? 1 : column.form == Form::Text ? sizeof(std::uint32_t) : 8;
        m_columns.push_back(column);
    }
    m_fixedSize = offset;
}

char* PackedRows::allocate(std::size_t size)
{
    if (size > m_left) {
        const std::size_t arena = std::max(size, arenaSize);
        m_arenas.push_back(std::make_unique_for_overwrite<char[]>(arena));
        m_free = m_arenas.back().get();
        m_left = arena;
    }
    char* block = m_free;
    m_free += size;
    m_left -= size;
    return block;
}

const char* PackedRows::pack(std::span<const Backend::Cell> cells)
{
    std::size_t textBytes = 0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].form == Form::Text && !cells[c].isNull)
            textBytes += static_cast<std::size_t>(cells[c].text.size());
    }
    char* row = allocate(m_fixedSize + textBytes);
    std::memset(row, 0, m_nullBytes);
    std::uint32_t end = 0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const Backend::Cell& cell = cells[c];
        const Column& column = m_columns[c];
        char* at = row + column.offset;
        if (cell.isNull) {
            row[c / 8] = static_cast<char>(row[c / 8] | (1 << (c % 8)));
            if (column.form == Form::Text)
                std::memcpy(at, &end, sizeof end);
            continue;
        }
        switch (column.form) {
        case Form::Flag:
            *at = cell.integer != 0 ? 1 : 0;
            break;
        case Form::Integer:
            std::memcpy(at, &cell.integer, sizeof cell.integer);
            break;
        case Form::Real:
            std::memcpy(at, &cell.real, sizeof cell.real);
            break;
        case Form::Text:
            if (!cell.text.isEmpty())
                std::memcpy(row + m_fixedSize + end, cell.text.data(), static_cast<std::size_t>(cell.text.size()));
            end += static_cast<std::uint32_t>(cell.text.size());
            std::memcpy(at, &end, sizeof end);
            break;
        }
    }
    return row;
}

const char* PackedRows::packValues(const std::vector<QVariant>& values)
{
    std::vector<Backend::Cell> cells(m_columns.size());
    std::vector<QByteArray> texts(m_columns.size());
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const QVariant& value = values[c];
        Backend::Cell& cell = cells[c];
        cell.isNull = value.isNull();
        if (cell.isNull)
            continue;
        switch (m_columns[c].form) {
        case Form::Flag:
            cell.integer = value.toBool() ? 1 : 0;
            break;
        case Form::Integer:
            cell.integer = value.toLongLong();
            break;
        case Form::Real:
            cell.real = value.toDouble();
            break;
        case Form::Text:
            texts[c] = value.toString().toUtf8();
            cell.text = texts[c];
            break;
        }
    }
    return pack(cells);
}

int PackedRows::add(std::span<const Backend::Cell> cells)
{
    m_rows.push_back(pack(cells));
    return static_cast<int>(m_rows.size()) - 1;
}

int PackedRows::add(const std::vector<QVariant>& values)
{
    m_rows.push_back(packValues(values));
    return static_cast<int>(m_rows.size()) - 1;
}

void PackedRows::replace(int slot, const std::vector<QVariant>& values)
{
    m_rows[static_cast<std::size_t>(slot)] = packValues(values);
}

void PackedRows::clear(int slot)
{
    m_rows[static_cast<std::size_t>(slot)] = nullptr;
}

QVariant PackedRows::value(int slot, int column) const
{
    const char* row = m_rows[static_cast<std::size_t>(slot)];
    if (!row || (row[column / 8] & (1 << (column % 8))) != 0)
        return {};
    const Column& info = m_columns[static_cast<std::size_t>(column)];
    const char* at = row + info.offset;
    switch (info.form) {
    case Form::Flag:
        return QVariant(*at != 0);
    case Form::Integer: {
        qint64 number;
        std::memcpy(&number, at, sizeof number);
        return QVariant(number);
    }
    case Form::Real: {
        double number;
        std::memcpy(&number, at, sizeof number);
        return QVariant(number);
    }
    case Form::Text:
        break;
    }
    const std::uint32_t begin =
        info.previousText < 0 ? 0 : textEnd(row, m_columns[static_cast<std::size_t>(info.previousText)].offset);
    const std::uint32_t end = textEnd(row, info.offset);
    return QVariant(QString::fromUtf8(row + m_fixedSize + begin, static_cast<qsizetype>(end - begin)));
}

std::vector<QVariant> PackedRows::values(int slot) const
{
    std::vector<QVariant> values;
    values.reserve(m_columns.size());
    for (int c = 0; c < width(); ++c)
        values.push_back(value(slot, c));
    return values;
}
