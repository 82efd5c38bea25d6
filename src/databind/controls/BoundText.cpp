#include "databind/controls/BoundText.h"

#include "databind/Field.h"

BoundText::BoundText(QWidget* parent) : FieldBound(parent)
{
    setTextFormat(Qt::PlainText);
    m_link.onDataChange = [this] {
        const Field* field = m_link.field();
        setText(field ? field->displayText() : QString());
    };
}
