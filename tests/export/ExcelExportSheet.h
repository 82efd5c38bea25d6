#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The one sheet of an exported workbook as a spreadsheet program reads it: the parts are unpacked with unzip and
// parsed as XML, so a malformed part fails the read.
class ExcelExportSheet
{
public:
    struct Cell
    {
        QString type;  // "inlineStr", "s", "n" ...; empty for a number
        QString value; // the text, or the number as written
        int style = 0;
    };

    // Fills error when the file can't be unpacked or a part isn't well-formed XML.
    static ExcelExportSheet read(const QString& path);

    QString error;
    QString name;
    QMap<QString, Cell> cells;      // by reference, "C2"
    int rowCount = 0;               // <row> elements
    QString frozenTopLeft;          // the first cell below and right of the frozen pane
    QString autoFilter;             // its range, "A1:I4"
    QMap<int, double> columnWidths; // by column number from 1

    bool has(const QString& ref) const { return cells.contains(ref); }
    QString text(const QString& ref) const { return cells.value(ref).value; }
    double number(const QString& ref) const { return cells.value(ref).value.toDouble(); }
    QString numberFormat(const QString& ref) const;
    bool isBold(const QString& ref) const;
    QStringList row(int number, int columns) const;

private:
    QMap<int, QString> m_formatCodes; // numFmtId -> code
    QList<int> m_xfFormat;            // cellXfs -> numFmtId
    QList<int> m_xfFont;              // cellXfs -> fontId
    QList<bool> m_fontBold;
};
