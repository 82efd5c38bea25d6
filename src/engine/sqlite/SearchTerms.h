#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct sb_stemmer;

// The words of a text as the search index holds them: runs of letters and digits (as SearchWords splits what the
// user types), folded, and a word of Cyrillic letters alone cut to its Russian stem. Latin words and words with
// digits are kept whole, as the server's text search keeps them, so "ДР2024" or "Dr" find only themselves.
// Not shared between threads: the stemmer keeps its state.
class SearchTerms
{
public:
    SearchTerms();
    ~SearchTerms();
    SearchTerms(const SearchTerms&) = delete;
    SearchTerms& operator=(const SearchTerms&) = delete;

    enum class Stemming { On, Off };
    // Receives a term and the byte range of its word; returns false to stop.
    using Sink = std::function<bool(const QByteArray& term, int start, int end)>;

    // Every word of the UTF-8 text in order; with Stemming::Off folded only, for terms that are stems already.
    // Bytes that are not UTF-8 separate words.
    void forEach(const char* text, int size, Stemming stemming, const Sink& each);

    // The term a folded word is indexed under, and whether it is a Russian stem.
    QByteArray term(const QString& foldedWord, bool* isStem = nullptr);

private:
    sb_stemmer* m_russian;
};
