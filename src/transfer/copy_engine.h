#pragma once
// The data copy of the wizard: the preparation of the copy, one unit of copy work per call
// (one INSERT statement, the end of a reader, or the bulk load of a whole table), the sequence
// synchronisation after each table, the checkpoint and the resume from it.
//
// The engine owns the copy bookkeeping (table index, row offsets, which reader is in use, the
// journal) and works on the window's connections, statements and table model, which it holds by
// reference. Progress is plain data that the window reads after each call and shows. Called on
// the user-interface thread only; a call blocks until its one unit is done (a bulk load waits
// for the server or the loader program to finish).
//
// The window's part: fill Settings(); after target creation SetCopyOff(0) and PrepareCopy(0)
// (CreateTarget's prepare_copy), show the rows and "Ok"; on entering the copy step
// StartTiming(now); per tick CopyData(), then show Progress() (append new_lines to the copy
// memo) and, when finished, SaveLog(file_log) and move on; on pause or failure
// SaveTmpFile(file_temp); on resume LoadFromTmpFile(file_temp) after sorting the tables.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "schema/table_model.h"
#include "transfer/checkpoint.h"
#include "transfer/value_render.h"
#include "util/code_page.h"

class TDbConnection;
class TDbQuery;
class TDbRowSet;
class TDbTable;

// What the copy reads from the settings page and the working paths. The window fills it
// before the copy is prepared (and may refresh it between calls).
struct TCopySettings {
    int db_to = kDbPostgres;
    qint64 portion_read = 100000;  // 0: no paging
    int portion_write = 1000;
    QString oracle_vers;  // version banner read last; decides the INSERT form for Oracle
    QString connect_to;   // target connection text as the operator entered it
    QString user;         // the new database / role / Oracle user
    QString password;
    QString file_addi;                                  // query additions file
    QString loader_program = QStringLiteral("sqlldr");  // Oracle bulk loader
    TRenderOptions render;  // type conversion, date format, parameter file
    TCodePage code_page;    // of the query additions file, the checkpoint and the log
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

class TCopyEngine {
public:
    TCopyEngine(TTables& tables, TDbQuery& query_from, TDbTable& table_from,
                TDbConnection& connection_to, TDbQuery& query_to);
    TCopyEngine(const TCopyEngine&) = delete;
    TCopyEngine& operator=(const TCopyEngine&) = delete;

    TCopySettings& Settings() { return settings_; }
    const TCopySettings& Settings() const { return settings_; }

    // Sets up the copy from start_table on: loads the query additions into the tables and
    // returns the rows of the target table list; closes any reader left open; empties the
    // journal (the window empties its copy and error memos). The offset is left alone. The
    // result label may read "Ok" once this has returned. Raises what reading the additions
    // file raises.
    QList<TTableToRow> PrepareCopy(qint64 start_table);
    // Rows of the current table already in the target (also the committed count).
    void SetCopyOff(qint64 copy_off);
    // The moment the copy step began; the elapsed time starts empty.
    void StartTiming(const QDateTime& time_step);
    // Moves that moment on by msecs: time the copy stood paused is no copy time.
    void ShiftTiming(qint64 msecs);

    // One unit of work. Raises on any failure; the rows of a failed statement are then not
    // counted, and the next call (or a resume) reads them again.
    void CopyData();

    const TCopyProgress& Progress() const { return progress_; }
    qint64 IndTable() const { return ind_table_; }
    // Rows of the current table put into statements so far.
    qint64 CopyOff() const { return copy_off_; }
    // Rows of the current table that have reached the target.
    qint64 CommittedOff() const { return committed_off_; }
    bool IsDone() const { return is_done_; }
    const QString& SeqName() const { return seq_name_; }
    const QString& FieldAutoinc() const { return field_autoinc_; }

    // Every journal line since the preparation: the log written at the end.
    const QStringList& Journal() const { return journal_; }
    void SaveLog(const QString& file_log) const;

    // What a resume needs: the current table's index and name and the rows that reached the
    // target.
    TCheckpoint Checkpoint() const;
    void SaveTmpFile(const QString& file_temp) const;
    // Reconnects the target as target creation left it (the new database; on Oracle the new
    // user), reads the checkpoint, prepares the copy at its table and offset and deletes the
    // file. Raises (leaving the file) when the checkpoint names another table than the one at
    // its index now.
    QList<TTableToRow> LoadFromTmpFile(const QString& file_temp);

private:
    enum class TReader { None, Table, Query };

    void Finish();
    bool BulkLoad(const TTableRec& table);
    void OpenReader(const TTableRec& table, TReader reader);
    void CloseReader();
    bool EndOfReader(const TTableRec& table);
    void WriteStatement(const TTableRec& table);
    void AddLines(const QString& name, const QString& third);
    void AdvanceGaugeTable();
    void Rollback();
    QString ElapsedText() const;

    TTables& tables_;
    TDbQuery& query_from_;
    TDbTable& table_from_;
    TDbConnection& connection_to_;
    TDbQuery& query_to_;
    TCopySettings settings_;

    qint64 ind_table_ = 0;
    qint64 copy_off_ = 0;
    qint64 committed_off_ = 0;
    bool is_done_ = false;
    TReader reader_ = TReader::None;
    TDbRowSet* data_from_ = nullptr;
    bool one_pass_ = false;   // the open reader holds every remaining row of the table
    qint64 reader_rows_ = 0;  // rows taken from the open reader
    QString seq_name_;
    QString field_autoinc_;
    QDateTime time_step_;
    TCopyProgress progress_;
    QStringList journal_;
    TParamFiles params_;
};
