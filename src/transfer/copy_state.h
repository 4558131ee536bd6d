#pragma once
// The copy's own table in a PostgreSQL target: one row holding the checkpoint and the
// after-copy section of the script. It is updated in the same transaction as the rows it
// counts, so that the target and the checkpoint cannot disagree, whatever stops the copy (the
// checkpoint file is a copy of it, and the table is what a resume trusts). Dropped when the
// copy is complete. Used by the copy engine on the user-interface thread.

#include <QString>
#include <QStringList>
#include <optional>

class TDbQuery;

inline const QString kCopyStateTable = QStringLiteral("skerrow_copy_state");

struct TCopyState {
    QStringList checkpoint;  // the lines of the checkpoint
    QString after_copy;
};

// Creates the table when it is missing and puts the checkpoint and the section in its row.
void WriteCopyState(TDbQuery& query_to, const QStringList& checkpoint, const QString& after_copy);
void UpdateCopyState(TDbQuery& query_to, const QStringList& checkpoint);
// The statement UpdateCopyState runs, for a session of another kind that writes the rows.
QString UpdateCopyStateSql(const QStringList& checkpoint);
// The row, or nothing when the database has no such table or row.
std::optional<TCopyState> ReadCopyState(TDbQuery& query_to);
void DropCopyState(TDbQuery& query_to);
