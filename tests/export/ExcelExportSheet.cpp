#include "ExcelExportSheet.h"

#include <QProcess>
#include <QXmlStreamReader>

namespace {

bool unpack(const QString& path, const QString& part, QByteArray& xml, QString& error)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, part});
    if (!unzip.waitForFinished(60000) || unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0) {
        error = QStringLiteral("unzip %1 %2: %3").arg(path, part, QString::fromLocal8Bit(unzip.readAllStandardError()));
        return false;
    }
    xml = unzip.readAllStandardOutput();
    return true;
}

bool finish(const QXmlStreamReader& reader, const QString& part, QString& error)
{
    if (!reader.hasError())
        return true;
    error = QStringLiteral("%1: %2").arg(part, reader.errorString());
    return false;
}

} // namespace

ExcelExportSheet ExcelExportSheet::read(const QString& path)
{
    ExcelExportSheet sheet;
    QByteArray xml;

    if (!unpack(path, QStringLiteral("xl/workbook.xml"), xml, sheet.error))
        return sheet;
    QXmlStreamReader workbook(xml);
    while (!workbook.atEnd()) {
        workbook.readNext();
        if (workbook.isStartElement() && workbook.name() == QLatin1String("sheet") && sheet.name.isEmpty())
            sheet.name = workbook.attributes().value(QLatin1String("name")).toString();
    }
    if (!finish(workbook, QStringLiteral("workbook"), sheet.error))
        return sheet;

    if (!unpack(path, QStringLiteral("xl/styles.xml"), xml, sheet.error))
        return sheet;
    QXmlStreamReader styles(xml);
    QString section;
    while (!styles.atEnd()) {
        styles.readNext();
        if (!styles.isStartElement())
            continue;
        const auto name = styles.name();
        const QXmlStreamAttributes attributes = styles.attributes();
        if (name == QLatin1String("fonts") || name == QLatin1String("cellXfs") || name == QLatin1String("cellStyleXfs"))
            section = name.toString();
        else if (name == QLatin1String("numFmt"))
            sheet.m_formatCodes[attributes.value(QLatin1String("numFmtId")).toInt()] =
                attributes.value(QLatin1String("formatCode")).toString();
        else if (name == QLatin1String("font") && section == QLatin1String("fonts"))
            sheet.m_fontBold.append(false);
        else if (name == QLatin1String("b") && section == QLatin1String("fonts") && !sheet.m_fontBold.isEmpty())
            sheet.m_fontBold.last() = true;
        else if (name == QLatin1String("xf") && section == QLatin1String("cellXfs")) {
            sheet.m_xfFormat.append(attributes.value(QLatin1String("numFmtId")).toInt());
            sheet.m_xfFont.append(attributes.value(QLatin1String("fontId")).toInt());
        }
    }
    if (!finish(styles, QStringLiteral("styles"), sheet.error))
        return sheet;

    if (!unpack(path, QStringLiteral("xl/worksheets/sheet1.xml"), xml, sheet.error))
        return sheet;
    QXmlStreamReader cells(xml);
    QString ref;
    while (!cells.atEnd()) {
        cells.readNext();
        if (!cells.isStartElement())
            continue;
        const auto name = cells.name();
        const QXmlStreamAttributes attributes = cells.attributes();
        if (name == QLatin1String("row")) {
            ++sheet.rowCount;
        } else if (name == QLatin1String("c")) {
            ref = attributes.value(QLatin1String("r")).toString();
            Cell& cell = sheet.cells[ref];
            cell.type = attributes.value(QLatin1String("t")).toString();
            cell.style = attributes.value(QLatin1String("s")).toInt();
        } else if (name == QLatin1String("v") || name == QLatin1String("t")) {
            sheet.cells[ref].value += cells.readElementText();
        } else if (name == QLatin1String("pane") &&
                   attributes.value(QLatin1String("state")) == QLatin1String("frozen")) {
            sheet.frozenTopLeft = attributes.value(QLatin1String("topLeftCell")).toString();
        } else if (name == QLatin1String("autoFilter")) {
            sheet.autoFilter = attributes.value(QLatin1String("ref")).toString();
        } else if (name == QLatin1String("col")) {
            const int first = attributes.value(QLatin1String("min")).toInt();
            const int last = attributes.value(QLatin1String("max")).toInt();
            for (int column = first; column <= last; ++column)
                sheet.columnWidths[column] = attributes.value(QLatin1String("width")).toDouble();
        }
    }
    finish(cells, QStringLiteral("sheet1"), sheet.error);
    return sheet;
}

QString ExcelExportSheet::numberFormat(const QString& ref) const
{
    const int style = cells.value(ref).style;
    if (style < 0 || style >= m_xfFormat.size())
        return QString();
    return m_formatCodes.value(m_xfFormat[style]);
}

bool ExcelExportSheet::isBold(const QString& ref) const
{
    const int style = cells.value(ref).style;
    if (style < 0 || style >= m_xfFont.size())
        return false;
    return m_fontBold.value(m_xfFont[style]);
}

QStringList ExcelExportSheet::row(int number, int columns) const
{
    QStringList texts;
    for (int column = 0; column < columns; ++column)
        texts.append(text(QChar(u'A' + column) + QString::number(number)));
    return texts;
}
