#include "export/ExcelExport.h"

#include "databind/ActiveRowScope.h"
#include "databind/RecordSet.h"
#include "diary/JobTable.h"
#include "base/DateSerial.h"
#include "base/Error.h"
#include "export/ListExport.h"
#include "export/XlsxSheetWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

enum class CellKind { Text, Date, Time, Flag };

CellKind cellKindOf(const JobColumn& column)
{
    if (column.kind == ColumnKind::Boolean)
        return CellKind::Flag;
    if (column.kind == ColumnKind::DateTime)
        return column.timeOfDay ? CellKind::Time : CellKind::Date;
    return CellKind::Text;
}

// Spreadsheets count days from 30.12.1899 as we do only from 1 March 1900 on (before it they take 1900 for a
// leap year), and stop at the year 9999; dates outside go in as text so that no program shows them wrong.
constexpr double firstSharedSerial = 61;
constexpr double endSerial = 2958466; // 1 January 10000

// Rows read between two progress reports, and handed to the writer together: a few milliseconds of work.
constexpr int rowsPerReport = 1000;

using Cell = XlsxSheetWriter::Cell;
using Style = XlsxSheetWriter::Style;

using ListExport::failWriting;

Cell textCell(const QString& text)
{
    Cell cell;
    if (text.isEmpty())
        return cell;
    cell.type = Cell::Type::Text;
    if (text.size() <= ExcelExport::maxCellText) {
        cell.text = text.toUtf8();
    } else {
        int length = ExcelExport::maxCellText;
        if (text.at(length - 1).isHighSurrogate())
            --length;
        cell.text = text.left(length).toUtf8();
    }
    return cell;
}

Cell dateCell(double serial)
{
    const bool wholeDay = serial == std::floor(serial);
    if (serial >= firstSharedSerial && serial < endSerial) {
        Cell cell;
        cell.type = Cell::Type::Number;
        cell.style = wholeDay ? Style::Date : Style::DateTime;
        cell.number = serial;
        return cell;
    }
    const QDateTime moment = DateSerial::toDateTime(serial);
    return textCell(moment.toString(wholeDay ? QStringLiteral("dd.MM.yyyy") : QStringLiteral("dd.MM.yyyy HH:mm:ss")));
}

// The time column shows the time of day only; days before 30.12.1899 count back, the time still forward.
Cell timeCell(double serial)
{
    Cell cell;
    cell.type = Cell::Type::Number;
    cell.style = Style::Time;
    cell.number = std::fabs(serial - std::trunc(serial));
    return cell;
}

Cell flagCell(bool done)
{
    static const QByteArray yes = QStringLiteral("Да").toUtf8();
    static const QByteArray no = QStringLiteral("Нет").toUtf8();
    Cell cell;
    cell.type = Cell::Type::Text;
    cell.text = done ? yes : no;
    return cell;
}

Cell cellOf(const Field* field, CellKind kind)
{
    if (!field || field->isNull())
        return {};
    switch (kind) {
    case CellKind::Text:
        return textCell(field->value().toString());
    case CellKind::Date:
        return dateCell(field->asSerial());
    case CellKind::Time:
        return timeCell(field->asSerial());
    case CellKind::Flag:
        return flagCell(field->asBoolean());
    }
    return {};
}

void copyFile(const QString& from, QSaveFile& to, const QString& target)
{
    QFile made(from);
    if (!made.open(QIODevice::ReadOnly))
        failWriting(target, made.errorString());
    constexpr qint64 chunk = 1 << 20;
    while (!made.atEnd()) {
        const QByteArray bytes = made.read(chunk);
        if (bytes.isEmpty() && made.error() != QFileDevice::NoError)
            failWriting(target, made.errorString());
        if (to.write(bytes) != bytes.size())
            failWriting(target, to.errorString());
    }
}

} // namespace

