#include "databind/controls/BoundCheckBox.h"

#include "databind/Field.h"
#include "platform/ErrorReporter.h"

#include <QFocusEvent>
#include <QKeyEvent>

BoundCheckBox::BoundCheckBox(QWidget* parent) : BoundCheckBox(QString(), parent) {}

BoundCheckBox::BoundCheckBox(const QString& text, QWidget* parent) : FieldBound(text, parent)
{
    setTristate(true);
    m_link.onDataChange = [this] { showField(); };
    m_link.onUpdateData = [this] { writeField(); };
}

void BoundCheckBox::showField()
{
    const Field* field = m_link.field();
    if (!field)
        setCheckState(Qt::Unchecked);
    else if (field->isNull())
        setCheckState(Qt::PartiallyChecked);
    else
        setCheckState(field->asBoolean() ? Qt::Checked : Qt::Unchecked);
}

void BoundCheckBox::writeField()
{
    Field* field = m_link.field();
    if (checkState() == Qt::PartiallyChecked)
        field->clear();
    else
        field->setAsBoolean(checkState() == Qt::Checked);
}

void BoundCheckBox::nextCheckState()
{
    bool allowed = false;
    ErrorReporter::guarded([&] { allowed = m_link.edit(); });
    if (!allowed)
        return;
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    m_link.setModified();
}

void BoundCheckBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Backspace) {
        ErrorReporter::guarded([this] { m_link.edit(); });
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_link.reset();
        event->accept();
        return;
    }
    QCheckBox::keyPressEvent(event);
}

void BoundCheckBox::focusOutEvent(QFocusEvent* event)
{
    QCheckBox::focusOutEvent(event);
    m_link.leave(*event);
}
