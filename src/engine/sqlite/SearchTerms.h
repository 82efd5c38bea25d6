#pragma once

#include <QByteArray>

#include <functional>

struct sb_stemmer;

// The words of a text as the search index holds them: runs of letters and digits (as SearchWords splits what the
// user types), folded, and a word of Cyrillic letters alone cut to its Russian stem. Latin words and words with
// digits are kept whole, as the server's text search keeps them, so "ДР2024" or "Dr" find only themselves. A word
// of more than 2047 bytes is left out, as the server leaves it out.
// Not shared between threads: the stemmer keeps its state.
class SearchTerms
{
public:
    SearchTerms();
    ~SearchTerms();
    SearchTerms(const SearchTerms&) = delete;
    SearchTerms& operator=(const SearchTerms&) = delete;

    enum class Stemming { On, Off };
    // Receives a term (valid during the call), whether it is a Russian stem, and the byte range of its word; returns
    // false to stop.
    using Sink = std::function<bool(const QByteArray& term, bool isStem, int start, int end)>;

    // Every word of the UTF-8 text in order; with Stemming::Off folded only, for terms that are stems already.
    // Bytes that are not UTF-8 separate words.
    void forEach(const char* text, int size, Stemming stemming, const Sink& each);

private:
    sb_stemmer* m_russian;
    // The word being read, folded, as UTF-8: kept between words so that reading allocates nothing.
    QByteArray m_word;
};
