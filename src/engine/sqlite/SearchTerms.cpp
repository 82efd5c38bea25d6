#include "engine/sqlite/SearchTerms.h"

#include "base/Error.h"
#include "engine/SearchWords.h"

#include <libstemmer.h>

namespace {

// As SearchWords takes a word: letters, digits and marks of the basic plane; a character beyond it (an emoji)
// separates words there too, being two UTF-16 units neither of which is a letter.
bool isWordCharacter(char32_t c)
{
    if (c > 0xFFFF)
        return false;
    const QChar character(static_cast<char16_t>(c));
    return character.isLetterOrNumber() || character.isMark();
}

void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point starting at text[at] and its length in bytes; an invalid sequence reads as one byte, U+FFFD.
std::pair<char32_t, int> decode(const unsigned char* text, int at, int size)
{
    const unsigned char lead = text[at];
    if (lead < 0x80)
        return {lead, 1};
    int length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        c = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        c = lead & 0x07;
        least = 0x10000;
    } else {
        return {0xFFFD, 1};
    }
    if (at + length > size)
        return {0xFFFD, 1};
    for (int i = 1; i < length; ++i) {
        const unsigned char next = text[at + i];
        if ((next & 0xC0) != 0x80)
            return {0xFFFD, 1};
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return {0xFFFD, 1};
    return {c, length};
}

} // namespace

SearchTerms::SearchTerms() : m_russian(sb_stemmer_new("russian", "UTF_8"))
{
    if (!m_russian)
        throw Error(QStringLiteral("The Russian stemmer is missing."));
}

SearchTerms::~SearchTerms()
{
    sb_stemmer_delete(m_russian);
}

void SearchTerms::forEach(const char* text, int size, Stemming stemming, const Sink& each)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    int start = -1;
    bool russian = false;
    bool lettersOnly = true;
    auto flush = [&](int end) {
        if (start < 0)
            return true;
        const int from = start;
        start = -1;
        // The server's text search leaves out words this long, and so does the index, to find the same events.
        constexpr qsizetype longestWord = 2047;
        if (m_word.size() > longestWord)
            return true;
        const bool isStem = russian && lettersOnly;
        if (!isStem || stemming == Stemming::Off)
            return each(m_word, isStem, from, end);
        const sb_symbol* stem = sb_stemmer_stem(m_russian, reinterpret_cast<const sb_symbol*>(m_word.constData()),
                                                static_cast<int>(m_word.size()));
        const int length = sb_stemmer_length(m_russian);
        if (!stem || length <= 0)
            return each(m_word, isStem, from, end);
        // The stemmer's own buffer, valid until the next word.
        return each(QByteArray::fromRawData(reinterpret_cast<const char*>(stem), length), isStem, from, end);
    };
    int at = 0;
    while (at < size) {
        const auto [c, length] = decode(bytes, at, size);
        if (isWordCharacter(c)) {
            if (start < 0) {
                start = at;
                m_word.clear();
                russian = false;
                lettersOnly = true;
            }
            const char32_t folded = SearchWords::foldCharacter(c);
            russian = russian || QChar::script(folded) == QChar::Script_Cyrillic;
            lettersOnly = lettersOnly && QChar::isLetter(folded);
            appendUtf8(m_word, folded);
        } else if (!flush(at)) {
            return;
        }
        at += length;
    }
    flush(size);
}
