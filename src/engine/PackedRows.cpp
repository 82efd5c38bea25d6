#include "engine/PackedRows.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// Set in where a text's bytes end when the text is kept narrow.
constexpr std::uint32_t narrowText = 1U << 31;

std::uint32_t textEnd(const char* row, std::uint32_t offset)
{
    std::uint32_t end;
    std::memcpy(&end, row + offset, sizeof end);
    return end;
}

// A text of ASCII and the Cyrillic letters U+0400-U+047F alone is kept narrow, a byte a character: ASCII as it is,
// the letters as 0x80 on, half the UTF-8 a Russian text takes. Writes it at out and returns its length; none when the
// text has other characters.
std::optional<std::size_t> narrowed(QByteArrayView utf8, char* out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto size = static_cast<std::size_t>(utf8.size());
    std::size_t length = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = bytes[i];
        if (byte < 0x80) {
            out[length++] = static_cast<char>(byte);
        } else if ((byte == 0xD0 || byte == 0xD1) && i + 1 < size && (bytes[i + 1] & 0xC0) == 0x80) {
            ++i;
            out[length++] = static_cast<char>(byte == 0xD0 ? bytes[i] : bytes[i] + 0x40);
        } else {
            return std::nullopt;
        }
    }
    return length;
}

void widen(const char* narrow, std::size_t length, QChar* out)
{
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(narrow[i]);
        out[i] = QChar(static_cast<char16_t>(byte < 0x80 ? byte : 0x0380 + byte));
    }
}

} // namespace

PackedRows::PackedRows(const std::vector<ColumnInfo>& columns, std::size_t arena) : m_arenaSize(arena)
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
    m_lastText = previousText;
    m_textEnds.resize(columns.size());
}

char* PackedRows::allocate(std::size_t size)
{
    if (size > m_left) {
        const std::size_t arena = std::max(size, m_arenaSize);
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
    // The texts are laid out first, each narrow when it can be, where the row's end is.
    std::size_t textBytes = 0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].form == Form::Text && !cells[c].isNull)
            textBytes += static_cast<std::size_t>(cells[c].text.size());
    }
    if (m_texts.size() < textBytes)
        m_texts.resize(textBytes);
    std::uint32_t end = 0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].form != Form::Text)
            continue;
        const Backend::Cell& cell = cells[c];
        std::uint32_t& stored = m_textEnds[c];
        if (cell.isNull) {
            stored = end;
            continue;
        }
        char* at = m_texts.data() + end;
        if (const auto length = narrowed(cell.text, at)) {
            end += static_cast<std::uint32_t>(*length);
            stored = end | narrowText;
        } else {
            if (!cell.text.isEmpty())
                std::memcpy(at, cell.text.data(), static_cast<std::size_t>(cell.text.size()));
            end += static_cast<std::uint32_t>(cell.text.size());
            stored = end;
        }
    }

    char* row = allocate(m_fixedSize + end);
    std::memset(row, 0, m_nullBytes);
    if (end > 0)
        std::memcpy(row + m_fixedSize, m_texts.data(), end);
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const Backend::Cell& cell = cells[c];
        const Column& column = m_columns[c];
        char* at = row + column.offset;
        if (column.form == Form::Text)
            std::memcpy(at, &m_textEnds[c], sizeof(std::uint32_t));
        if (cell.isNull) {
            row[c / 8] = static_cast<char>(row[c / 8] | (1 << (c % 8)));
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

std::size_t PackedRows::rowSize(const char* row) const
{
    if (m_lastText < 0)
        return m_fixedSize;
    return m_fixedSize + (textEnd(row, m_columns[static_cast<std::size_t>(m_lastText)].offset) & ~narrowText);
}

void PackedRows::shrinkToFit()
{
    std::size_t total = 0;
    for (const char* row : m_rows) {
        if (row)
            total += rowSize(row);
    }
    std::vector<std::unique_ptr<char[]>> arenas;
    if (total > 0) {
        arenas.push_back(std::make_unique_for_overwrite<char[]>(total));
        char* at = arenas.back().get();
        for (const char*& row : m_rows) {
            if (!row)
                continue;
            const std::size_t size = rowSize(row);
            std::memcpy(at, row, size);
            row = at;
            at += size;
        }
    }
    m_arenas = std::move(arenas);
    m_free = nullptr;
    m_left = 0;
}

QVariant PackedRows::value(int slot, int column) const
{
    QVariant value;
    read(slot, column, value);
    return value;
}

void PackedRows::read(int slot, int column, QVariant& target) const
{
    const char* row = m_rows[static_cast<std::size_t>(slot)];
    if (!row || (row[column / 8] & (1 << (column % 8))) != 0) {
        target = QVariant();
        return;
    }
    const Column& info = m_columns[static_cast<std::size_t>(column)];
    const char* at = row + info.offset;
    switch (info.form) {
    case Form::Flag:
        target = QVariant(*at != 0);
        return;
    case Form::Integer: {
        qint64 number;
        std::memcpy(&number, at, sizeof number);
        target = QVariant(number);
        return;
    }
    case Form::Real: {
        double number;
        std::memcpy(&number, at, sizeof number);
        target = QVariant(number);
        return;
    }
    case Form::Text:
        break;
    }
    const std::uint32_t begin =
        info.previousText < 0
            ? 0
            : textEnd(row, m_columns[static_cast<std::size_t>(info.previousText)].offset) & ~narrowText;
    const std::uint32_t end = textEnd(row, info.offset);
    const char* bytes = row + m_fixedSize + begin;
    const auto length = static_cast<qsizetype>((end & ~narrowText) - begin);

    if (target.typeId() != QMetaType::QString)
        target = QVariant(QString());
    auto& text = *static_cast<QString*>(target.data());
    if (!text.isDetached())
        text = QString();
    // Never fewer bytes than UTF-16 units.
    text.resize(length);
    if ((end & narrowText) != 0) {
        widen(bytes, static_cast<std::size_t>(length), text.data());
        return;
    }
    // As QString::fromUtf8 decodes: a leading byte-order mark dropped, a broken sequence replaced.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QChar* decodedEnd = utf8.appendToBuffer(text.data(), QByteArrayView(bytes, length));
    text.truncate(decodedEnd - text.constData());
}

std::vector<QVariant> PackedRows::values(int slot) const
{
    std::vector<QVariant> values;
    values.reserve(m_columns.size());
    for (int c = 0; c < width(); ++c)
        values.push_back(value(slot, c));
    return values;
}
