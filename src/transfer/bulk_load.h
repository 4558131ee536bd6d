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
};

// Starts the loader with an argument list (no shell) and waits until it ends: the sequence
// of the loaded table may only be synchronised when every row is in. Raises TError when the
// program cannot be started. Its output is not kept; the loader writes its own log and the
// rejected rows go to the "bad" file of its arguments.
TLoaderRun RunLoader(const QString& program, const QStringList& arguments);

// The loader's parameter file: "param_loader.tmp" beside the file of the large values.
QString LoaderParFilePath(const QString& file_param);

// Runs the Oracle loader for the table: the login goes into the parameter file par_file
// (readable by the owner only), which is deleted when the loader has ended, however it ended.
// Raises TError when the file cannot be written or the program cannot be started.
TLoaderRun RunOracleLoader(const QString& program, const QString& par_file, const QString& user,
                           const QString& password, const QString& data_source,
                           const TTableRec& table);

// Moves the sequence of the table's autoincrement column past the largest copied value:
// setval on PostgreSQL, MAX and ALTER SEQUENCE ... RESTART on Oracle. seq_name and
// field_autoinc are the window's texts that IsAutoincrement fills. Tables without such a column
// are left alone.
void SyncSequence(int db_to, const TTableRec& table, TDbQuery& query_to, QString& seq_name,
                  QString& field_autoinc);
