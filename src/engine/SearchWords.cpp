#include "engine/SearchWords.h"

SearchWords SearchWords::of(const QString& typed)
{
    SearchWords result;
    QString word;
    for (const QChar c : typed) {
        if (c.isLetterOrNumber() || c.isMark()) {
            word += c;
        } else if (!word.isEmpty()) {
            result.words << fold(word);
            word.clear();
        }
    }
    if (!word.isEmpty()) {
        result.words << fold(word);
        result.lastIsPrefix = true;
    }
    return result;
}

QString SearchWords::fold(const QString& word)
{
    QString folded = word;
    for (QChar& c : folded)
        c = QChar(static_cast<char16_t>(foldCharacter(c.unicode())));
    return folded;
}

char32_t SearchWords::foldCharacter(char32_t c)
{
    // İ has no lower case of one character of its own (i and a dot above), so it is taken as I.
    if (c == U'İ')
        return U'i';
    const char32_t lower = QChar::toLower(c);
    return lower == U'ё' ? U'е' : lower;
}
