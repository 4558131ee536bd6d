#pragma once
// Date-time values as each target reads them, from the text form the database layer gives a
// value ("2024-01-05", "2024-01-05 13:07:09.5", "... +03:00", "0044-03-15 12:00:00 BC" or
// "-0044-03-15 12:00:00"): PostgreSQL's era form for a date before year 1, and Oracle's
// TO_DATE / TO_TIMESTAMP / TO_TIMESTAMP_TZ with explicit formats, so that nothing depends on a
// session's date format. Neither system has a year 0: year -N is N BC in both. Pure functions;
// any thread.

#include <QString>
#include <QStringView>

// What a column's values are, by the source's type name.
enum class TDateTimeKind {
    None,         // not a date-time type
    Date,         // DATE: date and time of day to the second
    Timestamp,    // TIMESTAMP(n): with fractions of a second, no zone
    TimestampTz,  // TIMESTAMP(n) WITH TIME ZONE / WITH LOCAL TIME ZONE: an instant
};

// "DATE", "TIMESTAMP", "TIMESTAMP(6)", "TIMESTAMP(6) WITH TIME ZONE", "TIMESTAMP(3) WITH LOCAL
// TIME ZONE", Latin letters in either case.
TDateTimeKind DateTimeKindOf(const QString& data_type);

struct TDateTimeParts {
    bool bc = false;  // year `year` before Christ
    int year = 0;     // from 1
    int month = 0;
    int day = 0;
    bool has_time = false;  // the text had a time of day
    int hour = 0;
    int minute = 0;
    int second = 0;
    QString fraction;  // digits after the decimal point as given; empty: none
    bool has_offset = false;
    int offset_seconds = 0;  // east of UTC positive
};

// Reads [-]Y..Y-MM-DD[( |T)HH:MM:SS[.f...]][ ][(+|-)HH[[:]MM[[:]SS]]|Z][ BC| AD]. False for
// any other text, year 0 included.
bool ParseDateTimeText(QStringView text, TDateTimeParts& out);

// The common forms, checked without taking them apart: YYYY-MM-DD, optionally followed by
// " HH:MM:SS", a fraction and an offset "+HH" or "+HH:MM"; a year from 1 to 9999, no era.
// Whatever this accepts, ParseDateTimeText accepts too.
bool IsPlainDateTimeText(QStringView text);

// True when the text form is one PostgreSQL does not read as it is: a year with a minus sign.
inline bool NeedsPgEraForm(QStringView text) {
    return !text.isEmpty() && text.front() == u'-';
}

// PostgreSQL's input form: "0044-03-15 12:00:00 BC"; the time and offset only when the parts
// have them.
QString PgDateTimeText(const TDateTimeParts& parts);

// The text of a value in an Oracle format of OraDateTimeMask: "-0044-03-15 12:00:00",
// "2024-01-05 13:07:09.5 +03:00". The time of day is always written. with_fraction writes the
// fraction ("0" when the value has none); with_offset writes the offset (+00:00 when it has
// none). Raises TConvertError for an offset with seconds, which Oracle cannot hold.
QString OraDateTimeText(const TDateTimeParts& parts, bool with_fraction, bool with_offset);

// "YYYY-MM-DD HH24:MI:SS" with "S" before the year when signed, ".FF" and " TZH:TZM" as asked.
QString OraDateTimeMask(bool signed_year, bool with_fraction, bool with_offset);

// The Oracle expression of a value of the given kind: TO_DATE('2024-01-05 13:07:09',
// 'YYYY-MM-DD HH24:MI:SS'); a year before 1 with 'SYYYY-...'; TO_TIMESTAMP(...) with '.FF' when
// there is a fraction; TO_TIMESTAMP_TZ(... 'TZH:TZM') for a zoned value that has its offset. A
// plain DATE or TIMESTAMP never gets an offset. Raises TConvertError as OraDateTimeText.
QString OraDateTimeSql(const TDateTimeParts& parts, TDateTimeKind kind);
