#pragma once

#include <QString>

struct SearchWords;

// The found event's description as rich text, the words the search matched in bold. Which form of a word the index
// matched is the stemmer's business; the list only needs a cheap likeness: a word of the text is marked when it
// begins with a typed word, or shares with it all but the last two letters, which
// an ending may change.
namespace SearchMarks {

QString markedHtml(const QString& text, const SearchWords& words);

} // namespace SearchMarks
