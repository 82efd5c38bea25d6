#pragma once

#include "databind/controls/CharacterLimit.h"
#include "databind/controls/FieldBound.h"
#include "databind/controls/TimeMask.h"

#include <QLineEdit>

#include <optional>

// A single-line edit box bound to a field. Read-only unless the set is editing; shows the field's edit text while
// it has the focus and its display text otherwise. A field with an edit mask is edited through a TimeMask while
// focused. Text the program puts into the box counts as a change, like typed text.
class BoundEdit : public FieldBound<QLineEdit>
{
    Q_OBJECT

public:
    explicit BoundEdit(QWidget* parent = nullptr);

    // Writes a pending change back now, as leaving the box does (without moving the focus).
    void updateRecord() { m_link.updateRecord(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showField();
    void writeField();
    void editingChanged();
    void textWasChanged();
    bool askEdit();
    void refocus();
    // Fails with the mask's message, the cursor on the first blank required position, when a changed masked text
    // is incomplete.
    void checkMask();
    void maskedKey(QKeyEvent* event);
    void applyMask(const TimeMask::Result& result);
    void pasteIntoMask(const QString& text);
    void cutFromMask();

    std::optional<TimeMask> m_mask; // engaged while the masked text is shown
    bool m_entered = false;         // the box has the focus as far as the record set is concerned
    bool m_loading = false;
    bool m_refocusing = false;
    CharacterLimit* m_limit = new CharacterLimit(this);
};
