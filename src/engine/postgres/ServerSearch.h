#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

class ServerSession;

// Finding events by their words on the server: the text search configuration of our own, the index over the
// events' texts, and the statement that searches. The configuration stems Russian words with Snowball and drops
// no stop words, so that the file's index and the server's find the same events; the texts are folded as the
// search words are (lower case, ё as е, punctuation as spaces) before the server's parser reads them.
namespace ServerSearch {

// The configuration of our own, and the server's own one used where ours can't be made.
inline constexpr const char* configuration = "chronoteka_russian";
inline constexpr const char* fallbackConfiguration = "russian";

// Whether the database has our configuration where the session's search path finds it.
bool hasConfiguration(ServerSession& session);
// Makes our configuration (and its dictionary), which must not be there yet.
void makeConfiguration(ServerSession& session);
// Whether the table has the index the search uses; Invalid when a build of it without locking the table failed
// half-way, which leaves an index the server keeps up but never reads.
enum class IndexState { Missing, Invalid, Valid };
IndexState indexState(ServerSession& session, const QString& table);
// Makes the index over the table's texts; our configuration must be there. Concurrently (outside a transaction)
// the table stays open to other machines' writes while the index is built, which takes long on many events.
enum class Build { InTransaction, Concurrently };
void makeIndex(ServerSession& session, const QString& table, Build build);
// Drops an index left invalid, outside a transaction.
void dropIndex(ServerSession& session, const QString& table);

// The statement splitting the words as the texts are split: a row (the word's number from 1, a lexeme) for each
// lexeme a word gives, $1 and on the words. A word that gives none (too long to index, a stop word of the
// fallback) has no row.
QByteArray lexemesStatement(const QString& configuration, int wordCount);
// The query of the server's text search asking for every word (each of its lexemes, in every form a fleeting vowel
// gives it), those of the word numbered prefixWord (0 for none) as prefixes. lexemes: (word's number, lexeme) in
// the order of the words. Empty when there is no lexeme.
QByteArray queryText(const std::vector<std::pair<int, QString>>& lexemes, int prefixWord);
// The statement giving the keys of the events that hold what the query asks for, newest first: $1 the most rows,
// $2 the query. configuration: ours, or the fallback.
QByteArray statement(const QString& table, const QString& key, const QString& configuration);

} // namespace ServerSearch
