#pragma once
// Work on a whole table at once: loading it from a data file with the target's own loader, and
// moving the sequence of its autoincrement column past the copied keys. Used by the copy
// engine on the user-interface thread.

#include <QString>
#include <QStringList>

#include "schema/table_model.h"

class TDbQuery;

// "COPY T FROM '<file>' WITH (ENCODING 'UTF8')" on the target; the server reads the file itself.
// Returns when the load is complete; raises TDbError when the server refuses it.
void BulkLoadPostgres(TDbQuery& query_to, const TTableRec& table);

struct TLoaderRun {
    int exit_code = 0;
    bool crashed = false;
    QString output;  // what the loader wrote to its console, the end of it when it is long
};

// Starts the loader with an argument list (no shell) and waits until it ends: the sequence
// of the loaded table may only be synchronised when every row is in. Raises TError when the
// program cannot be started. Its console output is kept in a file while it runs (a long load
// writes much) and its end returned; the loader also writes its own log, and the rejected rows
// go to the "bad" file of its arguments.
TLoaderRun RunLoader(const QString& program, const QStringList& arguments);

// The loader's parameter file: "param_loader.tmp" beside the file of the large values.
QString LoaderParFilePath(const QString& file_param);

// Runs the Oracle loader for the table: the login goes into the parameter file par_file
// (readable by the owner only), which is deleted when the loader has ended, however it ended.
// Raises TError when the file cannot be written or the program cannot be started.
TLoaderRun RunOracleLoader(const QString& program, const QString& par_file, const QString& user,
                           const QString& password, const QString& data_source,
                           const TTableRec& table);

// The loader's verdict: 0 is success, 2 a load with rejected rows (the caller warns with their
// count, the lines of the bad file named by the "bad=" argument; -1 when that file cannot be
// read); anything else, or a crash, raises TError with the loader's output.
qint64 CheckLoaderRun(const TLoaderRun& run, const QString& program, const QStringList& arguments,
                      const QString& table_name);

// Moves the sequence of the table's autoincrement column past the largest copied value:
// setval on PostgreSQL (the column's own sequence, found by the server), MAX and ALTER SEQUENCE
// on Oracle (RESTART from 18 on, a one-off increment before). seq_name and field_autoinc are
// the window's texts that IsAutoincrement fills. Tables without such a column are left alone.
void SyncSequence(int db_to, const QString& oracle_vers, const TTableRec& table, TDbQuery& query_to,
                  QString& seq_name, QString& field_autoinc);
