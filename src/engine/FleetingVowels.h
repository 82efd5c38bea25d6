#pragma once

#include <QString>
#include <QStringList>

// A Russian stem with and without the fleeting о or е that some words lose as they change: the stemmer leaves
// "подарок" whole but cuts "подарки" to "подарк", and "окон" against "окн". Searching for every form of a stem
// finds the word in either case; a form that happens to be another word's stem only widens the search a little.
namespace FleetingVowels {

// The stem first, then the forms it may have in other cases: without the о or е before its last consonant, or with
// one put between its last two consonants.
QStringList forms(const QString& stem);

} // namespace FleetingVowels
