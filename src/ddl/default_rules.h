#pragma once
// Column defaults of the source as the target reads them. PostgreSQL gets a default only when
// it means what the Oracle default means: literals, the expressions of the rule table below,
// calls of sequences the script creates; anything else is left out and reported, so that the
// script never fails on a default. Pure functions; any thread.

#include <QList>
#include <QString>
#include <QStringList>

#include "db/sql_text.h"

// One entry of the translation table: an Oracle default in its normal form (words upper-case,
// no blanks, literals upper-case) and the PostgreSQL expression that replaces it. An empty
// expression means the default writes nothing (NULL).
struct TDefaultRule {
    const char* oracle;
    const char* postgres;
};

// The table, in the order it is searched. The entry whose expression is kGuidDefault is written
// by the column's type (see TranslateDefault).
const QList<TDefaultRule>& PgDefaultRules();
inline constexpr const char* kGuidDefault = "<guid>";

// The normal form used as the table's key; empty when the text does not tokenize.
QString NormalDefault(const QString& oracle_default);

enum class TDefaultOutcome {
    None,          // no DEFAULT clause (no default, NULL, or an empty string)
    Written,       // text holds the expression to write after DEFAULT
    Untranslated,  // left out: the target would fail on it or read it differently
};

struct TDefaultText {
    TDefaultOutcome outcome = TDefaultOutcome::None;
    QString text;
};

struct TDefaultContext {
    int db_to = kDbPostgres;
    // The column's type in the target as the script writes it ("VARCHAR(10)", "BYTEA", ...):
    // literals and SYS_GUID() are written in the form that type reads.
    QString target_type;
    const TSqlNames* names = nullptr;
    // Standalone sequences the script creates; a default that calls another one is left out.
    QStringList sequences;
};

// The default of a column for the target. An Oracle target keeps the text (sequence calls lose
// the source owner's name, which the target does not have).
TDefaultText TranslateDefault(const QString& oracle_default, const TDefaultContext& context);
