#include "base/CaselessText.h"

#include <QChar>
#include <QString>

namespace {

constexpr char32_t notUtf8 = 0xFFFFFFFF;

// The code point at `at`, which is moved past it; notUtf8 for bytes that are not the shortest UTF-8 form of a
// character (an overlong form, a surrogate, a sequence cut short), which compare() would see as replacements.
char32_t nextCodePoint(const unsigned char*& at, const unsigned char* end)
{
    const unsigned char lead = *at++;
    if (lead < 0x80)
        return lead;
    // The lead byte tells how many continuation bytes follow and the least code point that needs them all.
    int more = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        more = 1;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3;
        least = 0x10000;
    } else {
        return notUtf8;
    }
    char32_t code = lead & (0x3F >> more);
    if (end - at < more)
        return notUtf8;
    for (; more > 0; --more) {
        if ((*at & 0xC0) != 0x80)
            return notUtf8;
        code = (code << 6) | (*at++ & 0x3F);
    }
    if (code < least || code > QChar::LastValidCodePoint || QChar::isSurrogate(code))
        return notUtf8;
    return code;
}

// A UTF-8 text's UTF-16 units with the case folded, one at a time, as compare() sees them: a pair keeps the high
// surrogate of the letter as written and the low one of its folded form.
class FoldedUnits
{
public:
    explicit FoldedUnits(QByteArrayView text)
        : m_at(reinterpret_cast<const unsigned char*>(text.data())), m_end(m_at + text.size())
    {
    }

    bool atEnd() const { return !m_hasPending && m_at == m_end; }

    // False when the text is not UTF-8.
    bool next(char32_t& unit)
    {
        if (m_hasPending) {
            m_hasPending = false;
            unit = m_pending;
            return true;
        }
        const char32_t code = nextCodePoint(m_at, m_end);
        if (code == notUtf8)
            return false;
        const char32_t fold = QChar::toCaseFolded(code);
        if (!QChar::requiresSurrogates(code)) {
            unit = fold;
            return true;
        }
        unit = QChar::highSurrogate(code);
        m_pending = QChar::lowSurrogate(fold);
        m_hasPending = true;
        return true;
    }

private:
    const unsigned char* m_at;
    const unsigned char* m_end;
    char32_t m_pending = 0;
    bool m_hasPending = false;
};

} // namespace

int CaselessText::compare(QStringView a, QStringView b)
{
    // Qt folds each code point, surrogate pairs included, by Unicode's simple case folding.
    return a.compare(b, Qt::CaseInsensitive);
}

int CaselessText::compareUtf8(QByteArrayView a, QByteArrayView b)
{
    FoldedUnits left(a);
    FoldedUnits right(b);
    while (!left.atEnd() && !right.atEnd()) {
        char32_t l = 0;
        char32_t r = 0;
        if (!left.next(l) || !right.next(r))
            return compare(QString::fromUtf8(a), QString::fromUtf8(b));
        if (l != r)
            return l < r ? -1 : 1;
    }
    return int(right.atEnd()) - int(left.atEnd());
}
