#include "databind/controls/TimeMask.h"

#include <QStringList>

TimeMask::TimeMask(const QString& mask, QChar timeSeparator, QChar dateSeparator)
{
    const QStringList sections = mask.split(QLatin1Char(';'));
    QString positions = sections.value(0);
    if (sections.size() > 1)
        m_keepLiterals = sections.at(1) != QLatin1String("0");
    if (sections.size() > 2 && !sections.at(2).isEmpty())
        m_blank = sections.at(2).front();

    if (positions.startsWith(QLatin1Char('!'))) {
        m_rightAlign = true;
        positions.remove(0, 1);
    }
    for (int i = 0; i < positions.size(); ++i) {
        const QChar c = positions.at(i);
        if (c == QLatin1Char('0'))
            m_positions.push_back({Kind::Required, QChar()});
        else if (c == QLatin1Char('9'))
            m_positions.push_back({Kind::Optional, QChar()});
        else if (c == QLatin1Char(':'))
            m_positions.push_back({Kind::Literal, timeSeparator});
        else if (c == QLatin1Char('/'))
            m_positions.push_back({Kind::Literal, dateSeparator});
        else if (c == QLatin1Char('\\') && i + 1 < positions.size())
            m_positions.push_back({Kind::Literal, positions.at(++i)});
        else
            m_positions.push_back({Kind::Literal, c});
    }
    m_digits.resize(m_positions.size());
    clear();
}

bool TimeMask::isLiteral(int position) const
{
    return m_positions[static_cast<std::size_t>(position)].kind == Kind::Literal;
}

bool TimeMask::isRequired(int position) const
{
    return m_positions[static_cast<std::size_t>(position)].kind == Kind::Required;
}

bool TimeMask::isBlank(int position) const
{
    return !isLiteral(position) && m_digits[static_cast<std::size_t>(position)].isNull();
}

QString TimeMask::text() const
{
    QString shown;
    for (int i = 0; i < length(); ++i)
        shown += isBlank(i) ? m_blank : m_digits[static_cast<std::size_t>(i)];
    return shown;
}

QString TimeMask::valueText() const
{
    QString value;
    for (int i = 0; i < length(); ++i) {
        if (isLiteral(i) && !m_keepLiterals)
            continue;
        value += isBlank(i) ? QLatin1Char(' ') : m_digits[static_cast<std::size_t>(i)];
    }
    return value;
}

void TimeMask::clear()
{
    for (int i = 0; i < length(); ++i)
        m_digits[static_cast<std::size_t>(i)] =
            isLiteral(i) ? m_positions[static_cast<std::size_t>(i)].literal : QChar();
}

void TimeMask::load(const QString& raw)
{
    clear();
    // The groups of digit positions between literals, and the raw text's parts split at the same literals.
    std::vector<std::pair<int, int>> groups; // [start, end)
    QString literals;
    for (int i = 0; i < length();) {
        if (isLiteral(i)) {
            literals += m_positions[static_cast<std::size_t>(i)].literal;
            ++i;
            continue;
        }
        const int start = i;
        while (i < length() && !isLiteral(i))
            ++i;
        groups.emplace_back(start, i);
    }
    QStringList parts;
    QString part;
    for (const QChar c : raw) {
        if (literals.contains(c)) {
            parts.append(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.append(part);

    for (std::size_t g = 0; g < groups.size() && g < static_cast<std::size_t>(parts.size()); ++g) {
        const auto [start, end] = groups[g];
        const QString& digits = parts.at(static_cast<qsizetype>(g));
        const int width = end - start;
        if (digits.size() > width)
            continue;
        const int first = m_rightAlign ? end - static_cast<int>(digits.size()) : start;
        for (int k = 0; k < digits.size(); ++k) {
            if (digits.at(k).isDigit())
                m_digits[static_cast<std::size_t>(first + k)] = digits.at(k);
        }
    }
}

int TimeMask::firstBlankRequired() const
{
    for (int i = 0; i < length(); ++i) {
        if (isRequired(i) && isBlank(i))
            return i;
    }
    return -1;
}

int TimeMask::nextEditable(int position) const
{
    while (position < length() && isLiteral(position))
        ++position;
    return position;
}

void TimeMask::blankRange(int start, int end)
{
    for (int i = std::max(start, 0); i < std::min(end, length()); ++i) {
        if (!isLiteral(i))
            m_digits[static_cast<std::size_t>(i)] = QChar();
    }
}

TimeMask::Result TimeMask::type(QChar character, int selectionStart, int selectionEnd)
{
    if (character.isDigit() && character.unicode() < 128) {
        const int target = nextEditable(selectionStart);
        if (target >= length())
            return {false, selectionStart};
        blankRange(selectionStart, selectionEnd);
        m_digits[static_cast<std::size_t>(target)] = character;
        return {true, nextEditable(target + 1)};
    }
    for (int i = selectionStart; i < length(); ++i) {
        if (isLiteral(i) && m_positions[static_cast<std::size_t>(i)].literal == character)
            return {true, i + 1};
    }
    return {false, selectionStart};
}

TimeMask::Result TimeMask::deleteForward(int selectionStart, int selectionEnd)
{
    blankRange(selectionStart, selectionEnd > selectionStart ? selectionEnd : selectionStart + 1);
    return {true, selectionStart};
}

TimeMask::Result TimeMask::deleteBackward(int selectionStart, int selectionEnd)
{
    if (selectionEnd > selectionStart) {
        blankRange(selectionStart, selectionEnd);
        return {true, selectionStart};
    }
    int position = std::min(selectionStart, length()) - 1;
    while (position >= 0 && isLiteral(position))
        --position;
    if (position < 0)
        return {false, selectionStart};
    blankRange(position, position + 1);
    return {true, position};
}
