#pragma once
// The statements of a PostgreSQL script, as the server would end them: at a semicolon outside
// quoted text, quoted names, comments and dollar-quoted bodies. The script runs as one text;
// this is for saying which of its statements failed. Pure text work; any thread.

#include <QList>
#include <QString>

struct TPgStatement {
    QString text;  // without the semicolon, trimmed
    int line = 1;  // the script line it starts on, counted from 1
};

// Statements that hold only comments or blanks are left out.
QList<TPgStatement> SplitPgScript(const QString& script);
