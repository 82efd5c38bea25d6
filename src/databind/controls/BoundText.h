#pragma once

#include "databind/controls/FieldBound.h"

#include <QLabel>

// A read-only text showing a field's display text.
class BoundText : public FieldBound<QLabel>
{
    Q_OBJECT

public:
    explicit BoundText(QWidget* parent = nullptr);
};
