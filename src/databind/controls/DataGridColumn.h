#pragma once

#include <QString>

class Field;

// One data column of a DataGrid: the field it shows, found by name whenever the set opens.
struct DataGridColumn
{
    QString fieldName;
    Field* field = nullptr; // while the set is open and has the field
    int userWidth = 0;      // the width the user gave it, which then no longer follows the field
};
