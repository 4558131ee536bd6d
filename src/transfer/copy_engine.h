#pragma once
// The data copy of the wizard: the preparation of the copy, one unit of copy work per call
// (one INSERT statement, the end of a portion, emptying a table that starts over, the bulk load
// of a whole table, or one statement of the after-copy section), the sequence synchronisation
// after each table, the checkpoint and the resume from it.
//
// Every unit is one transaction on the target: its rows, the sequence of a finished table and,
// on PostgreSQL, the copy's state table (copy_state.h) commit together, and the checkpoint file
// is written after each commit. Tables are read by their key in portions (portion_reader.h),
// all in one consistent view of the source (source_snapshot.h), so that a resume continues
// after the last committed key whatever happened in between; a table without a usable key is
// read in one pass and starts over when it is resumed.
//
// The engine owns the copy bookkeeping (table index, committed rows and key, the reader, the
// journal) and works on the connections, statements and table model it is given, which it holds
// by reference. Progress is plain data that the caller reads after each call. Called on one
// thread at a time (the window's copy worker, copy_worker.h); a call blocks until its one unit
// is done (a bulk load waits for the server or the loader program to finish).
//
// The window's part: fill Settings(); after target creation SetCopyOff(0), PrepareCopy(0) and
// SetAfterCopy with the rest of the script (CreateTarget's prepare_copy and after_copy), show
// the rows and "Ok"; on entering the copy step StartTiming(now); then CopyData() unit after unit
// on the worker, showing Progress() (new_lines appended to the copy memo) and, when finished,
// SaveLog(file_log) and moving on; on pause or failure SaveTmpFile(file_temp); at the end of the
// settings step FindUnfinished(file_temp) and then LoadFromTmpFile(file_temp) after sorting the
// tables, or DiscardCheckpoint(file_temp) when the operator declines.

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

#include "schema/portion_reader.h"
#include "schema/table_model.h"
#include "transfer/checkpoint.h"
#include "transfer/copy_failure.h"
#include "transfer/copy_statements.h"
#include "transfer/copy_writer.h"
#include "transfer/unfinished_copy.h"
#include "transfer/value_render.h"
#include "util/code_page.h"

class TDbConnection;
class TDbQuery;
class TDbRowSet;
class TDbTable;

// How rows reach a PostgreSQL target: by the COPY protocol in portions, or by INSERT statements
// (the only way into an Oracle target, whatever is chosen).
enum class TWriteMethod { Copy = 0, Insert = 1 };

// What the copy reads from the settings page and the working paths. The window fills it
// before the copy is prepared (and may refresh it between calls).
struct TCopySettings {
    int db_to = kDbPostgres;
    qint64 portion_read = 100000;  // 0: no paging
    int portion_write = 1000;
    // The window takes it from the settings page; the statements stay the default of the
    // engine itself, so that a caller that says nothing gets the path it always had.
    TWriteMethod write_method = TWriteMethod::Insert;
    QString oracle_vers;  // version banner read last; decides the INSERT and sequence forms
    QString connect_to;   // target connection text as the operator entered it
    QString user;         // the new database / role / Oracle user
    QString password;
    QString file_addi;  // query additions file
    QString file_temp;  // checkpoint written after every commit; empty: only by SaveTmpFile
    QString loader_program = QStringLiteral("sqlldr");  // Oracle bulk loader
    TRenderOptions render;  // type conversion, date format, parameter file
    TCodePage code_page;    // of the query additions file, the checkpoint and the log
    // What reading the source found worth saying (the driver taken, where the version came
    // from): the journal and the log of the copy begin with it.
    QStringList source_notes;
};

// One row of the target table list: table, rows, query addition, from file.
struct TTableToRow {
    QString name;
    QString rows;
    QString query_addi;
    QString from_file;
    bool operator==(const TTableToRow&) const = default;
};

// The display state after a call.
struct TCopyProgress {
    QString panel_info;  // new caption of the info panel; empty when the call left it alone
    int gauge_table_position = 0;
    int gauge_table_max = 0;
    qint64 gauge_row_position = 0;
    qint64 gauge_row_max = 0;
    QString label_n;
    QString label_time;
    QStringList new_lines;  // journal lines the call added
    bool finished = false;  // the last table is done: the window moves on and saves the log
};

