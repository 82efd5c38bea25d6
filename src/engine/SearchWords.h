#pragma once

#include <QString>
#include <QStringList>

// What the user typed into the search line, taken as words and never as query syntax: runs of letters and digits,
// anything else between them a separator. Each word is folded as the index folds the text (lower case, ё as е).
// The last word is a prefix while it is still being typed, that is when nothing follows it.
struct SearchWords
{
    QStringList words;
    bool lastIsPrefix = false;

    static SearchWords of(const QString& typed);
    static QString fold(const QString& word);
    // One character folded: lower case, ё as е, İ as i. The index folds its texts by it too.
    static char32_t foldCharacter(char32_t c);
    bool isEmpty() const { return words.isEmpty(); }
};
