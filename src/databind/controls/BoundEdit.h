#pragma once

#include "FieldLink.h"
#include "TimeMask.h"

#include <QLineEdit>

#include <optional>

class DataSource;

// A single-line edit box bound to a field. Read-only unless the set is editing; shows the field's edit text while
// it has the focus and its display text otherwise. A field with an edit mask is edited through a TimeMask while
// focused. Text the program puts into the box counts as a change, like typed text.
class BoundEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit BoundEdit(QWidget* parent = nullptr);

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source) { m_link.setSource(source); }
    const QString& dataField() const { return m_link.fieldName(); }
    void setDataField(const QString& name) { m_link.setFieldName(name); }
    Field* field() const { return m_link.field(); }
    // A change the user or the program made that is not yet written back.
    bool hasPendingChange() const { return m_link.isModified(); }
    // Writes a pending change back now, as leaving the box does (without moving the focus).
    void updateRecord() { m_link.updateRecord(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showField();
    void writeField();
    void editingChanged();
    void textWasChanged();
    bool askEdit();
    void refocus();
    // Fails with the mask's message, the cursor on the first blank required position, when a changed masked text
    // is incomplete.
    void checkMask();
    void maskedKey(QKeyEvent* event);
    void applyMask(const TimeMask::Result& result);
    void pasteIntoMask(const QString& text);
    void cutFromMask();

    FieldLink m_link;
    std::optional<TimeMask> m_mask; // engaged while the masked text is shown
    bool m_entered = false;         // the box has the focus as far as the record set is concerned
    bool m_loading = false;
    bool m_refocusing = false;
    int m_fieldLimit = 0; // the limit the field's size set, 0 when the box has its own
};
