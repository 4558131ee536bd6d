#pragma once
// The field and row-set interface of the database access layer. The ODBC binding implements
// it; value rendering and the export are written against it. Used on the user-interface thread.

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What callers tell apart; everything else is read as text.
enum class TFieldCategory { Other, Float, DateTime, LargeBinary };

class TDbField {
public:
    virtual ~TDbField() = default;

    virtual QString Name() const = 0;
    virtual TFieldCategory Category() const = 0;
    virtual bool IsNull() const = 0;
    // Text form; a date-time reads "YYYY-MM-DD" plus " HH:MM:SS" unless the time is midnight.
    // Null reads as the empty text.
    virtual QString AsString() const = 0;
    // The text form without a copy where the value is held as UTF-16 text already; otherwise
    // AsString() is put into buffer and viewed there. The view lasts until the row set moves
    // or buffer changes.
    virtual QStringView StringView(QString& buffer) const {
        buffer = AsString();
        return buffer;
    }
    // Null reads as 0; a text that is not an integer raises TConvertError.
    virtual qint64 AsInteger() const = 0;
    virtual QDateTime AsDateTime() const = 0;
    // The raw bytes of a large binary value (or of any value's text).
    virtual QByteArray AsBytes() const = 0;
    // Writes the value's bytes to a file, replacing it; raises TFileError on failure.
    virtual void SaveToFile(const QString& path) const = 0;
};

class TDbRowSet {
public:
    virtual ~TDbRowSet() = default;

    virtual bool Eof() const = 0;
    virtual void Next() = 0;
    virtual int FieldCount() const = 0;
    // Position from 0.
    virtual const TDbField& Field(int index) const = 0;
    // Case-insensitive (Latin letters); raises TError when there is no such column.
    virtual const TDbField& FieldByName(const QString& name) const = 0;
};
