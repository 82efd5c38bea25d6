#pragma once

#include <QValidator>

// Keeps an edit box's text within a number of characters counted as the diary's columns count them (code points,
// so an emoji is one), and free of half surrogate pairs. A longer text is cut, like QLineEdit's own limit
// does, by leaving out the characters just before the cursor: what was typed or pasted last.
class CharacterLimit : public QValidator
{
    Q_OBJECT

public:
    explicit CharacterLimit(QObject* parent = nullptr) : QValidator(parent) {}

    // 0: no limit on the count; unpaired surrogates are still left out.
    void setLimit(int limit) { m_limit = limit; }
    int limit() const { return m_limit; }

    State validate(QString& input, int& position) const override;

private:
    int m_limit = 0;
};
