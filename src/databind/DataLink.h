#pragma once

class DataSource;
class Field;
class RecordSet;

// What a bound control implements to follow a record set through a data source. The callbacks run inside the
// record-set operation that causes them; a link may be destroyed at any time and then detaches itself.
// The defaults of dataSetChanged() and recordMoved() pass on to recordChanged(nullptr), so a control bound to one
// field only needs recordChanged().
class DataLink
{
public:
    DataLink() = default;
    virtual ~DataLink();
    DataLink(const DataLink&) = delete;
    DataLink& operator=(const DataLink&) = delete;

    DataSource* dataSource() const { return m_source; }
    // Detaches from the old source (which is left untouched) and attaches to the new one, then calls
    // activeChanged() so the control looks up its field again.
    void setDataSource(DataSource* source);
    // The record set of the data source, or nullptr.
    RecordSet* recordSet() const;
    // True when there is a data source with an open record set.
    bool isActive() const;

    // The set was opened or closed, or the link or its source was re-pointed to another set.
    virtual void activeChanged() {}
    // The set's state changed between browse, edit and insert (opening and closing come as activeChanged()).
    virtual void stateChanged() {}
    // Records were read again, inserted, posted or removed: row count and current record may both differ.
    virtual void dataSetChanged() { recordChanged(nullptr); }
    // Rows were added at the end of a list read in steps, from first on: nothing else changed.
    virtual void rowsListed(int /*first*/, int /*count*/) {}
    // The current record moved by distance rows (negative: towards the start); nothing else changed.
    virtual void recordMoved(int distance);
    // A value of the current record changed: field is the one that changed, nullptr for the whole record.
    virtual void recordChanged(Field* field);
    // The set is about to post or leave edit state: write a pending change back to the field now. May throw,
    // which abandons the operation and keeps the set's state.
    virtual void updateData() {}

private:
    friend class DataSource;
    DataSource* m_source = nullptr;
};