// What the copy has sent to the target since the engine was made: rows and bytes of the
// statements or COPY text, counted when they are sent (a portion rolled back stays counted).
// The rates of the copy page are taken from it.
struct TCopyTraffic {
    qint64 rows = 0;
    qint64 bytes = 0;
};

// Called once a table's rows are all committed, before the copy moves on to the next table, on
// the thread that runs the copy and with its connections (the source still in the copy's
// view). rows: the rows the copy wrote (-1 for a table loaded from a file). Returns journal
// lines for the table.
using TTableDoneHook = std::function<QStringList(const TTableRec& table, qint64 rows,
                                                 TDbConnection& from, TDbConnection& to)>;

class TCopyEngine {
public:
    TCopyEngine(TTables& tables, TDbConnection& connection_from, TDbQuery& query_from,
                TDbTable& table_from, TDbConnection& connection_to, TDbQuery& query_to);
    TCopyEngine(const TCopyEngine&) = delete;
    TCopyEngine& operator=(const TCopyEngine&) = delete;

    TCopySettings& Settings() { return settings_; }
    const TCopySettings& Settings() const { return settings_; }

    // Sets up the copy from start_table on: loads the query additions into the tables and
    // returns the rows of the target table list; closes any reader left open; empties the
    // journal (the window empties its copy and error memos) and the after-copy section. The
    // offset is left alone. The result label may read "Ok" once this has returned. Raises what
    // reading the additions file raises.
    QList<TTableToRow> PrepareCopy(qint64 start_table);
    // Rows of the current table already in the target (also the committed count).
    void SetCopyOff(qint64 copy_off);
    // The rest of the script after its after-copy marker: run when the last table is done.
    void SetAfterCopy(const QString& section);
    const QString& AfterCopy() const { return after_copy_; }
    void SetTableDoneHook(TTableDoneHook hook) { table_done_ = std::move(hook); }
    // The moment the copy step began; the elapsed time starts empty.
    void StartTiming(const QDateTime& time_step);
    // Moves that moment on by msecs: time the copy stood paused is no copy time.
    void ShiftTiming(qint64 msecs);

    // One unit of work. Raises on any failure; the unit's transaction is then rolled back,
    // its rows are not counted, and the next call (or a resume) reads them again.
    void CopyData();

    const TCopyProgress& Progress() const { return progress_; }
    // What the last call failed at; the message is empty when it did not fail.
    const TCopyFailure& Failure() const { return failure_; }
    qint64 IndTable() const { return pending_.ind_table; }
    // Rows of the current table put into statements so far.
    qint64 CopyOff() const { return pending_.rows; }
    // Rows of the current table that have reached the target.
    qint64 CommittedOff() const { return committed_.rows; }
    // The key of the last of them, for a table read by its key.
    const QStringList& CommittedKey() const { return committed_.key; }
    bool IsDone() const { return is_done_; }
    const QString& SeqName() const { return seq_name_; }
    const QString& FieldAutoinc() const { return field_autoinc_; }
    // The version banner of an Oracle target, read by the resume (the statement forms go by
    // it); empty otherwise.
    const QString& TargetVersion() const { return target_version_; }

    const TCopyTraffic& Traffic() const { return traffic_; }
    // Rows still to copy by the counts of the table list: the rest of the current table and
    // every table after it.
    qint64 RowsLeft() const;
    qint64 TableRowsLeft() const;

    // Every journal line since the preparation: the log written at the end.
    const QStringList& Journal() const { return journal_; }
    void SaveLog(const QString& file_log) const;

    // Where the target stands: the current table's index and name, the rows and key committed.
    TCheckpoint Checkpoint() const;
    // Writes the checkpoint and the after-copy section beside it.
    void SaveTmpFile(const QString& file_temp) const;

