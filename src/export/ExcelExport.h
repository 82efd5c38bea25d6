#pragma once

#include <QString>

#include <functional>

class QWidget;
class RecordSet;

// "Экспорт в Excel": every row of the list shown, in its order, as an .xlsx workbook with one sheet.
class ExcelExport
{
public:
    // The description column is headed after the editor panel's mode.
    enum class FirstColumn { Event, Person };
    enum class Outcome { Written, Cancelled, Failed };

    // Told how many rows of how many are written, at least every few tenths of a second; false cancels. While the
    // finished workbook is being packed it is called with done == total, and goes on being called until the packing
    // ends even after it cancelled, so that a dialog keeps the program responsive to the end.
    using Progress = std::function<bool(int done, int total)>;

    // What the user is asked; the tests put their own answers in.
    struct Dialogs
    {
        // Returns the chosen file, or an empty text when the user cancelled.
        std::function<QString(QWidget* parent, const QString& proposedPath)> choosePath;
        // Makes the progress callback for a list of rows rows; the dialog lives as long as the callback.
        std::function<Progress(QWidget* parent, int rows)> progress;
    };

    // Lists longer than this get a progress dialog.
    static constexpr int progressDialogRows = 3000;

    // Writes the workbook to path through a temporary file beside it, renamed over it only when complete.
    // Returns false when progress cancelled: then nothing is written. Throws Error with the text the user sees;
    // an existing file at path is left as it was.
    static bool write(RecordSet& list, const QString& path, const QString& sheetName, FirstColumn firstColumn,
                      const Progress& progress = {});

    // The whole menu command: saves a modified record of list as a move would, asks for the file, writes it with a
    // progress dialog for long lists and tells the outcome; errors are shown, never thrown.
    static Outcome run(QWidget* parent, RecordSet& list, const QString& sheetName,
                       FirstColumn firstColumn = FirstColumn::Event);
    static Outcome run(QWidget* parent, RecordSet& list, const QString& sheetName, FirstColumn firstColumn,
                       const Dialogs& dialogs);

    // QFileDialog and QProgressDialog.
    static Dialogs standardDialogs();

    // "Хронотека <today>.xlsx" in the user's documents folder (the home folder when there is none).
    static QString proposedPath();

    // A sheet name the spreadsheet accepts: no []:*?/\, at most 31 characters, no apostrophe at either end.
    static QString validSheetName(const QString& name);

    // The spreadsheet cell limit; longer texts are cut.
    static constexpr int maxCellText = 32767;
};
