#pragma once

#include <QString>
#include <QStringList>

// The events a benchmark's diary holds. Each benchmark fills only the columns its figure reads, so the rows are as
// wide as what it measures and the same from run to run: every value comes from the row's number or from a
// generator with a fixed seed.
struct DiaryRows
{
    // How a text column is filled: left null, numbered after the row ("Мероприятие номер 7"), with Cyrillic words
    // cut to an exact length, as a diary typed by hand holds, or with prose of the same kind drawn from a vocabulary
    // of some hundred words in their several forms, the common ones far more often, for what searches words.
    enum class Text { None, Numbered, Words, Prose };

    int events = 100000;
    // Taken in turn, row by row.
    QStringList periods{QStringLiteral("ежедневное")};
    Text job = Text::Numbered;
    int jobLength = 0; // for Text::Words and Text::Prose
    Text other = Text::None;
    int otherLength = 0; // for Text::Words and Text::Prose
    // date_zap, date_isp and time_isp.
    bool dates = false;
    // date_shed and time_shed.
    bool planned = false;
    // napom and interval; left out they keep the table's default of 0.
    bool reminders = false;
    // Dates, times and flags drawn at random instead of cycling with the row's number, so neither the table's order
    // nor the period index's order follows the dates.
    bool scattered = false;

    // The events the search figures look through: CHRONOTEKA_SEARCH_EVENTS of them (1,000,000 unless set, for a
    // quick look), 40-character descriptions and 100-character notes of prose.
    static DiaryRows searched();

    // Creates a diary file at path holding these events, written in one transaction; throws with SQLite's message.
    void writeTo(const QString& path) const;
};
