#pragma once
// The SQL texts and command lines of the data copy (the source queries: source_reading.h): the
// two INSERT forms, the bulk-load statement, the loader's arguments and the sequence statements.
// Pure functions of the table model and the settings (the INSERT builder also reads rows), so that
// every text can be checked word for word. Used on the user-interface thread only.

#include <QString>
#include <QStringList>

#include "schema/source_reading.h"
#include "schema/table_model.h"
#include "transfer/value_render.h"

class TDbRowSet;

// The position of the column FieldByName finds: the first of that name, Latin letters compared
// without case, or whichever the row set's own rule picks. A name the row set does not have
// raises FieldByName's own error.
int ColumnIndex(const TDbRowSet& data_from, const QString& name);

// --- Writing ------------------------------------------------------------------------------

enum class TInsertForm { Values, InsertAll };

// Oracle servers before 23 know no multi-row VALUES list.
TInsertForm InsertFormFor(int db_to, const QString& oracle_vers);

struct TBuiltInsert {
    QString sql;
    qint64 rows = 0;
};

// Builds one INSERT from the current row of data_from on: at most portion_write rows, fewer
// when data_from ends or when the next row would take the text past
// options.max_statement_chars (a single row may be larger). A row with values bound as
// parameters (listed in params, which is reset first) ends the statement; and so does every
// row of the INSERT ALL form when the table has a query addition. The INSERT ALL form holds at
// most 999 values (rows x columns), and a row with bound values goes alone as a plain INSERT
// ... VALUES, which is the form Oracle takes a LOB bind in. Names are written by the target's
// TSqlNames; virtual columns are left out. data_from is left on the row after the last one
// taken. Raises what value rendering raises; a text with a character code 0 for PostgreSQL
// names the table, the row's key (or number) and the column.
TBuiltInsert BuildInsert(TInsertForm form, const TTableRec& table, TDbRowSet& data_from,
                         int portion_write, const TRenderOptions& options, TParamFiles& params);

// --- Bulk load ----------------------------------------------------------------------------

// "COPY T (A,B) FROM '<path>' WITH (ENCODING 'UTF8')": the table and its columns (target
// names; the list is left out when empty) named through TSqlNames, the path written as a
// literal. The columns are those of the data file (PgDataFileColumns): without a list, COPY
// would look for values of columns the target computes, which the file does not hold. The
// export writes its data files in UTF-8, whatever the server's client encoding says.
QString PgCopySql(const QString& table_name, const QStringList& columns, const QString& file_copy);

// The folder part of a path with its final separator ('/' or '\'); empty without one.
QString FolderOf(const QString& path);

// The loader's arguments: parfile=<file> control=<file> errors=100 bad=<folder><table>.log.
// The login stands in the parameter file, not on the command line, which every user of the
// machine can read. Each is one argument of its own, so blanks and apostrophes need no quoting.
QStringList LoaderArguments(const QString& par_file, const QString& file_copy,
                            const QString& table_name);

// The parameter file's text: userid=user/"password"@data source, the password quoted as Oracle
// takes it. Raises TError for a user name that is no plain identifier, a password Oracle cannot
// take, or a value with a line break (it would begin another parameter).
QString LoaderParFileText(const QString& user, const QString& password, const QString& data_source);

// --- Sequences ----------------------------------------------------------------------------

// Finds the column a sequence feeds in the target, by the script's own rule (SequenceField: the
// identity column, else the first autoincrement NUMBER column): seq_name becomes table + "_" +
// column + "_SEQ", field_autoinc the column's target name. Without one, false, and both stay
// as they were.
bool IsAutoincrement(const TTableRec& table, QString& seq_name, QString& field_autoinc);

// The same column for a PostgreSQL target; its target name goes to column.
bool PgSerialColumn(const TTableRec& table, QString& column);

// Moves the sequence the server itself made for the column (found by pg_get_serial_sequence,
// so that long, quoted and renamed names are its own) so that the next value follows the
// largest key; an empty table, or keys of 0 and below, start it at 1.
QString PgSetvalSql(const QString& table_name, const QString& column);

QString OraMaxSql(const QString& field_autoinc, const QString& table_name);
// Oracle 18 and later restart a sequence at a value.
bool OraCanRestartSequence(const QString& oracle_vers);
QString OraRestartSql(const QString& table_name, qint64 next_value);
// Earlier servers move it by a one-off increment: read the value, step by the difference,
// read once more, step by 1 again.
QString OraNextvalSql(const QString& table_name);
QString OraIncrementSql(const QString& table_name, qint64 increment);
// An identity column starts again after the largest value the table holds (Oracle 12c+).
QString OraIdentityRestartSql(const QString& table_name, const QString& column);
