#pragma once

#include "FieldLink.h"

#include <QCheckBox>

class DataSource;

// A check box bound to a boolean field: ticked for true, clear for false, greyed for null, clear while the set
// is closed. A click or Space asks to edit, then toggles (greyed goes to ticked).
class BoundCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    explicit BoundCheckBox(QWidget* parent = nullptr);
    BoundCheckBox(const QString& text, QWidget* parent);

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source) { m_link.setSource(source); }
    const QString& dataField() const { return m_link.fieldName(); }
    void setDataField(const QString& name) { m_link.setFieldName(name); }
    Field* field() const { return m_link.field(); }
    bool hasPendingChange() const { return m_link.isModified(); }

protected:
    // The whole control takes the click, not only the box and its caption.
    bool hitButton(const QPoint& position) const override { return rect().contains(position); }
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showField();
    void writeField();

    FieldLink m_link;
};
