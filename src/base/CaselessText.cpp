#include "base/CaselessText.h"

#include <QString>

int CaselessText::compare(QStringView a, QStringView b)
{
    // Qt folds each code point, surrogate pairs included, by Unicode's simple case folding.
    return a.compare(b, Qt::CaseInsensitive);
}
