#pragma once

#include "databind/DataLink.h"
#include "databind/DataSource.h"
#include "databind/DatabaseError.h"
#include "databind/RecordSet.h"

#include <QStringList>

#include <optional>

// Stands in for a bound control: logs every notification, shows its field's display text, and holds typed text
// as a pending change until the set asks for the write-back.
class FakeControl : public DataLink
{
public:
    explicit FakeControl(DataSource& source, QString fieldName = QString()) : m_fieldName(std::move(fieldName))
    {
        setDataSource(&source);
        events.clear();
    }

    // Typing: asks to edit first, as auto-edit does; false when refused.
    bool type(const QString& text)
    {
        if (!dataSource()->edit())
            return false;
        pending = text;
        return true;
    }

    Field* field() const
    {
        const RecordSet* set = recordSet();
        return set && set->isOpen() && !m_fieldName.isEmpty() ? set->findField(m_fieldName) : nullptr;
    }

    void activeChanged() override
    {
        events << QStringLiteral("active");
        reread();
    }
    void stateChanged() override { events << QStringLiteral("state"); }
    void dataSetChanged() override
    {
        events << QStringLiteral("dataset");
        reread();
    }
    void recordMoved(int distance) override
    {
        events << QStringLiteral("moved %1").arg(distance);
        reread();
    }
    void recordChanged(Field* changed) override
    {
        events << (changed ? QStringLiteral("changed ") + changed->fieldName() : QStringLiteral("record"));
        if (!changed || changed == field())
            reread();
    }
    void updateData() override
    {
        events << QStringLiteral("update");
        if (failWriteBack)
            throw DatabaseError(QStringLiteral("write-back refused"));
        if (pending && field())
            field()->setText(*pending);
    }

    QStringList events;
    QString shown;
    std::optional<QString> pending;
    bool failWriteBack = false;

private:
    void reread()
    {
        const Field* f = field();
        shown = f ? f->displayText() : QString();
        pending.reset();
    }

    QString m_fieldName;
};
