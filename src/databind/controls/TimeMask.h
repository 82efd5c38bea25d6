#pragma once

#include <QChar>
#include <QString>

#include <vector>

// The edit mask of a time box ("!90:00;1;_") as a small engine of its own: a fixed row of positions, digits
// ("0" required, "9" optional) and literals, with blanks shown as the mask's blank character. Typing, deleting
// and jumping never shift the other positions. Pure: the widget asks it what a key does to text and cursor.
//
// Mask syntax: the position characters, then optionally ";1" or ";0" (keep the literals in the text written back
// or not) and ";c" (the blank character). A leading "!" right-aligns loaded groups, so a short group gets leading
// blanks. ":" stands for the user's time separator, "/" for the date separator; "\" makes the next character a
// plain literal; any other character is a literal as it stands.
class TimeMask
{
public:
    // An edit the engine took or refused, and where the cursor goes afterwards.
    struct Result
    {
        bool accepted = false;
        int cursor = 0;
    };

    TimeMask(const QString& mask, QChar timeSeparator, QChar dateSeparator);

    int length() const { return static_cast<int>(m_positions.size()); }
    bool isLiteral(int position) const;
    bool isRequired(int position) const;
    bool isBlank(int position) const;

    // Shown text: every position, blanks as the blank character.
    QString text() const;
    // The text a write-back converts: blanks as " ", literals kept unless the mask says ";0".
    QString valueText() const;

    // Every digit position blank.
    void clear();
    // Fills from a raw text such as "9:30": it is split at the mask's literals and each part goes into its group
    // of digit positions, right-aligned when the mask starts with "!", left-aligned otherwise; characters that
    // are not digits, and parts too long for their group, leave blanks. An empty text clears.
    void load(const QString& raw);

    // The first required position that is blank, or -1 when the text is complete.
    int firstBlankRequired() const;
    bool isComplete() const { return firstBlankRequired() < 0; }

    // The position at or after position that takes a digit; length() when there is none.
    int nextEditable(int position) const;

    // A typed character with the selection [selectionStart, selectionEnd) (empty: the cursor): a digit blanks the
    // selection and fills the first editable position from its start; the literal of the mask jumps past the next
    // such literal; anything else is refused and changes nothing.
    Result type(QChar character, int selectionStart, int selectionEnd);
    // Delete: blanks the selection, or the position at the cursor; the cursor stays at the start.
    Result deleteForward(int selectionStart, int selectionEnd);
    // Backspace: blanks the selection, or the nearest digit position left of the cursor and moves onto it.
    Result deleteBackward(int selectionStart, int selectionEnd);

private:
    enum class Kind { Required, Optional, Literal };
    struct Position
    {
        Kind kind;
        QChar literal;
    };

    void blankRange(int start, int end);

    std::vector<Position> m_positions;
    std::vector<QChar> m_digits; // one per position; QChar() for blank, the literal for literals
    bool m_rightAlign = false;
    bool m_keepLiterals = true;
    QChar m_blank = QLatin1Char('_');
};
