#pragma once

#include "FieldLink.h"

#include <QComboBox>

class DataSource;

// A drop-down list with an edit part that takes any typed text, bound to a field: shows the field's edit text,
// listed or not, and writes its text back as it stands. Keys, text changes and list selections ask to edit
// first; when that is refused the text stays the field's.
class BoundComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit BoundComboBox(QWidget* parent = nullptr);

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source) { m_link.setSource(source); }
    const QString& dataField() const { return m_link.fieldName(); }
    void setDataField(const QString& name) { m_link.setFieldName(name); }
    Field* field() const { return m_link.field(); }
    bool hasPendingChange() const { return m_link.isModified(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showField();
    void writeField();
    void textWasChanged();
    bool askEdit();

    FieldLink m_link;
    bool m_loading = false;
};
