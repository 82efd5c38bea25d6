#pragma once

#include "export/ListExport.h"

#include <QString>

class QWidget;
class RecordSet;

// "Экспорт в Excel": every row of the list shown, in its order, as an .xlsx workbook with one sheet.
class ExcelExport
{
public:
    // The description column is headed after the editor panel's mode.
    enum class FirstColumn { Event, Person };
    using Outcome = ListExport::Outcome;

    // While the finished workbook is being packed progress is called with done == total, and goes on being called
    // until the packing ends even after it cancelled, so that a dialog keeps the program responsive to the end.
    using Progress = ListExport::Progress;
    using Dialogs = ListExport::Dialogs;

    static constexpr int progressDialogRows = ListExport::progressDialogRows;

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
