#pragma once

#include "engine/Backend.h"
#include "engine/TableSchema.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

// The journal of the program's own writes to its table, kept beside it in chronoteka_undo so that they can be
// undone and redone after a restart, and from every computer of a server's diary alike. A step is one row of it: its
// number, its label, whether it is undone, and the image of every row it changed before and after it (JSON, the
// values in the engine's forms, a missing row as null). The undone steps stand above the others; a new step drops
// them, and the oldest beyond keptSteps.
//
// A backend records a write that carries a label (Backend::journalNextWrite) inside the write's own transaction: it
// begins a step, notes each row before it changes, and finishes the step before committing.
class UndoJournal
{
public:
    static constexpr const char* table = "chronoteka_undo";
    static constexpr const char* definition = "CREATE TABLE IF NOT EXISTS chronoteka_undo (step integer PRIMARY KEY "
                                              "NOT NULL, label text NOT NULL, undone integer NOT NULL, images text "
                                              "NOT NULL)";
    static constexpr int keptSteps = 200;

    // A row's values in the table's column order; empty when there is no such row.
    using Image = std::vector<QVariant>;
    struct Change
    {
        qint64 key = 0;
        Image before;
        Image after;
    };
    struct Step
    {
        qint64 number = 0;
        QString label;
        std::vector<Change> changes;
    };

    explicit UndoJournal(const TableSchema& table);

    // The step of one transaction: ended unstored unless finished, as when the write fails.
    class Recording
    {
    public:
        Recording(UndoJournal& journal, QString label);
        ~Recording();
        Recording(const Recording&) = delete;
        Recording& operator=(const Recording&) = delete;

    private:
        UndoJournal& m_journal;
    };

    // How a backend reads a row's image inside its write's transaction when it has a faster way than a batch's select.
    using ImageReader = std::function<Image(qint64 key)>;
    void setImageReader(ImageReader reader) { m_reader = std::move(reader); }
    // How a backend runs the journal's own statements inside the write's transaction when it has a faster way than a
    // batch's: the first value of the first row, null when none.
    using StatementRunner = std::function<QVariant(const QString& sql, const QList<QVariant>& parameters)>;
    void setStatementRunner(StatementRunner runner) { m_runner = std::move(runner); }

    bool isRecording() const { return m_recording; }
    // Before a write that changes the row of key: its image, read the first time the step meets the key.
    void noteBefore(Backend::Batch& batch, qint64 key);
    // A row the step added, which had none before.
    void noteAdded(qint64 key);
    // Before the commit: the rows' images after the step read and the step stored.
    void finish(Backend::Batch& batch);

    // The step an undo takes back (the last not undone), or a redo does again (the first undone); none when there
    // is none or no journal yet.
    enum class Direction { Undo, Redo };
    static std::optional<Step> next(Backend::Batch& batch, const TableSchema& table, Direction direction);
    // Takes the step back (Undo) or does it again (Redo), when every row it wrote still holds what the step left
    // (for a redo, what its undo left); else writes nothing and returns the key of the first row found otherwise.
    static std::optional<qint64> apply(Backend::Batch& batch, const TableSchema& table, const Step& step,
                                       Direction direction);

    // The row's image as it stands, in the batch's transaction.
    static Image image(Backend::Batch& batch, const TableSchema& table, qint64 key);
    // Whether two images hold the same values; a date the program can't show (NaN) is the same as another.
    static bool sameImage(const Image& a, const Image& b);

private:
    Image imageOf(Backend::Batch& batch, qint64 key) const;

    const TableSchema& m_table;
    ImageReader m_reader;
    StatementRunner m_runner;
    bool m_recording = false;
    QString m_label;
    std::vector<Change> m_changes;
};
