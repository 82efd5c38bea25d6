#pragma once

#include <QString>

enum class ColumnKind { AutoIncrement, Integer, Float, Boolean, DateTime, Text, Memo };

// Width of a text column whose declared type gives none, and of a computed column.
inline constexpr int defaultTextSize = 255;

// What a result column is: its name in the result, where it comes from, its kind and size.
struct ColumnInfo
{
    QString name;
    QString baseColumn; // column of the table it was read from; empty for a computed column
    ColumnKind kind = ColumnKind::Text;
    int size = 0; // characters, for Text
    bool readOnly = false;
};
