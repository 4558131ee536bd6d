#pragma once
// One consistent, read-only view of the source for the whole copy: every table is read as it
// stood at one moment, so that tables read minutes apart still agree (foreign keys hold) and a
// table ends where that moment's rows end. Oracle gives it with SET TRANSACTION READ ONLY on
// the reading session, the emulated source (PostgreSQL) with a REPEATABLE READ READ ONLY
// transaction. The view lasts until the copy ends or the program does; a resume in a later run
// reads a view of its own. Called on the thread that owns the source connection.

#include <QString>

class TDbConnection;
class TDbQuery;

// Starts the view on the source connection before the copy reads anything; query must not be
// open. Returns an empty text when the view is held, else why not (a phrase for the journal),
// leaving the connection as it was.
QString BeginSourceSnapshot(TDbConnection& from, TDbQuery& query);
// Ends the view; while other readers of the connection (an export) are still reading in it, it
// is left to them and ends with the connection.
void EndSourceSnapshot(TDbConnection& from);