bool ExcelExport::write(RecordSet& list, const QString& path, const QString& sheetName, FirstColumn firstColumn,
                        const Progress& progress)
{
    // Opened first, so an unwritable folder is reported before the work and the old file stays until commit.
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly))
        failWriting(path, target.errorString());
    QTemporaryDir work;
    if (!work.isValid())
        failWriting(path, work.errorString());
    const QString made = work.filePath(QStringLiteral("export.xlsx"));

    const int rows = list.recordCount();
    const std::vector<const JobColumn*> columns = JobTable::exportColumns();
    std::vector<Field*> fields;
    std::vector<CellKind> kinds;
    std::vector<double> widths;
    QStringList headings;
    for (const JobColumn* column : columns) {
        fields.push_back(list.findField(QString::fromLatin1(column->name)));
        kinds.push_back(cellKindOf(*column));
        widths.push_back(column->exportWidth);
        headings << QString::fromUtf8(column->heading);
    }
    // A birthday's description is the person's name.
    if (firstColumn == FirstColumn::Person)
        headings.front() = QStringLiteral("Фамилия И.О.");

    int done = 0;
    const auto keepAlive = [&] { return !progress || progress(done, rows); };
    try {
        XlsxSheetWriter sheet(made, work.path(), validSheetName(sheetName), static_cast<int>(columns.size()));
        sheet.setColumnWidths(widths);
        sheet.setHeader(headings, rows);
        for (int first = 0; first < rows; first = done) {
            if (!keepAlive())
                return false;
            if (list.recordCount() != rows)
                throw Error(QStringLiteral("Список изменился во время экспорта, файл «%1» не записан")
                                .arg(QDir::toNativeSeparators(path)));
            const int last = std::min(rows, first + rowsPerReport);
            std::vector<Cell> cells;
            cells.reserve(static_cast<std::size_t>(last - first) * columns.size());
            {
                // Between chunks a progress dialog lets the event loop paint: the fields read the current record
                // again by then.
                ActiveRowScope walk(list, first);
                for (int row = first; row < last; ++row) {
                    walk.moveTo(row);
                    for (std::size_t col = 0; col < columns.size(); ++col)
                        cells.push_back(cellOf(fields[col], kinds[col]));
                }
            }
            done = last;
            if (!sheet.append(std::move(cells), keepAlive))
                return false;
        }
        if (!keepAlive() || !sheet.finish(keepAlive))
            return false;
    } catch (const XlsxSheetWriter::Failure& failure) {
        failWriting(path, failure.text());
    }

    copyFile(made, target, path);
    if (!target.commit())
        failWriting(path, target.errorString());
    return true;
}

ExcelExport::Outcome ExcelExport::run(QWidget* parent, RecordSet& list, const QString& sheetName,
                                      FirstColumn firstColumn)
{
    return run(parent, list, sheetName, firstColumn, standardDialogs());
}

namespace {

const ListExport::Format excelFormat{QStringLiteral("Сохранить список в файл Excel"),
                                     QStringLiteral("Книга Excel (*.xlsx)"), QStringLiteral("xlsx"),
                                     QStringLiteral("Экспорт списка в Excel…")};

} // namespace

ExcelExport::Outcome ExcelExport::run(QWidget* parent, RecordSet& list, const QString& sheetName,
                                      FirstColumn firstColumn, const Dialogs& dialogs)
{
    return ListExport::run(parent, list, excelFormat, dialogs, [&](const QString& path, const Progress& progress) {
        return write(list, path, sheetName, firstColumn, progress);
    });
}

ExcelExport::Dialogs ExcelExport::standardDialogs()
{
    return ListExport::standardDialogs(excelFormat);
}

QString ExcelExport::proposedPath()
{
    return ListExport::proposedPath(excelFormat.suffix);
}

QString ExcelExport::validSheetName(const QString& name)
{
    QString valid;
    for (const QChar ch : name)
        valid += QStringLiteral("[]:*?/\\").contains(ch) ? QLatin1Char('_') : ch;
    constexpr int maxLength = 31;
    if (valid.size() > maxLength)
        valid.truncate(valid.at(maxLength - 1).isHighSurrogate() ? maxLength - 1 : maxLength);
    while (valid.startsWith(QLatin1Char('\'')))
        valid.remove(0, 1);
    while (valid.endsWith(QLatin1Char('\'')))
        valid.chop(1);
    if (valid.trimmed().isEmpty())
        valid = QStringLiteral("Лист1");
    return valid;
}
