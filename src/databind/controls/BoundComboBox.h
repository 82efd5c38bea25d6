#pragma once

#include "databind/controls/CharacterLimit.h"
#include "databind/controls/FieldBound.h"

#include <QComboBox>

// A drop-down list with an edit part that takes any typed text, bound to a field: shows the field's edit text,
// listed or not, and writes its text back as it stands. Keys, text changes and list selections ask to edit
// first; when that is refused the text stays the field's.
class BoundComboBox : public FieldBound<QComboBox>
{
    Q_OBJECT

public:
    explicit BoundComboBox(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showField();
    void writeField();
    void textWasChanged();
    bool askEdit();

    bool m_loading = false;
    // The field's size, counted in characters as the column counts them.
    CharacterLimit* m_limit = new CharacterLimit(this);
};
