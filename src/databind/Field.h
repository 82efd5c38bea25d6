#pragma once

#include "engine/ColumnInfo.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <cmath>

class RecordSet;

using FieldKind = ColumnKind;

// One column of a record set as the controls see it: its value in the record the set reads (the current record,
// or the row a grid is painting), its texts and its display properties.
// Values: null, bool for Boolean, qint64 for AutoIncrement and Integer, double for Float, QDateTime for DateTime
// (a time of day alone has the date 30.12.1899), QString for Text and Memo.
class Field
{
public:
    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

    RecordSet& recordSet() const { return *m_recordSet; }
    const QString& fieldName() const { return m_name; }
    FieldKind kind() const { return m_kind; }
    // Characters, for Text; 0 otherwise.
    int size() const { return m_size; }
    // Position among the set's fields.
    int index() const { return m_index; }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // The grid's column title; the field name when none is set.
    QString displayLabel() const { return m_displayLabel.isEmpty() ? m_name : m_displayLabel; }
    void setDisplayLabel(const QString& label) { m_displayLabel = label; }
    // In characters; by default a text field's size, 5 for a boolean, 18 for a date-time, 10 for the rest.
    int displayWidth() const;
    void setDisplayWidth(int width) { m_displayWidth = width; }
    // Date-time only: "hh:mm" style (h, n, s, d, m, y, "/" and ":" standing for the user's separators).
    const QString& displayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& format) { m_displayFormat = format; }
    // Interpreted by the edit box, e.g. "!90:00;1;_".
    const QString& editMask() const { return m_editMask; }
    void setEditMask(const QString& mask) { m_editMask = mask; }

    QVariant value() const;
    // Writes into the record being edited or inserted; a text is cut to the field's size in code points, never
    // through a surrogate pair.
    void setValue(const QVariant& value);
    void clear() { setValue(QVariant()); }
    // Also true for a date-time outside the dates the program shows (years 100 to 9999, no NaN or infinity).
    bool isNull() const;

    bool asBoolean() const; // false for null
    void setAsBoolean(bool value) { setValue(value); }
    QDateTime asDateTime() const; // invalid for null
    // A date-time as its DateSerial day count, without building a QDateTime (each costs a time-zone lookup, which
    // adds up when a whole list is read, as the export does); NaN for null.
    double asSerial() const { return isNull() ? std::nan("") : stored().toDouble(); }
    void setAsDateTime(const QDateTime& value);
    QString asString() const { return editText(); }

    // For controls without the focus, grids and read-only texts; empty for null.
    QString displayText() const;
    // For an edit box that has the focus and may edit; empty for null.
    QString editText() const;
    // The text write-back of a control: converted by kind (a date-time read in the user's formats, empty text
    // giving null; a text cut to the size).
    void setText(const QString& text);

private:
    friend class RecordSet;
    Field(RecordSet& recordSet, QString name, FieldKind kind, int size, int index);

    const QVariant& stored() const;

    RecordSet* m_recordSet;
    QString m_name;
    FieldKind m_kind;
    int m_size;
    int m_index;
    int m_column = -1; // in the set's snapshot while open
    bool m_readOnly = false;
    QString m_displayLabel;
    int m_displayWidth = 0; // 0: the kind's default
    QString m_displayFormat;
    QString m_editMask;
};
