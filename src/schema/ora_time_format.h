#pragma once
// Reading the date format of an Oracle target, so that dates sent to it as text are parsed the
// way they were written. User-interface thread; one query on the target connection.

#include <QString>

class TDbQuery;

// The target's "nls_date_format" as Oracle states it (pure_ora), or converted into a format
// text of our date formatter. Empty for a target that is not Oracle (db_to != 1), without
// touching the connection, and when the parameter has no value. When V$PARAMETER is refused,
// the session's NLS_DATE_FORMAT (NLS_SESSION_PARAMETERS) is taken; when that fails too, the
// refusal of V$PARAMETER propagates.
QString GetOraTimeFormat(TDbQuery& query_to, int db_to, bool pure_ora);
