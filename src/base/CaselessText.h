#pragma once

#include <QByteArrayView>
#include <QStringView>

// Texts compared as the diary compares them: without regard to case, for every letter Unicode knows, while "ё"
// stays apart from "е". The file's collation and the program's own matching of stored texts both use this one
// comparison, so that a row the queries take for a periodicity is the row the program takes for it.
class CaselessText
{
public:
    // Less than, equal to or greater than zero as a sorts before, with or after b.
    static int compare(QStringView a, QStringView b);
    // The same order for two UTF-8 texts, read as they are: the file's collation compares every row a list reads
    // against each periodicity, and most differ at their first letter, so nothing is decoded past it.
    static int compareUtf8(QByteArrayView a, QByteArrayView b);
    static bool equal(QStringView a, QStringView b) { return compare(a, b) == 0; }
};
