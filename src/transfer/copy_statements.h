#pragma once
// The SQL texts and command lines of the data copy: the source queries, the two INSERT forms,
// the bulk-load statement, the loader's arguments and the sequence statements. Pure functions
// of the table model and the settings (the INSERT builder also reads rows), so that every text
// can be checked word for word. Used on the user-interface thread only.

#include <QString>
#include <QStringList>

#include "schema/table_model.h"
#include "transfer/value_render.h"

class TDbRowSet;

// --- Reading ------------------------------------------------------------------------------

// Whole-table reading (a forward-only cursor over the table) serves when the rows need no
// order and no paging; otherwise the table is read through a query.
bool UsesWholeTableReader(const TTableRec& table, qint64 portion_read);

// True when the query addition orders the rows itself.
bool AdditionOrders(const TTableRec& table);

// The lines of the query that reads a table: the SELECT, the query addition (also when empty),
// the primary-key order unless the addition orders the rows, and the page when portion_read is
// above 0.
QStringList PortionQueryLines(const TTableRec& table, qint64 copy_off, qint64 portion_read);

// --- Writing ------------------------------------------------------------------------------

enum class TInsertForm { Values, InsertAll };

// Oracle servers before 23 know no multi-row VALUES list.
TInsertForm InsertFormFor(int db_to, const QString& oracle_vers);

struct TBuiltInsert {
    QString sql;
    qint64 rows = 0;
};

// Builds one INSERT from the current row of data_from on: at most portion_write rows, fewer
// when data_from ends; a row with a large binary value ends the statement (its values travel
// as parameters listed in params, which is reset first), and so does every row of the
// INSERT ALL form when the table has a query addition. data_from is left on the row after the
// last one taken. Raises what value rendering raises.
TBuiltInsert BuildInsert(TInsertForm form, const TTableRec& table, TDbRowSet& data_from,
                         int portion_write, const TRenderOptions& options, TParamFiles& params);

// --- Bulk load ----------------------------------------------------------------------------

// "COPY T FROM '<path>' WITH (ENCODING 'UTF8')": the table named through TSqlNames, the path
// written as a literal. The export writes its data files in UTF-8, whatever the server's
// client encoding says.
QString PgCopySql(const QString& table_name, const QString& file_copy);

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

// Finds the first autoincrement column of type exactly "NUMBER": seq_name becomes
// table + "_" + column + "_SEQ", field_autoinc the column's source name. Without one, false,
// and both stay as they were.
bool IsAutoincrement(const TTableRec& table, QString& seq_name, QString& field_autoinc);

QString PgSetvalSql(const QString& seq_name, const QString& field_autoinc,
                    const QString& table_name);
QString OraMaxSql(const QString& field_autoinc, const QString& table_name);
QString OraRestartSql(const QString& table_name, qint64 next_value);
