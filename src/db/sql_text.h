#pragma once
// The one place that writes names and typed values into SQL text and connection strings, for
// each kind of server. Nothing else concatenates an operator's value or a catalog name into a
// statement: generators, target creation, the copy and the export all call these. Pure
// functions and a small value type; any thread.

#include <QSet>
#include <QString>
#include <QStringList>

#include "db/server_kind.h"

class TDbQuery;

// --- Names ---------------------------------------------------------------------------------

// PostgreSQL key words that cannot stand bare as a table or column name: those the key-word
// appendix of the PostgreSQL documentation marks "reserved" and "reserved (can be function or
// type)", in lower case. Kept as data for a script made before a target server answers.
const QSet<QString>& PgReservedWords();

// Oracle's reserved words (those an unquoted name can never be), in upper case.
const QSet<QString>& OraReservedWords();

// How names are written for one target. PostgreSQL: a name Oracle would store unquoted (upper
// case letters, digits, "_") that is no reserved word is written bare and folds to lower case on
// the server, as it always has; any other name is quoted in the case the source has ("ITEM#",
// "OFFSET", "Old Orders"). Oracle: bare when it is a plain upper-case identifier ("$" and "#"
// allowed) and no reserved word, otherwise quoted as stored.
class TSqlNames {
public:
    explicit TSqlNames(int db_kind = kDbPostgres);

    int Kind() const { return db_kind_; }
    // The reserved words of the connected server (pg_get_keywords()), replacing the kept list,
    // so that a name reserved only in the server's own version is quoted too. Lower case.
    void SetPgReservedWords(const QSet<QString>& words);

    // A table, column, constraint, index, sequence, trigger or user name as the target reads it.
    // A name holding a character code 0 raises TError.
    QString Name(const QString& name) const;
    // "a.b" with each part written by Name().
    QString Qualified(const QString& schema, const QString& name) const;
    // Names joined by "," (no blanks), each written by Name().
    QString List(const QStringList& names) const;
    // True when Name() quotes the name.
    bool NeedsQuotes(const QString& name) const;
    // The name as the server stores it: what Name() gives, without quotes and folded as the
    // server folds a bare name (lower case on PostgreSQL, upper case on Oracle).
    QString Stored(const QString& name) const;

private:
    int db_kind_;
    QSet<QString> pg_reserved_;
};

// A name in a query on the Oracle source. Quoting a name that Oracle stores in upper case
// changes nothing there, so the stricter rule of both servers applies (no "$" or "#" bare, no
// reserved word of either): the same text also reads the dictionary emulation on PostgreSQL.
QString OraSourceName(const QString& name);

// The reserved words of a PostgreSQL server (categories R and T of pg_get_keywords()), lower
// case. Raises the database error.
QSet<QString> ReadPgReservedWords(TDbQuery& query);

// A list in the catalog's "(A,B)" form split into its names; any other text gives no names.
QStringList SplitKeyList(const QString& list);

// --- Literals ------------------------------------------------------------------------------

// A PostgreSQL string literal: apostrophes doubled; a text with a backslash is written in the
// E'' form with the backslashes doubled, so that it reads the same whatever the server's
// standard_conforming_strings says. A character code 0 raises TError (PostgreSQL text cannot
// hold it).
QString PgLiteral(const QString& text);
// An Oracle string literal: apostrophes doubled. A character code 0 raises TError.
QString OraLiteral(const QString& text);
// The literal of the target kind.
QString SqlLiteral(int db_kind, const QString& text);
// An Oracle password as IDENTIFIED BY takes it: in double quotes. A password that holds a
// double quote or a character code 0 cannot be written so and raises TError.
QString OraPassword(const QString& password);

// --- Connection strings --------------------------------------------------------------------

// A value as an ODBC connection string takes it: as is, or in braces with '}' doubled when it
// holds ';', '{', '}', '=' or blanks at its ends, or begins with a quote character (which the
// reader of our own connection-string forms would take for an opening quote).
QString OdbcValue(const QString& value);
// A value of the provider level of a connection string (the whole ODBC string of "Extended
// Properties", for one) enclosed in the given character: '"' or '\'' with that character
// doubled inside, '{' with '}' doubled inside.
QString ConnectQuoted(const QString& value, QChar open);

// --- Names typed by the operator -------------------------------------------------------------

// A plain identifier as new databases, roles and users are named: a Latin letter, then Latin
// letters, digits, "_", "$" and "#". Such a name needs no quoting in a connection string and
// cannot end a statement.
bool IsPlainIdentifier(const QString& name);
