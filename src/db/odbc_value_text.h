#pragma once
// The text forms in which the ODBC binding hands values on: decimals without regional marks,
// floating-point values in their shortest exact form, and date-times in ISO 8601 with
// fraction, era and offset. None of them depends on a session setting of either server.
// Pure functions; used by the binding's fields on the thread that reads them.

#include <QString>
#include <QStringView>

// A decimal number as "-"? digits ("." digits)?, with no superfluous leading zero. The driver's
// text is taken as it comes when it already has that form (the usual case); otherwise a sign
// "+", blanks around the value, a decimal comma in place of the point, a missing leading zero
// (".5") and an exponent ("1.5E+125") are normalised exactly. A text that is not one decimal
// number (two marks, blanks inside, letters, group separators) raises TConvertError naming
// the column and the value: it is never handed on as it is.
bool IsPlainDecimal(QStringView text);
QString PlainDecimal(QStringView text, const QString& column);

// The shortest text that reads back as the same value; "-0" keeps its sign, and the values
// without a number read "Infinity", "-Infinity" and "NaN".
QString FloatText(double value);
QString FloatText(float value);
// A floating-point value a driver delivered as text: decimal forms as PlainDecimal, except
// that an exponent is kept; the spellings of infinity and NaN become the three above.
QString FloatTextFromDriver(QStringView text, const QString& column);

// A date-time value: the year is astronomical as ODBC delivers it from both drivers we know,
// except that there is no year 0 (-44 is 44 BC).
struct TDateTimeValue {
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    quint32 nanoseconds = 0;
    // A zoned value carries its offset east of UTC.
    bool zoned = false;
    int offset_seconds = 0;
};

// "YYYY-MM-DD", plus " HH:MM:SS" unless the time is midnight without a fraction, plus
// ".ffffff" when there is a fraction (nine digits when it is finer than microseconds), plus
// the offset "+HH:MM" for a zoned value (which always shows its time), plus " BC" for a year
// before 1 ("0044-03-15 12:00:00 BC"). Raises TConvertError for year 0.
QString DateTimeText(const TDateTimeValue& value, const QString& column);

// Reads a zoned value as a driver gives it in text under the session formats the binding sets:
// "YYYY-MM-DD HH:MM:SS[.f...] [+-]HH:MM[:SS]" (a blank before the offset or none, the minutes
// optional), a leading "-" on the year or a trailing " BC" for years before 1. Without an offset
// the value stands in default_offset_seconds. False when the text has another form.
bool ParseZonedText(QStringView text, int default_offset_seconds, TDateTimeValue* value);

// Reads the text form DateTimeText writes (the time may be left out for midnight); zoned when
// it has an offset. False when the text has another form.
bool ParseDateTimeText(QStringView text, TDateTimeValue* value);
