#pragma once
// The writing side of the copy into a PostgreSQL target by the COPY protocol: rows of the
// source rendered into COPY text (copy_text.h) a portion at a time, and the portion sent
// through a libpq session of its own (pg_copy.h) as one transaction together with the
// statements that record it (the copy's state). Reading and writing go side by side: the
// portion is cut into blocks of whole rows, and while Fill renders the next rows on the
// owner's thread, a sender thread (copy_sender.h) streams the finished blocks. A refused row is
// reported with the table, its number in the source and its values. Called only from the
// thread that owns it; holds no widget and no ODBC handle.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

#include "db/pg_copy.h"
#include "schema/table_model.h"
#include "transfer/copy_sender.h"
#include "transfer/value_render.h"

class TDbRowSet;

// How a column's values are written (by the target column's kind, as the INSERT path decides)
// and its position in the row set.
struct TCopyColumn {
    TColumnRule rule;
    int index = 0;
};

// The columns the copy writes: every column but those the target computes itself.
QList<const TFieldRec*> CopyFields(const TTableRec& table);
// "COPY name (columns) FROM STDIN": the target's names through TSqlNames.
QString CopyInSql(const TTableRec& table);
std::vector<TCopyColumn> PlanCopyColumns(const TTableRec& table, const TDbRowSet& data_from,
                                         const TRenderOptions& options);
// Appends the current row of data_from as one line of COPY text, line feed included. Raises
// TConvertError for a number that does not fit its column.
void AppendCopyRow(QByteArray& out, const std::vector<TCopyColumn>& plan,
                   const TDbRowSet& data_from, const TRenderOptions& options);

class TCopyWriter {
public:
    // A portion ends at this size or at its row count, whichever comes first.
    static constexpr qsizetype kPortionBytes = 8 * 1024 * 1024;
    // A block is handed to the sender once it holds this much; a row is never split. Small
    // enough that a portion of the default 1000 rows is streamed in several blocks.
    static constexpr qsizetype kBlockBytes = 64 * 1024;

    // Opens the session at the address of the target's ODBC connection string (its data
    // source resolved as the driver manager does). Raises TError with what stands in the way.
    void Open(const QString& odbc_connection_string);
    void Close();
    bool Connected() const { return session_.Connected(); }

    // Starts a portion of the table; rows are numbered from first_row in error messages.
    void StartPortion(const TTableRec& table, qint64 first_row);
    // Renders rows from the current row of data_from on, at most max_rows and until the
    // portion holds kPortionBytes; data_from is left on the row after the last one taken.
    // Returns the rows taken. Blocks finished on the way are streamed already, in the
    // portion's transaction; a failure of that stream is raised here or by Send, and any
    // failure leaves the portion rolled back.
    qint64 Fill(TDbRowSet& data_from, qint64 max_rows, const TRenderOptions& options);
    qint64 Rows() const { return rows_; }
    qsizetype Bytes() const { return bytes_; }
    const QString& Sql() const { return sql_; }
    // Bytes of COPY text streamed to the target since Open, committed or not.
    qint64 BytesSent() const { return bytes_sent_.load(std::memory_order_relaxed); }

    // Sends the rest of the portion and then the statements given in one transaction, and
    // commits. On a failure the transaction is rolled back and a TPgError raised; when the
    // server names the line it stopped at, its message names the table, the row and its values.
    void Send(const QStringList& then);
    // Stops the sender and rolls back whatever is open; a session that cannot do even that is
    // closed.
    void Rollback();

private:
    // Lines of the portion, kept until it commits for the message about a refused row.
    struct TBlock {
        QByteArray data;
        std::vector<qsizetype> starts;  // of each line in data
        qint64 first_line = 1;          // in the portion's stream, from 1
        // A block holding a huge row keeps only the values as the message shows them.
        std::vector<QStringList> shown;
    };

    TBlock& OpenBlock();
    void HandOver();
    void ClearPortion();
    QStringList ShownValues(QByteArrayView line) const;
    [[noreturn]] void RaiseRefused(const TPgError& error) const;

    TPgCopySession session_;
    QString table_name_;
    QString sql_;
    QStringList column_names_;
    std::vector<TCopyColumn> plan_;
    const TTableRec* plan_table_ = nullptr;
    qint64 first_row_ = 1;
    std::vector<TBlock> blocks_;
    size_t handed_ = 0;  // blocks given to the sender
    qint64 rows_ = 0;
    qsizetype bytes_ = 0;
    std::atomic<qint64> bytes_sent_ = 0;
    bool in_transaction_ = false;
    // Declared after the session: it is stopped before the session closes.
    TCopySender sender_;
};
