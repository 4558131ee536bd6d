#pragma once
// One canonical text per value, the same on both sides of a migration, and an order-independent
// checksum of rows built from it. The source side takes the text forms of the database layer;
// a PostgreSQL target computes the same texts in SQL (PgCanonicalExpr), so that its rows never
// have to travel. Pure functions; any thread (the copy worker calls them).
//
// Canonical forms:
// - numbers: plain decimal without exponent, no leading or trailing zeros ("0.5", "-12",
//   "0"); "NaN", "Infinity", "-Infinity" as such;
// - text: as it is; fixed-length character text without its trailing blanks (PostgreSQL drops
//   them when it reads a CHAR column as text, Oracle keeps them);
// - date-times: "YYYY-MM-DD HH:MM:SS", then "." and the fraction without trailing zeros, then
//   " BC" for a year before 1; a zoned value at UTC with "+00:00" (a PostgreSQL target keeps
//   the instant, not the source's offset);
// - binary values: lower-case hexadecimal digits.
//
// A row's text joins its values with "|"; in text values "\" and "|" are escaped with "\", and
// a null is "\N", which no escaped value can be. Each row text is hashed with MD5 (of its UTF-8
// bytes); the checksum is the row count and the sums modulo 2^64 of the two halves of the
// hashes, so the order of rows does not matter and a duplicated row still counts.

#include <QList>
#include <QString>
#include <QtGlobal>

#include "schema/table_model.h"

class TDbField;

enum class TCheckKind { Number, Text, Char, DateTime, ZonedDateTime, Binary, None };

// How a source column is compared, from its catalog type. None for the columns no canonical
// text is defined for (intervals, XML, files, object types, local-time-zone timestamps) and
// for virtual columns, which the copy does not write.
TCheckKind CheckKindOf(const TFieldRec& field);

// The canonical text of a non-null value given in a text form of the database layer. A text
// that is no number (or no date-time) is returned unchanged: it then differs from the other
// side's and shows as a difference rather than being hidden.
QString CanonicalNumber(const QString& text);
QString CanonicalDateTime(const QString& text, bool zoned);
QString CanonicalChar(const QString& text);
// Hexadecimal text as a row set gives a binary value read as text ("\x0aff", "0AFF").
QString CanonicalHex(const QString& text);

// The canonical text of a non-null field of that kind.
QString CanonicalValue(TCheckKind kind, const TDbField& field);

struct TChecksum {
    qint64 rows = 0;
    quint64 sum_a = 0;  // first 8 bytes of each row's MD5, big-endian
    quint64 sum_b = 0;  // last 8 bytes

    // "rows:sum_a:sum_b", for reports and journal details.
    QString Text() const;
    bool operator==(const TChecksum&) const = default;
};

// Builds the text of one row value by value.
class TRowText {
public:
    void Clear() {
        text_.clear();
        first_ = true;
    }
    void AddNull();
    void Add(TCheckKind kind, const QString& canonical);
    const QString& Text() const { return text_; }

private:
    QString text_;
    bool first_ = true;
};

void AddRow(TChecksum& checksum, const QString& row_text);

// The SQL expression that gives the canonical text of column (a name as the target reads it)
// on PostgreSQL, "\N" for null; Text and the others alike escaped as TRowText does.
QString PgCanonicalExpr(TCheckKind kind, const QString& column);

// "SELECT count(*), <sum a>, <sum b> FROM (...)" over the given target columns and their kinds,
// for one table of a PostgreSQL target: one row of three decimal texts. The sums are in
// 0 .. 2^64-1. columns and kinds have the same length (at least one).
QString PgChecksumSql(const QString& table, const QStringList& columns,
                      const QList<TCheckKind>& kinds);
