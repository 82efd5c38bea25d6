#pragma once

#include "databind/controls/FieldBound.h"

#include <QPlainTextEdit>

// A multi-line memo bound to a field: loads the whole text whenever the record changes, is read-only unless the
// set is editing, and writes its whole text back. Tab moves the focus on, as in the other controls.
class BoundMemo : public FieldBound<QPlainTextEdit>
{
    Q_OBJECT

public:
    explicit BoundMemo(QWidget* parent = nullptr);

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

    bool m_loading = false;
};
