#pragma once

#include "databind/DataLink.h"

#include <QString>

#include <functional>

class Field;
class QFocusEvent;
class QWidget;

// The part every field-bound control shares: its data source and field name, the field looked up whenever the
// set opens or the control is re-pointed, the pending-change flag, auto-edit and write-back. The control says
// through the callbacks how it shows the field and how it writes its value back.
class FieldLink : public DataLink
{
public:
    explicit FieldLink(QWidget& control);

    const QString& fieldName() const { return m_fieldName; }
    // Both re-point the control: the field is looked up again (failing with "<control>: Field 'x' not found")
    // and the control shows the current record, dropping a pending change. The old set is left as it is.
    void setFieldName(const QString& name);
    void setSource(DataSource* source);

    // The bound field while the set is open; nullptr otherwise, also once the source or the set is gone.
    Field* field() const { return isActive() ? m_field : nullptr; }
    // True when the set is in edit or insert state.
    bool isEditing() const;
    // The field, the set and the state allow a change: what a control asks before changing a value.
    bool canModify() const;

    // Auto-edit, asked before any change: a set in browse state is put into edit state (an empty one starts an
    // insert). False when the change is refused: the set is then not editing, the field is read-only or the set
    // can't be modified.
    bool edit();

    bool isModified() const { return m_modified; }
    // The user changed the control's value: it is written back on leaving the control and when the set asks.
    void setModified() { m_modified = true; }
    // Re-reads the field into the control, dropping a pending change.
    void reset();
    // Writes a pending change back; throws as the field's conversion does, keeping the change pending.
    void updateRecord();
    // Writes a pending change back as the control loses the focus. Switching windows or opening a menu is not
    // leaving. A failure keeps the change, has refocus bring the focus back (by default the control simply
    // takes it) and is shown; false then.
    bool leave(const QFocusEvent& event, const std::function<void()>& refocus = {});
    // The window losing activation or a menu opening: the control keeps the focus within its window.
    static bool isWindowFocusChange(const QFocusEvent& event);

    // Shows the field (nullptr: the set is closed or there is no field).
    std::function<void()> onDataChange;
    // Writes the control's value into field().
    std::function<void()> onUpdateData;
    // The set opened or closed, or its state changed.
    std::function<void()> onEditingChange;

    void activeChanged() override;
    void stateChanged() override;
    void recordChanged(Field* field) override;
    void updateData() override;

private:
    void lookUpField();

    QWidget& m_control;
    QString m_fieldName;
    Field* m_field = nullptr;
    bool m_modified = false;
    bool m_repointing = false;
};
