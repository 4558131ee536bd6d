#pragma once
// Validation of a copied table: a fresh row count on both sides and, on request, the
// order-independent checksum of all rows (canonical_value.h), the source's read through the
// database layer, a PostgreSQL target's computed by the server. Runs where the copy runs (the
// copy worker, or the user-interface thread today) on the copy's own connections, so that a
// source count taken inside the copy's snapshot belongs to that snapshot. Each call opens
// statements of its own and leaves the copy's statements alone.

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include "schema/table_model.h"
#include "verify/canonical_value.h"

class TDbConnection;
class TSqlNames;

// What the settings page says about validation. Saved with the other settings.
struct TVerifySettings {
    bool validate = true;   // "Проверять после копирования"
    bool checksum = false;  // the checksum of all rows besides the counts
};

struct TValidateOptions {
    int db_to = kDbPostgres;
    bool checksum = false;
    // PostgreSQL key words of the target server, as the script was written with; empty: the
    // kept list.
    QSet<QString> pg_reserved_words = {};
};

enum class TCheckStatus { Match, CountMismatch, ChecksumMismatch, Failed };

struct TTableCheck {
    QString table;
    TCheckStatus status = TCheckStatus::Failed;
    qint64 source_rows = -1;
    qint64 target_rows = -1;
    bool checksum_done = false;
    TChecksum source_checksum;
    TChecksum target_checksum;
    // Columns left out of the checksum, as "NAME (TYPE)": no canonical text is defined for
    // their type, or the copy does not write them.
    QStringList unchecked_columns;
    // The source rows were counted through the table's query addition, as the copy read them.
    bool filtered = false;
    QString error;  // Failed: the message
    QString sql;    // Failed: the statement that failed

    bool Ok() const { return status == TCheckStatus::Match; }
    // The line for the copy journal: "проверено: 1000000 = 1000000" or what differs.
    QString JournalLine() const;
};

// Counts (and checksums) both sides. Never raises: a statement that fails gives the status
// Failed with its message, which never reads as success. Call it once the table's rows are
// committed: its statements only read, but on a target with autocommit off a failed one leaves
// the transaction aborted on PostgreSQL, and the caller then rolls it back.
TTableCheck ValidateTable(const TTableRec& table, TDbConnection& from, TDbConnection& to,
                          const TValidateOptions& options);

// The source's statements for a table: the count, and the rows of the given columns, both over
// the table as the copy reads it (through its query addition). Names by OraSourceName.
QString SourceCountSql(const TTableRec& table);
QString SourceRowsSql(const TTableRec& table, const QList<const TFieldRec*>& fields);

// The checksum of a statement's rows read through the database layer, each field i of kind
// kinds[i]. Raises the database error.
TChecksum ReadChecksum(TDbConnection& connection, const QString& sql,
                       const QList<TCheckKind>& kinds);

// The statement that checksums a target table: on PostgreSQL the aggregate of PgChecksumSql,
// on Oracle the rows to read. Names as names writes them for the target.
QString TargetChecksumSql(const TSqlNames& names, const TTableRec& table,
                          const QList<const TFieldRec*>& fields);
// The checksum of a target table: computed by a PostgreSQL server, read through the layer from
// an Oracle one. Raises the database error.
TChecksum TargetChecksum(TDbConnection& to, const TSqlNames& names, const TTableRec& table,
                         const QList<const TFieldRec*>& fields);

// The columns of a table that take part in the checksum, in column order.
QList<const TFieldRec*> ChecksumFields(const TTableRec& table);

// For the completion message: empty when every table matched; otherwise a sentence naming the
// tables whose check failed.
QString MismatchSummary(const QList<TTableCheck>& checks);
// The completion message: "Миграция завершена успешно." only when no check failed.
QString CompletionMessage(const QList<TTableCheck>& checks);
