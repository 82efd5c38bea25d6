#pragma once

#include "databind/controls/FieldLink.h"

#include <QString>

class DataSource;

// A Qt widget bound to one field of a data source: the binding members every bound control offers, kept in the
// FieldLink that the control tells how to show and write back its value.
template <typename Widget> class FieldBound : public Widget
{
public:
    explicit FieldBound(QWidget* parent) : Widget(parent), m_link(*this) {}
    // For the widgets that are made with a caption.
    FieldBound(const QString& text, QWidget* parent) : Widget(text, parent), m_link(*this) {}

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source) { m_link.setSource(source); }
    const QString& dataField() const { return m_link.fieldName(); }
    void setDataField(const QString& name) { m_link.setFieldName(name); }
    Field* field() const { return m_link.field(); }
    // A change the user or the program made that is not yet written back.
    bool hasPendingChange() const { return m_link.isModified(); }

protected:
    FieldLink m_link;
};
