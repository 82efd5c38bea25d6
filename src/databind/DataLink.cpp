#include "databind/DataLink.h"

#include "databind/DataSource.h"
#include "databind/RecordSet.h"

DataLink::~DataLink()
{
    if (m_source)
        m_source->removeLink(this);
}

void DataLink::setDataSource(DataSource* source)
{
    if (source == m_source)
        return;
    if (m_source)
        m_source->removeLink(this);
    if (source)
        source->addLink(this);
    activeChanged();
}

RecordSet* DataLink::recordSet() const
{
    return m_source ? m_source->recordSet() : nullptr;
}

bool DataLink::isActive() const
{
    const RecordSet* set = recordSet();
    return set && set->isOpen();
}

void DataLink::recordMoved(int)
{
    recordChanged(nullptr);
}

void DataLink::recordChanged(Field*) {}
