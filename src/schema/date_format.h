#pragma once
// The date/time formatter of the format texts the operator edits ("dd-mm-yy hh:nn:ss"), and
// the translation of dates for an Oracle target. Pure functions; the regional values are passed
// in.

#include <QDateTime>
#include <QString>
#include <QStringList>

// Regional values the formatter uses: month names, separators, the short date and long time
// formats of an empty format text.
struct TFormatSettings {
    QStringList short_month_names;  // 12 entries
    QStringList long_month_names;   // 12 entries
    QChar date_separator = QLatin1Char('-');
    QChar time_separator = QLatin1Char(':');
    QString short_date_format = QStringLiteral("yyyy/mm/dd");
    QString long_time_format = QStringLiteral("hh:nn:ss");

    // Russian month names, ISO date order: "янв", ..., "Январь", ...
    static TFormatSettings Default();
};

// Formats a date-time with a format text; an empty text gives the short date, followed by a
// blank and the long time unless the time of day is midnight.
QString FormatDateTime(const QString& format, const QDateTime& value,
                       const TFormatSettings& settings = TFormatSettings::Default());

// Date text for an Oracle target: apostrophes doubled, Russian month abbreviations replaced by
// English ones, Latin letters upper-cased.
QString OraTime(const QString& str);

// The conversion step of reading the target's date format: "HH24" -> "HH", "MI" -> "NN".
QString ConvertOraTimeFormat(const QString& nls_date_format);
