#include "databind/DataSource.h"

#include "databind/DataLink.h"
#include "databind/RecordSet.h"

#include <algorithm>

DataSource::DataSource(QString name, RecordSet* recordSet) : m_name(std::move(name))
{
    if (recordSet) {
        m_recordSet = recordSet;
        recordSet->attach(this);
    }
}

DataSource::~DataSource()
{
    if (m_recordSet)
        m_recordSet->detach(this);
    for (DataLink* link : m_links) {
        if (link)
            link->m_source = nullptr;
    }
}

void DataSource::addLink(DataLink* link)
{
    if (link->m_source == this)
        return;
    if (link->m_source)
        link->m_source->removeLink(link);
    m_links.push_back(link);
    link->m_source = this;
}

void DataSource::removeLink(DataLink* link)
{
    const auto found = std::find(m_links.begin(), m_links.end(), link);
    if (found == m_links.end())
        return;
    if (m_notifying > 0) {
        *found = nullptr;
        m_linksRemoved = true;
    } else
        m_links.erase(found);
    link->m_source = nullptr;
}

bool DataSource::edit()
{
    if (!m_recordSet || !m_recordSet->canModify())
        return false;
    if (m_recordSet->state() == RecordSet::State::Browse)
        m_recordSet->edit();
    return m_recordSet->isEditing();
}

template <class Call> void DataSource::forEachLink(Call call)
{
    struct Depth
    {
        DataSource& source;
        explicit Depth(DataSource& s) : source(s) { ++source.m_notifying; }
        ~Depth()
        {
            if (--source.m_notifying == 0 && source.m_linksRemoved) {
                std::erase(source.m_links, nullptr);
                source.m_linksRemoved = false;
            }
        }
    } depth(*this);
    // Index loop: a link may attach or detach links while it is being notified.
    for (std::size_t i = 0; i < m_links.size(); ++i) {
        if (DataLink* link = m_links[i])
            call(*link);
    }
}

void DataSource::notifyActiveChanged()
{
    forEachLink([](DataLink& link) { link.activeChanged(); });
}

void DataSource::notifyStateChanged()
{
    forEachLink([](DataLink& link) { link.stateChanged(); });
}

void DataSource::notifyDataSetChanged()
{
    forEachLink([](DataLink& link) { link.dataSetChanged(); });
}

void DataSource::notifyRecordMoved(int distance)
{
    forEachLink([distance](DataLink& link) { link.recordMoved(distance); });
}

void DataSource::notifyRowsListed(int first, int count)
{
    forEachLink([first, count](DataLink& link) { link.rowsListed(first, count); });
}

void DataSource::notifyRecordChanged(Field* field)
{
    forEachLink([field](DataLink& link) { link.recordChanged(field); });
}

void DataSource::notifyUpdateData()
{
    forEachLink([](DataLink& link) { link.updateData(); });
}
