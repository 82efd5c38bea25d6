#include "units/SearchMarks.h"

#include "engine/SearchWords.h"

#include <algorithm>

namespace {

// The letters an ending may change: "подарок" marks "подарки", and "подарки" marks "подарков".
constexpr qsizetype endingRoom = 2;
constexpr qsizetype shortestStem = 3;

qsizetype commonPrefix(const QString& a, const QString& b)
{
    const qsizetype length = std::min(a.size(), b.size());
    qsizetype same = 0;
    while (same < length && a[same] == b[same])
        ++same;
    return same;
}

bool isMatched(const QString& textWord, const SearchWords& words)
{
    const QString folded = SearchWords::fold(textWord);
    return std::any_of(words.words.cbegin(), words.words.cend(), [&folded](const QString& typed) {
        if (folded.startsWith(typed))
            return true;
        const qsizetype needed = std::max(std::min(shortestStem, typed.size()), typed.size() - endingRoom);
        return commonPrefix(folded, typed) >= needed;
    });
}

bool isWordPart(QChar c)
{
    // As SearchWords cuts what was typed into words.
    return c.isLetterOrNumber() || c.isMark();
}

} // namespace

QString SearchMarks::markedHtml(const QString& text, const SearchWords& words)
{
    QString html;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        const bool word = isWordPart(text[at]);
        while (end < text.size() && isWordPart(text[end]) == word)
            ++end;
        const QString run = text.mid(at, end - at);
        if (word && isMatched(run, words))
            html += QStringLiteral("<b>%1</b>").arg(run.toHtmlEscaped());
        else
            html += run.toHtmlEscaped();
        at = end;
    }
    return html;
}
