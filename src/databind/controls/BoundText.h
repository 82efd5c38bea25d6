#pragma once

#include "FieldLink.h"

#include <QLabel>

class DataSource;

// A read-only text showing a field's display text.
class BoundText : public QLabel
{
    Q_OBJECT

public:
    explicit BoundText(QWidget* parent = nullptr);

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source) { m_link.setSource(source); }
    const QString& dataField() const { return m_link.fieldName(); }
    void setDataField(const QString& name) { m_link.setFieldName(name); }
    Field* field() const { return m_link.field(); }

private:
    FieldLink m_link;
};
