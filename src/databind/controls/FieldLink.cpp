#include "databind/controls/FieldLink.h"

#include "databind/DataSource.h"
#include "databind/DatabaseError.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "platform/ErrorReporter.h"

#include <QFocusEvent>
#include <QScopeGuard>
#include <QWidget>

FieldLink::FieldLink(QWidget& control) : m_control(control) {}

void FieldLink::setFieldName(const QString& name)
{
    m_fieldName = name;
    m_repointing = true;
    const auto done = qScopeGuard([this] { m_repointing = false; });
    activeChanged();
}

void FieldLink::setSource(DataSource* source)
{
    if (source == dataSource())
        return;
    m_repointing = true;
    const auto done = qScopeGuard([this] { m_repointing = false; });
    setDataSource(source);
}

bool FieldLink::isEditing() const
{
    const RecordSet* set = recordSet();
    return set && set->isEditing();
}

bool FieldLink::canModify() const
{
    const Field* bound = field();
    return bound && !bound->isReadOnly() && recordSet()->canModify();
}

bool FieldLink::edit()
{
    if (!canModify())
        return false;
    if (!isEditing())
        dataSource()->edit();
    return isEditing();
}

void FieldLink::reset()
{
    m_modified = false;
    if (onDataChange)
        onDataChange();
}

void FieldLink::updateRecord()
{
    if (!m_modified || !field())
        return;
    if (onUpdateData)
        onUpdateData();
    m_modified = false;
}

void FieldLink::lookUpField()
{
    m_field = nullptr;
    RecordSet* set = recordSet();
    if (!set || !set->isOpen() || m_fieldName.isEmpty())
        return;
    m_field = set->findField(m_fieldName);
    if (!m_field)
        throw DatabaseError(QStringLiteral("%1: Field '%2' not found").arg(m_control.objectName(), m_fieldName));
}

void FieldLink::activeChanged()
{
    // Re-pointing is the program's own call and fails to it; a set opening reports here, so that the set and the
    // other controls on it still finish opening.
    if (m_repointing) {
        try {
            lookUpField();
        } catch (...) {
            stateChanged();
            reset();
            throw;
        }
    } else {
        ErrorReporter::guarded([this] { lookUpField(); });
    }
    stateChanged();
    reset();
}

void FieldLink::stateChanged()
{
    if (onEditingChange)
        onEditingChange();
}

void FieldLink::recordChanged(Field* changed)
{
    if (!changed || changed == m_field)
        reset();
}

void FieldLink::updateData()
{
    updateRecord();
}

bool FieldLink::isWindowFocusChange(const QFocusEvent& event)
{
    return event.reason() == Qt::ActiveWindowFocusReason || event.reason() == Qt::PopupFocusReason;
}

bool FieldLink::leave(const QFocusEvent& event, const std::function<void()>& refocus)
{
    if (isWindowFocusChange(event))
        return true;
    try {
        updateRecord();
        return true;
    } catch (const std::exception& error) {
        // The typed value stays for correction; the focus comes back before the message is shown.
        if (refocus)
            refocus();
        else
            m_control.setFocus(Qt::OtherFocusReason);
        ErrorReporter::report(error);
        return false;
    }
}
