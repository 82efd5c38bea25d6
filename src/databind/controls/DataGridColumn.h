#pragma once

#include <QString>

class Field;

// One data column of a DataGrid: the field it shows, found by name whenever the set opens.
struct DataGridColumn
{
    QString fieldName;
    Field* field = nullptr; // while the set is open and has the field
    bool userSized = false; // the user resized it; its width no longer follows the field
};
