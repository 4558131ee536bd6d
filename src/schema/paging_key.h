#pragma once
// The key a table is read by in the copy: the columns that order its rows uniquely, so that a
// portion, or a resume, can start exactly after the last row taken ("WHERE key > last key"),
// whatever rows were added or deleted meanwhile. Also how a key value is written into a
// condition on either server. Pure functions of the table model; any thread.

#include <QList>
#include <QString>
#include <QStringList>

#include "schema/table_model.h"

class TDbQuery;

// How values of a key column travel: numbers and date-times as typed statement parameters
// (a date literal would depend on the session's formats), text as a literal (a national
// character parameter makes Oracle convert the column, which defeats its index and compares
// in another character set than the one ORDER BY sorts in).
enum class TKeyType { Number, Text, NationalText, DateTime };

struct TPagingKey {
    QStringList columns;         // source names, in key order
    QStringList target_columns;  // the same columns by their target names
    QList<TKeyType> types;
    QString constraint;  // the primary or unique key it comes from

    bool Usable() const { return !columns.isEmpty(); }
};

// The table's primary key when it is validated, else the first enabled and validated unique
// key whose columns are all NOT NULL; its columns must be of types that compare exactly
// (numbers, text, dates). Without one, the key is empty and why_not says why, in a phrase for
// the journal.
TPagingKey ChoosePagingKey(const TTableRec& table, QString* why_not = nullptr);

// One term of a key condition: the column as the statement names it and the value as it goes
// into the statement (a parameter reference or a literal).
struct TKeyTerm {
    QString column;
    QString value;
};

// A value bound to a statement for a key condition.
struct TKeyParam {
    QString name;  // without the colon
    TKeyType type;
    QString value;  // text form as the row set gives it
    bool operator==(const TKeyParam&) const = default;
};

// The terms of a condition on the source (names by OraSourceName) for the key values, and the
// parameters they refer to; prefix names the parameters (prefix1, prefix2, ...).
QList<TKeyTerm> SourceKeyTerms(const TPagingKey& key, const QStringList& values,
                               QList<TKeyParam>& params, const QString& prefix);
// The same on the target (names by TSqlNames of the target kind; text compared byte-wise on
// PostgreSQL, as the source sorts it).
QList<TKeyTerm> TargetKeyTerms(int db_to, const TPagingKey& key, const QStringList& values,
                               QList<TKeyParam>& params, const QString& prefix);

// "rows after the key" without row-value comparison, which Oracle lacks: for (A,B)
// "(A >= a AND (A > a OR B > b))"; the leading ">=" lets an index start its range there.
QString KeyAfterCondition(const QList<TKeyTerm>& terms);
// "(A = a AND B = b)".
QString KeyEqualCondition(const QList<TKeyTerm>& terms);

// Binds the parameters to the statement and switches its parameter check on when there are
// any. Raises TConvertError for a value that cannot be bound exactly.
void BindKeyParams(TDbQuery& query, const QList<TKeyParam>& params);

// "k1, k2" for a journal line.
QString KeyValuesText(const QStringList& values);
