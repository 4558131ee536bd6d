#pragma once
// The field and row-set interface of the database access layer. The ODBC binding implements
// it; value rendering and the export are written against it. Used on the user-interface thread.

#include <QByteArray>
#include <QByteArrayView>
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
    // Text form, the same whatever the servers' session settings are. Null reads as the empty
    // text. From the ODBC binding:
    // - a decimal or integer column: a plain decimal, "-"? digits ("." digits)?, with the
    //   scale the server gives ("12.50"); a value that cannot be read as one decimal raises
    //   TConvertError (a comma or blanks are normalised, never handed on);
    // - a floating-point column (Float): binary types in their shortest exact form, which may
    //   carry an exponent ("1e+300"), "-0" with its sign, "Infinity", "-Infinity", "NaN";
    //   decimal types a driver reports as floating point as plain decimals;
    // - a date-time: "YYYY-MM-DD", plus " HH:MM:SS" unless the time is midnight, plus
    //   ".ffffff" when there is a fraction (nine digits when finer), plus "+HH:MM" for a
    //   zoned value (which always shows its time), plus " BC" before year 1;
    // - a time of day: "HH:MM:SS".
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
    // A plain value in UTC terms as it shows on the wall clock; a zoned one with its offset.
    virtual QDateTime AsDateTime() const = 0;
    // The raw bytes of a large binary value (or of any value's text).
    virtual QByteArray AsBytes() const = 0;
    // The same bytes without a copy where the binding holds them already; otherwise AsBytes()
    // is put into buffer and viewed there. The view lasts until the row set moves or buffer
    // changes. A value of 50 MB is not worth copying only to be encoded once.
    virtual QByteArrayView BytesView(QByteArray& buffer) const {
        buffer = AsBytes();
        return buffer;
    }
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
