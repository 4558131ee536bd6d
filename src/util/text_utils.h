#pragma once
// Small stateless text, number and colour helpers used everywhere. Reentrant.

#include <QByteArray>
#include <QString>
#include <cstdint>

// Adds value * percent / 100 (truncated toward zero) to value and clamps to 0..255.
int TintChannel(int32_t value, int32_t percent);
// Tints the three channels of a 0x00BBGGRR colour; the top byte of the result is 0.
uint32_t TintColor(uint32_t color, int32_t pct_red, int32_t pct_green, int32_t pct_blue);
// Doubles every byte equal to c (single-byte text).
QByteArray DoubleChar(const QByteArray& text, char c);
// The same on Unicode text: no trip through a code page, nothing replaced.
QString DoubleChar(const QString& text, QChar c);
// Text between the first start marker and the end marker after it (case-insensitive, Latin
// letters only), trimmed; s is consumed up to and including that end marker.
QString ExtractBetween(const QString& start_marker, const QString& end_marker, QString& s);
// Every ',' and '.' becomes sep.
QString ReplaceDecimalPoint(const QString& text, QChar sep);
// "[Nд. ]HH:MM:SS"; 0 seconds give the empty text.
QString FormatDuration(uint32_t seconds);
// A span of time for the journal: "0,4 с", "12,5 с" under a minute (one decimal, comma),
// FormatDuration of the rounded seconds from a minute on.
QString DurationText(qint64 msecs);
// Case-sensitive replacement of every occurrence; the search goes on after each inserted
// replacement, so a replacement that contains the pattern still ends.
QString ReplaceAll(const QString& text, const QString& pattern, const QString& replacement);
// Value after "key=" up to the delimiter (key found case-insensitively); nothing trimmed.
QString GetKeyValue(const QString& text, const QString& key, QChar delim);
// Replaces the value after key (given with its "=") up to the next delimiter.
QString SetKeyValue(const QString& text, const QString& key, const QString& value, QChar delim);
// The first run of decimal digits as a signed 32-bit integer; 0 when none or too large.
int32_t FirstNumber(const QString& text);

// Upper/lower case of the Latin letters a-z only; every other character stays.
QString UpperLatin(const QString& text);
QString LowerLatin(const QString& text);
// Removes leading and trailing characters with codes of 32 or less.
QString TrimControl(const QString& text);
