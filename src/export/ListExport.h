#pragma once

#include <QString>

#include <functional>

class QWidget;
class RecordSet;

// What every export of the list shown shares: the menu command's course (save the record being edited, ask for
// the file, a progress dialog for long lists, the outcome told), and the error text of a file not written.
namespace ListExport {

enum class Outcome { Written, Cancelled, Failed };

// Told how many rows of how many are written, at least every few tenths of a second; false cancels.
using Progress = std::function<bool(int done, int total)>;

// What the user is asked; the tests put their own answers in.
struct Dialogs
{
    // Returns the chosen file, or an empty text when the user cancelled.
    std::function<QString(QWidget* parent, const QString& proposedPath)> choosePath;
    // Makes the progress callback for a list of rows rows; the dialog lives as long as the callback.
    std::function<Progress(QWidget* parent, int rows)> progress;
};

// The texts of one file format's dialogs.
struct Format
{
    QString saveCaption;  // the file dialog's caption
    QString nameFilter;   // its filter
    QString suffix;       // without the dot
    QString progressText; // the progress dialog's label
};

// Lists longer than this get a progress dialog.
inline constexpr int progressDialogRows = 3000;

// Writes the file; returns false when progress cancelled (nothing written), throws Error with the user's text.
using Writer = std::function<bool(const QString& path, const Progress& progress)>;

// The whole menu command; errors are shown, never thrown.
Outcome run(QWidget* parent, RecordSet& list, const Format& format, const Dialogs& dialogs, const Writer& write);

// QFileDialog and QProgressDialog with the format's texts.
Dialogs standardDialogs(const Format& format);

// "Хронотека <today>.<suffix>" in the user's documents folder (the home folder when there is none).
QString proposedPath(const QString& suffix);

// The error of a file at path not written, for the reason given.
[[noreturn]] void failWriting(const QString& path, const QString& reason);

} // namespace ListExport
