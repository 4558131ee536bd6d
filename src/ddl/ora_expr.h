#pragma once
// Oracle SQL expressions as the dictionary stores them (check conditions, virtual columns,
// defaults), read as tokens and written again for a target: column references renamed and
// written by TSqlNames, and for PostgreSQL a deliberately small set of constructs whose meaning
// is the same on both servers. Anything outside that set is reported as not translatable, so
// the caller can leave it out with a note instead of writing a statement that fails or means
// something else. Pure functions; any thread.

#include <QList>
#include <QString>

#include "db/sql_text.h"
#include "schema/table_model.h"

enum class TOraTokenKind { Word, Quoted, Number, String, Symbol };

struct TOraToken {
    TOraTokenKind kind = TOraTokenKind::Symbol;
    QString text;   // as written in the source
    QString value;  // Word: upper-cased; Quoted: the name inside the quotes; String: the text
    QString lead;   // the blanks before the token
    bool national = false;  // an N'...' literal
};

// Splits an expression into tokens. False when the text holds something no expression of ours
// may hold: an unterminated literal or name, a comment, a character outside the SQL syntax.
bool TokenizeOra(const QString& expr, QList<TOraToken>& tokens);

// The expression for a PostgreSQL table with the given columns, or false when it cannot be
// carried over with the same meaning. Columns are matched by their source names and written
// under their target names.
bool PgExpression(const QString& oracle_expr, const QList<TFieldRec>& fields,
                  const TSqlNames& names, QString& result);

// The expression for an Oracle target: the same text with renamed columns written under their
// new names, and "%" inside literals written so that the script's statement separator never
// appears in a statement. A text that does not tokenize is returned unchanged.
QString OraExpression(const QString& oracle_expr, const QList<TFieldRec>& fields,
                      const TSqlNames& names);

// A string literal for an Oracle script: OraLiteral, except that each "%" becomes CHR(37) in a
// concatenation, since "%" separates the script's statements. national writes N'...' and
// NCHR(37).
QString OraScriptLiteral(const QString& text, bool national = false);

// Text for a one-line "--" comment: line breaks and tabs become blanks; on an Oracle target "%"
// becomes a look-alike character for the same reason as above.
QString CommentText(const QString& text, int db_to);

// A number as PostgreSQL reads it from an Oracle numeric literal (1, -2.5, .5, 1E3, 2.5f):
// false when the tokens are no such literal.
bool NumberLiteral(const QList<TOraToken>& tokens, QString& result);
