#include "databind/controls/CharacterLimit.h"

#include "base/CodePoints.h"

#include <algorithm>

QValidator::State CharacterLimit::validate(QString& input, int& position) const
{
    position = std::clamp(position, 0, static_cast<int>(input.size()));
    if (!CodePoints::isWellFormed(input)) {
        const qsizetype before = CodePoints::wellFormed(input.left(position)).size();
        input = CodePoints::wellFormed(input);
        position = static_cast<int>(before);
    }
    qsizetype excess = m_limit > 0 ? CodePoints::count(input) - m_limit : 0;
    if (excess <= 0)
        return Acceptable;
    // Whole characters before the cursor go first, then from the end if the cursor is too near the start.
    qsizetype from = position;
    while (excess > 0 && from > 0) {
        from -= from >= 2 && input[from - 1].isLowSurrogate() && input[from - 2].isHighSurrogate() ? 2 : 1;
        --excess;
    }
    input.remove(from, position - from);
    position = static_cast<int>(from);
    if (excess > 0)
        input = CodePoints::left(input, CodePoints::count(input) - excess);
    return Acceptable;
}
