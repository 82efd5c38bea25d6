#pragma once

#include "databind/RecordSet.h"

// Points a record set's fields at one row for the lifetime of the object (a grid painting that row).
class ActiveRowScope
{
public:
    ActiveRowScope(RecordSet& recordSet, int row) : m_recordSet(recordSet), m_previous(recordSet.setActiveRow(row)) {}
    ~ActiveRowScope() { m_recordSet.setActiveRow(m_previous); }
    ActiveRowScope(const ActiveRowScope&) = delete;
    ActiveRowScope& operator=(const ActiveRowScope&) = delete;

private:
    RecordSet& m_recordSet;
    int m_previous;
};
