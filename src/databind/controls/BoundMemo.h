#pragma once

#include "FieldLink.h"

#include <QPlainTextEdit>

class DataSource;

// A multi-line memo bound to a field: loads the whole text whenever the record changes, is read-only unless the
// set is editing, and writes its whole text back. Tab moves the focus on, as in the other controls.
class BoundMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit BoundMemo(QWidget* parent = nullptr);

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
    void contextMenuEvent(QContextMenuEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void showField();
    void writeField();
    bool askEdit();

    FieldLink m_link;
    bool m_loading = false;
};
