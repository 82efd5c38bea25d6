#pragma once

#include "databind/RecordSet.h"

// Points a record set's fields at one row, or one row after another, for the lifetime of the object (a grid
// painting a row, an export reading the rows), without notifying the controls or moving the current record.
class ActiveRowScope
{
public:
    ActiveRowScope(RecordSet& recordSet, int row) : m_recordSet(recordSet), m_previous(recordSet.setActiveRow(row)) {}
    ~ActiveRowScope() { m_recordSet.setActiveRow(m_previous); }
    ActiveRowScope(const ActiveRowScope&) = delete;
    ActiveRowScope& operator=(const ActiveRowScope&) = delete;

    void moveTo(int row) { m_recordSet.setActiveRow(row); }

private:
    RecordSet& m_recordSet;
    int m_previous;
};
