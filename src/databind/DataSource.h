#pragma once

#include <QString>

#include <vector>

class DataLink;
class Field;
class RecordSet;

// Links one record set to its bound controls and passes the set's notifications on to each of them.
// Auto-edit is always on: a control's change first asks edit().
class DataSource
{
public:
    explicit DataSource(QString name, RecordSet* recordSet = nullptr);
    ~DataSource();
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    const QString& name() const { return m_name; }
    RecordSet* recordSet() const { return m_recordSet; }

    void addLink(DataLink* link);
    void removeLink(DataLink* link);

    // The auto-edit request of a control about to change a value: a set in browse state is put into edit state
    // (an empty one starts an insert). True when the set is then in edit or insert state. A closed set, or one
    // that can't be modified, refuses without an error.
    bool edit();

    // Called by the record set; each passes the event to every link.
    void notifyActiveChanged();
    void notifyStateChanged();
    void notifyDataSetChanged();
    void notifyRecordMoved(int distance);
    void notifyRowsListed(int first, int count);
    void notifyRecordChanged(Field* field);
    void notifyUpdateData();

private:
    friend class RecordSet;
    template <class Call> void forEachLink(Call call);

    QString m_name;
    RecordSet* m_recordSet = nullptr;
    std::vector<DataLink*> m_links;
    int m_notifying = 0;         // links removed while notifying are left as nullptr and swept afterwards
    bool m_linksRemoved = false; // some are left to sweep: most notifications remove none
};