    // True when an unfinished copy exists: the checkpoint file, or (PostgreSQL) the state table
    // in the new database when the file is gone. May reconnect the target connection.
    bool FindUnfinished(const QString& file_temp);
    // Where the unfinished copy that FindUnfinished found stands, read as the resume will
    // read it (the state table first), and when its file was written (copy_unfinished.cpp).
    TUnfinishedCopy DescribeUnfinished(const QString& file_temp);
    // Forgets the unfinished copy for good: the files and the target's state table.
    void DiscardCheckpoint(const QString& file_temp);
    // Reconnects the target as target creation left it (the new database; on Oracle the new
    // user), reads the checkpoint (the target's state table when there is one, else the file),
    // checks it against the table list and the target, removes rows committed after the last
    // checkpoint where the target has no state table, and prepares the copy there. The
    // checkpoint stays until the copy is done. Raises, leaving it, when it does not agree.
    QList<TTableToRow> LoadFromTmpFile(const QString& file_temp);

private:
    // A position in the target.
    struct TPoint {
        qint64 ind_table = 0;
        // Rows of the current table in the target; past the last table, statements of the
        // after-copy section done.
        qint64 rows = 0;
        QStringList key;            // the key of the last of those rows, tables read by key
        qint64 previous_rows = -1;  // rows of the table before, -1 unknown
    };

    void Start();
    void TableUnit(const TTableRec& table);
    void AfterCopyUnit();
    QStringList AfterCopyStatements() const;
    void FinishCopy();
    void Finish();
    bool HasLoadFile(const TTableRec& table) const;
    void BulkLoad(const TTableRec& table);
    const TReadPlan& PlanFor(qint64 index) const;
    void EmptyTargetTable(const TTableRec& table);
    void OpenReader(const TTableRec& table);
    void WriteStatement(const TTableRec& table);
    bool WritesByCopy() const;
    void WriteCopyPortion(const TTableRec& table);
    void TableFinished(const TTableRec& table, bool bulk);
    void StartTableClock();
    QString TableDoneLine(const TTableRec& table, bool bulk) const;
    void CommitUnit();
    TCheckpoint CheckpointOf(const TPoint& point) const;
    void AddLines(const QString& name, const QString& third);
    void Note(const QString& line);
    void FlushNotes();
    void AdvanceGaugeTable();
    void Rollback();
    QString ElapsedText() const;
    // Taken before the failed unit is rolled back (copy_failure.cpp). The statement lines of
    // the unit's start tell which of the two statements the unit itself set.
    TCopyFailure FailureOf(std::exception_ptr error, const QStringList& read_before,
                           const QStringList& write_before) const;

    // The resume (copy_resume.cpp).
    QString TargetConnectString() const;
    void ConnectTarget();
    qint64 TargetCount(const TTableRec& table, const QString& condition,
                       const QList<TKeyParam>& params);
    TPoint CheckCurrentTable(const TCheckpoint& cp, bool from_state);
    void CheckPreviousTable(const TCheckpoint& cp);

    TTables& tables_;
    TDbConnection& connection_from_;
    TDbQuery& query_from_;
    TDbTable& table_from_;
    TDbConnection& connection_to_;
    TDbQuery& query_to_;
    TCopySettings settings_;
    TPortionReader reader_;

    TPoint committed_;  // what the target holds
    TPoint pending_;    // what it holds once the open unit commits
    mutable TReadPlan plan_;
    mutable qint64 plan_index_ = -1;
    QString after_copy_;
    bool is_done_ = false;
    bool started_ = false;      // this run's copy has begun (transactions, state, snapshot)
    bool state_table_ = false;  // the target keeps the copy's state table
    bool resumed_ = false;
    bool blocks_shown_ = false;  // a table's journal block was written in this run
    QString seq_name_;
    QString field_autoinc_;
    QString target_version_;
    QDateTime time_step_;
    TCopyProgress progress_;
    TCopyFailure failure_;
    QStringList journal_;
    QStringList notes_;  // journal lines held back until the first table's block
    TParamFiles params_;
    TTargetColumnCache target_columns_;
    TTableDoneHook table_done_;
    TCopyWriter copy_writer_;
    bool copy_unit_ = false;  // the open unit is a COPY portion, sent when it commits
    TCopyTraffic traffic_;
    // The table whose time runs: since its first unit in this run, from the rows it had.
    qint64 clock_table_ = -1;
    qint64 clock_rows_ = 0;
    QElapsedTimer table_clock_;
};
