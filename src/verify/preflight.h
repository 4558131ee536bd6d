#pragma once
// The check before the copy: for each table and column, what the migration will do with it and
// what may go wrong, from the table model, the type mapping and a few aggregate queries on the
// source (one per table with rows, over the columns whose data decide). Pure functions of the
// model and of the figures read; the queries run on the statement given. Called on the
// user-interface thread after the structure is read, and again on request.

#include <QList>
#include <QSet>
#include <QString>

#include "schema/table_model.h"

class TDbQuery;

enum class TSeverity { Error, Warning, Info };

// "ошибка", "предупреждение", "сведения".
QString SeverityText(TSeverity severity);

struct TFinding {
    TSeverity severity = TSeverity::Info;
    QString table;
    QString column;  // empty when the finding is about the table as a whole
    QString text;
    bool operator==(const TFinding&) const = default;
};

struct TPreflightOptions {
    int db_to = kDbPostgres;
    int int_type_index = 0;   // the integer width choice of the settings page
    qint64 portion_read = 0;  // the copy's portion size: with a query addition it decides
                              // whether a keyless table is read through the query
    // PostgreSQL key words of the target server; empty: the kept list.
    QSet<QString> pg_reserved_words = {};
};

// Findings from the model alone: types without a mapping, names the target must quote or
// shortens, what the script cannot give a column as the source has it, tables without a key to
// read them by in portions, and a line per table of how it is copied.
QList<TFinding> CheckModel(const TTables& tables, const TPreflightOptions& options);

// CheckModel, then the data of each table with rows, read with one aggregate query per table
// on query_from (skipped when it is null): numbers that do not fit the chosen integer type,
// text longer than its target column, dates outside the target's range, the volume of large
// objects. A query that fails gives a warning for its table and the check goes on. Findings
// stand in table order, the most severe first within a table.
QList<TFinding> RunPreflight(const TTables& tables, const TPreflightOptions& options,
                             TDbQuery* query_from);

int CountFindings(const QList<TFinding>& findings, TSeverity severity);

// --- Judging the figures of one column (used by RunPreflight) --------------------------------

// What the aggregate query found for a NUMBER column: the least and the greatest value as
// decimal texts (empty: no value), and whether some value has a fraction.
struct TNumberFigures {
    QString min;
    QString max;
    bool has_fraction = false;
};

// Figures of a NUMBER column against its target type. chosen_type is what the operator's
// integer choice makes of an integer column ("BIGINT" or "INTEGER" on PostgreSQL), target_type
// what the mapping makes of this one (it may have chosen a wider type for the data).
QList<TFinding> JudgeNumber(const TTableRec& table, const TFieldRec& field, int db_to,
                            const QString& chosen_type, const QString& target_type,
                            const TNumberFigures& figures);

// The character limit of a target type ("VARCHAR(20)", "CHAR", "VARCHAR2(10 CHAR)"): -1
// without one. bytes is set when the limit counts bytes (Oracle's default length semantics).
int TargetLengthLimit(const QString& target_type, int db_to, bool* bytes);

QList<TFinding> JudgeTextLength(const TTableRec& table, const TFieldRec& field,
                                const QString& target_type, int limit, bool bytes,
                                qint64 max_length);

// The earliest and the latest date-time in canonical form (canonical_value.h).
QList<TFinding> JudgeDates(const TTableRec& table, const TFieldRec& field, int db_to,
                           const QString& min, const QString& max);

// Large objects: the number of values, their total size and the largest (bytes for binary
// values, characters for text).
QList<TFinding> JudgeLobs(const TTableRec& table, const TFieldRec& field, int db_to, qint64 count,
                          qint64 total, qint64 largest);

// -1, 0 or 1 as the decimal a is below, equal to or above b (texts CanonicalNumber accepts).
int CompareDecimal(const QString& a, const QString& b);

// "12 байт", "1,5 КБ", "3,2 ГБ".
QString FormatBytes(qint64 bytes);
