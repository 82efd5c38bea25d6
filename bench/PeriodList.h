#pragma once

#include "DiaryRows.h"

#include <QString>

#include <benchmark/benchmark.h>

class Connection;

// The list the main window shows for one periodicity, opened over 100,000 rows of that period: the same query,
// parameter and rows whichever engine holds the diary, so the figures of the file and of the server compare.
namespace PeriodList {

constexpr int rowCount = 100000;

// The periodicity every row has and the list asks for.
QString period();
// The list's query with its :period marker as the engine's "?".
QString text();
// Every row under the one period, with texts of the lengths a hand-typed diary holds and dates in no order, so
// the period index is walked as it would be in use.
DiaryRows rows();

// The benchmark's loop: the list opened as a snapshot through connection, then the heap one kept snapshot holds
// per row as the counter bytes_per_row.
void openSnapshots(benchmark::State& state, Connection& connection);

} // namespace PeriodList
