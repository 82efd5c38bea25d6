#pragma once

#include "databind/controls/FieldBound.h"

#include <QCheckBox>

// A check box bound to a boolean field: ticked for true, clear for false, greyed for null, clear while the set
// is closed. A click or Space asks to edit, then toggles (greyed goes to ticked).
class BoundCheckBox : public FieldBound<QCheckBox>
{
    Q_OBJECT

public:
    explicit BoundCheckBox(QWidget* parent = nullptr);
    BoundCheckBox(const QString& text, QWidget* parent);

protected:
    // The whole control takes the click, not only the box and its caption.
    bool hitButton(const QPoint& position) const override { return rect().contains(position); }
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showField();
    void writeField();
};
