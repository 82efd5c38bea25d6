#pragma once

#include "engine/Backend.h"
#include "engine/ColumnInfo.h"

#include <QVariant>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// The cells of many rows, each row packed into one block of a few large arenas: a bit a column for null, a boolean
// as one byte, an integer or a number as eight, and the texts' bytes one after another behind the row's fixed part,
// each text column keeping where its bytes end: UTF-8, or a byte a character for a text of ASCII and Cyrillic alone.
// Rows are held by slot, which never changes; a row written anew is packed again and its old block is left unused in
// its arena. Cells come out in the engine's forms (see Snapshot): a text is decoded on every read.
class PackedRows
{
public:
    PackedRows() = default;
    // Rows are packed into arenas of arena bytes each; a larger row has one of its own.
    static constexpr std::size_t defaultArena = 64 * 1024;
    explicit PackedRows(const std::vector<ColumnInfo>& columns, std::size_t arena = defaultArena);
    PackedRows(const PackedRows&) = delete;
    PackedRows& operator=(const PackedRows&) = delete;
    PackedRows(PackedRows&&) = default;
    PackedRows& operator=(PackedRows&&) = default;

    int width() const { return static_cast<int>(m_columns.size()); }

    // Adds a row of one cell a column, each in its column's form; returns its slot.
    int add(std::span<const Backend::Cell> cells);
    int add(const std::vector<QVariant>& values);
    void replace(int slot, const std::vector<QVariant>& values);
    // Every cell of the row becomes null.
    void clear(int slot);
    // Moves the rows into one block of just their bytes, leaving the arenas' unused ends and the blocks of rows
    // written anew; for rows that are read once and then only looked at, as a page of a list is.
    void shrinkToFit();

    QVariant value(int slot, int column) const;
    // The same into target, whose text, if no one shares it, takes the decoded one where it is: read row after row
    // into the same cells, texts need no new blocks.
    void read(int slot, int column, QVariant& target) const;
    std::vector<QVariant> values(int slot) const;

private:
    enum class Form : std::uint8_t { Flag, Integer, Real, Text };
    struct Column
    {
        Form form;
        std::uint32_t offset;  // of its value in the row; for a text, of where its bytes end
        int previousText = -1; // the text column before it, where its bytes begin; none: they begin first
    };

    const char* pack(std::span<const Backend::Cell> cells);
    std::size_t rowSize(const char* row) const;
    const char* packValues(const std::vector<QVariant>& values);
    char* allocate(std::size_t size);

    std::vector<Column> m_columns;
    std::size_t m_nullBytes = 0;
    std::uint32_t m_fixedSize = 0;   // the null bits and every column's fixed part; the texts follow
    int m_lastText = -1;             // the text column whose bytes end the row
    std::vector<const char*> m_rows; // by slot; none for a cleared row
    // The row being packed: its texts' bytes, and where each text column's end.
    std::vector<char> m_texts;
    std::vector<std::uint32_t> m_textEnds;
    std::size_t m_arenaSize = defaultArena;
    std::vector<std::unique_ptr<char[]>> m_arenas;
    char* m_free = nullptr;
    std::size_t m_left = 0;
};
