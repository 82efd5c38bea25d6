#pragma once

#include "engine/ColumnInfo.h"

#include <QString>
#include <QStringList>

#include <vector>

// A table as the engine makes and checks it: its columns by kind, and the indexes over them. The program hands
// the engine the description of its diary table; the engine knows no table of its own.
struct TableSchema
{
    struct Column
    {
        QString name;
        ColumnKind kind = ColumnKind::Text;
        int size = 0; // characters, for Text
    };

    QString name;
    std::vector<Column> columns;
    // Each index's columns in order; an index is named after its table and first column.
    std::vector<QStringList> indexes;
};
