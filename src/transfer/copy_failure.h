#pragma once
// What the operator needs to find the cause of a failed unit of copy work: where in the target
// it stopped and which statements it was running when it failed. Plain data, so that whoever
// runs the copy (today the engine on the user-interface thread) can hand it to the window.

#include <QString>
#include <QStringList>

struct TCopyFailure {
    // The table being copied; empty past the last table (the after-copy section).
    QString table;
    // Rows of that table in the target (past the last table: statements of the section done).
    qint64 committed_rows = 0;
    // Rows the failed statement held; 0 when it failed before it held any.
    qint64 unit_rows = 0;
    // The key the table is read by and the key of its last row in the target, when it is read
    // by its key and a row is there.
    QStringList key_columns;
    QStringList last_key;
    // The source statement the unit read from, and the target statement it ran; each empty when
    // the unit had none.
    QString read_sql;
    QString write_sql;
    QString message;
};
