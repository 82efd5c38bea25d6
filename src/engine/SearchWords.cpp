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
    QString folded = word.toLower();
    folded.replace(u'ё', u'е');
    return folded;
}
