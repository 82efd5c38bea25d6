#pragma once

#include <QString>

// Text lengths as the diary's columns count them: in Unicode code points, so that a character outside the basic
// plane (an emoji), two UTF-16 units in a QString, counts as one.
class CodePoints
{
public:
    static qsizetype count(const QString& text);
    // The first n code points; never ends with half of a surrogate pair.
    static QString left(const QString& text, qsizetype n);
    // No high surrogate without its low one and no low one alone: the text has a UTF-8 form.
    static bool isWellFormed(const QString& text);
    // The text with every unpaired surrogate left out.
    static QString wellFormed(const QString& text);
};
