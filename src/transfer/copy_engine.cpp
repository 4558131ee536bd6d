#include "transfer/copy_engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "db/connection_string.h"
#include "db/odbc.h"
#include "db/sql_text.h"
#include "ddl/target_create.h"
#include "transfer/bulk_load.h"
#include "transfer/copy_state.h"
#include "transfer/copy_statements.h"
#include "transfer/query_addi.h"
#include "transfer/source_snapshot.h"
#include "util/error.h"
#include "util/secrets.h"
#include "util/text_file.h"
#include "util/text_utils.h"

TCopyEngine::TCopyEngine(TTables& tables, TDbConnection& connection_from, TDbQuery& query_from,
                         TDbTable& table_from, TDbConnection& connection_to, TDbQuery& query_to)
    : tables_(tables),
      connection_from_(connection_from),
      query_from_(query_from),
      table_from_(table_from),
      connection_to_(connection_to),
      query_to_(query_to),
      reader_(query_from, table_from),
      time_step_(QDateTime::currentDateTime()) {}

QList<TTableToRow> TCopyEngine::PrepareCopy(qint64 start_table) {
    // A reader left open by earlier work would otherwise be taken for the first table's.
    reader_.Close();
    target_columns_.Clear();
    // The session opens again, at the target as it stands now, with the next portion.
    copy_writer_.Close();
    copy_unit_ = false;
    if (!settings_.file_addi.isEmpty()) {
        LoadQueryAddi(settings_.file_addi, tables_, settings_.code_page);
    }
    QList<TTableToRow> rows;
    rows.reserve(tables_.size());
    for (const TTableRec& table : tables_) {
        rows.append({table.name, QString::number(table.rows), table.query_addi, QString()});
    }
    const qint64 copy_off = pending_.rows;
    pending_ = TPoint();
    pending_.ind_table = start_table;
    pending_.rows = copy_off;
    committed_ = pending_;
    plan_index_ = -1;
    after_copy_.clear();
    clock_table_ = -1;
    is_done_ = false;
    started_ = false;
    state_table_ = false;
    resumed_ = false;
    blocks_shown_ = false;
    progress_ = TCopyProgress();
    progress_.gauge_table_max = int(tables_.size());
    progress_.gauge_table_position = int(std::clamp<qint64>(start_table, 0, tables_.size()));
    journal_.clear();
    notes_.clear();
    return rows;
}

void TCopyEngine::SetCopyOff(qint64 copy_off) {
    pending_.rows = copy_off;
    pending_.key.clear();
    committed_ = pending_;
}

void TCopyEngine::SetAfterCopy(const QString& section) {
    after_copy_ = section;
}

void TCopyEngine::StartTiming(const QDateTime& time_step) {
    time_step_ = time_step;
    progress_.label_time.clear();
}

void TCopyEngine::ShiftTiming(qint64 msecs) {
    if (time_step_.isValid()) {
        time_step_ = time_step_.addMSecs(msecs);
    }
}

void TCopyEngine::CopyData() {
    progress_.new_lines.clear();
    progress_.panel_info.clear();
    failure_ = TCopyFailure();
    if (is_done_ || pending_.ind_table < 0) {
        progress_.label_n = QString::number(progress_.gauge_row_position);
        progress_.label_time = ElapsedText();
        Finish();
        return;
    }
    // Shared copies, kept only to see afterwards whether the unit set a statement of its own.
    QStringList read_before;
    QStringList write_before;
    try {
        Start();
        read_before = query_from_.Lines();
        write_before = query_to_.Lines();
        if (pending_.ind_table < tables_.size()) {
            TableUnit(tables_[pending_.ind_table]);
        } else {
            AfterCopyUnit();
        }
    } catch (...) {
        failure_ = FailureOf(std::current_exception(), read_before, write_before);
        Rollback();
        if (blocks_shown_) {
            FlushNotes();
        }
        throw;
    }
    progress_.label_n = QString::number(progress_.gauge_row_position);
    progress_.label_time = ElapsedText();
    if (blocks_shown_ || is_done_) {
        FlushNotes();
    }
}

// The first call of a run: the target writes in transactions of one unit each, a PostgreSQL
// target gets its state table, the checkpoint exists from here on, and the source is read in
// one view.
void TCopyEngine::Start() {
    if (started_) {
        return;
    }
    connection_to_.SetAutoCommit(false);
    if (settings_.db_to == kDbPostgres) {
        WriteCopyState(query_to_, CheckpointLines(CheckpointOf(committed_)), after_copy_);
        state_table_ = true;
    }
    connection_to_.Commit();
    if (!settings_.file_temp.isEmpty()) {
        SaveTmpFile(settings_.file_temp);
    }
    for (const QString& note : settings_.source_notes) {
        Note(note);
    }
    const QString not_held = BeginSourceSnapshot(connection_from_, query_from_);
    if (!not_held.isEmpty()) {
        Note(QStringLiteral("Согласованный снимок исходной БД не удержан (%1): каждая таблица "
                            "читается в момент её копирования, и строки разных таблиц могут "
                            "не согласоваться")
                 .arg(not_held));
    } else if (resumed_) {
        Note(
            QStringLiteral("Копирование продолжено в новом согласованном снимке исходной БД: "
                           "строки, скопированные до остановки, прочитаны в прежнем снимке"));
    }
    started_ = true;
}

void TCopyEngine::TableUnit(const TTableRec& table) {
    StartTableClock();
    const bool load_file = HasLoadFile(table);
    bool finished = false;
    bool wrote = false;
    if (!reader_.IsOpen()) {
        // Read anew before every open: the operator may change the addition while the copy
        // waits.
        plan_index_ = -1;
        const TReadPlan& plan = PlanFor(pending_.ind_table);
        // Rows in the target that a new read would copy again: a table without a key after a
        // stop, a table that changed its key, or one that is now loaded from a file.
        const bool starts_over =
            load_file || plan.mode != TReadMode::KeyPortions || pending_.key.isEmpty();
        if (pending_.rows > 0 && starts_over) {
            EmptyTargetTable(table);
            CommitUnit();
            return;
        }
    }
    if (load_file) {
        BulkLoad(table);
        finished = true;
    } else {
        if (!reader_.IsOpen()) {
            OpenReader(table);
        }
        if (reader_.Eof()) {
            finished = reader_.TableEnds();
            reader_.Close();
        } else {
            if (WritesByCopy()) {
                WriteCopyPortion(table);
            } else {
                WriteStatement(table);
            }
            wrote = true;
        }
    }
    const qint64 rows = load_file ? -1 : pending_.rows;
    if (finished) {
        TableFinished(table, load_file);
    }
    if (wrote || finished) {
        CommitUnit();
    }
    if (finished && table_done_) {
        const QStringList lines = table_done_(table, rows, connection_from_, connection_to_);
        progress_.new_lines << lines;
        journal_ << lines;
    }
    if (finished && pending_.ind_table >= tables_.size() && AfterCopyStatements().isEmpty()) {
        FinishCopy();
    }
}

namespace {

// A part of the section that holds only comments (a constraint left out, say) is no statement:
// a server would answer it with an error or with nothing.
bool HasStatement(const QString& text) {
    qsizetype pos = 0;
    while (pos < text.size()) {
        if (text[pos].isSpace()) {
            ++pos;
        } else if (QStringView(text).mid(pos).startsWith(u"--")) {
            const qsizetype end = text.indexOf(u'\n', pos);
            pos = end < 0 ? text.size() : end + 1;
        } else if (QStringView(text).mid(pos).startsWith(u"/*")) {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), pos + 2);
            pos = end < 0 ? text.size() : end + 2;
        } else {
            return true;
        }
    }
    return false;
}

}  // namespace

QStringList TCopyEngine::AfterCopyStatements() const {
    const QStringList parts =
        settings_.db_to == kDbOracle ? SplitOraScript(after_copy_) : QStringList{after_copy_};
    QStringList statements;
    for (const QString& part : parts) {
        if (HasStatement(part)) {
            statements << part;
        }
    }
    return statements;
}

void TCopyEngine::AfterCopyUnit() {
    const QStringList statements = AfterCopyStatements();
    if (pending_.rows < statements.size()) {
        query_to_.ClearParams();
        // Trigger bodies and casts hold colons that are no parameters.
        query_to_.SetParamCheck(false);
        query_to_.SetText(statements[pending_.rows]);
        try {
            query_to_.ExecSQL();
        } catch (const TError& error) {
            throw TError(QStringLiteral("Не выполнена команда сценария после копирования данных "
                                        "(данные таблиц уже перенесены): %1")
                             .arg(error.Message()));
        }
        ++pending_.rows;
        CommitUnit();
    }
    if (pending_.rows >= statements.size()) {
        FinishCopy();
    }
}

void TCopyEngine::FinishCopy() {
    copy_writer_.Close();
    if (state_table_) {
        DropCopyState(query_to_);
    }
    if (!connection_to_.AutoCommit()) {
        connection_to_.Commit();
    }
    connection_to_.SetAutoCommit(true);
    EndSourceSnapshot(connection_from_);
    if (!settings_.file_temp.isEmpty()) {
        RemoveTmpFiles(settings_.file_temp);
    }
    Finish();
}

void TCopyEngine::Finish() {
    is_done_ = true;
    progress_.finished = true;
}

bool TCopyEngine::HasLoadFile(const TTableRec& table) const {
    // A data file that no longer exists is ignored: the table is copied by statements.
    return !table.file_copy.isEmpty() && QFileInfo::exists(table.file_copy);
}

void TCopyEngine::BulkLoad(const TTableRec& table) {
    reader_.Close();
    qint64 rejected = 0;
    QString bad_file;
    if (settings_.db_to == kDbPostgres) {
        BulkLoadPostgres(query_to_, table);
    } else if (settings_.db_to == kDbOracle) {
        const QString data_source =
            ConnectValue(settings_.connect_to, QStringLiteral("Data Source"));
        const QString par_file = LoaderParFilePath(settings_.render.file_param);
        const QStringList arguments = LoaderArguments(par_file, table.file_copy, table.name);
        // The loader writes in a session of its own: what this unit holds must not stand in
        // its way.
        connection_to_.Commit();
        const TLoaderRun run = RunOracleLoader(settings_.loader_program, par_file, settings_.user,
                                               settings_.password, data_source, table);
        rejected = CheckLoaderRun(run, settings_.loader_program, arguments, table.name);
        for (const QString& argument : arguments) {
            if (argument.startsWith(QLatin1String("bad="))) {
                bad_file = argument.mid(4);
            }
        }
    }
    AdvanceGaugeTable();
    AddLines(table.name, "Copy from " + table.file_copy);
    if (rejected != 0) {
        const QString count =
            rejected < 0 ? QStringLiteral("неизвестное число") : QString::number(rejected);
        Note(QStringLiteral("Загрузчик отклонил строки таблицы %1: %2 (отклонённые строки — в "
                            "файле %3)")
                 .arg(table.name, count, QDir::toNativeSeparators(bad_file)));
    }
}

const TReadPlan& TCopyEngine::PlanFor(qint64 index) const {
    if (plan_index_ != index) {
        plan_ = PlanReading(tables_[index], settings_.portion_read);
        plan_index_ = index;
    }
    return plan_;
}

void TCopyEngine::EmptyTargetTable(const TTableRec& table) {
    const QString name = TSqlNames(settings_.db_to).Name(table.name);
    const bool truncate = settings_.db_to == kDbPostgres;
    query_to_.ClearParams();
    query_to_.SetParamCheck(false);
    query_to_.SetText((truncate ? "TRUNCATE TABLE " : "DELETE FROM ") + name);
    query_to_.ExecSQL();
    Note(QStringLiteral("Таблица %1 очищена в новой БД (%2, строк было %3): она копируется "
                        "заново с первой строки")
             .arg(table.name, truncate ? QStringLiteral("TRUNCATE") : QStringLiteral("DELETE"))
             .arg(pending_.rows));
    pending_.rows = 0;
    pending_.key.clear();
    progress_.gauge_row_position = 0;
}

void TCopyEngine::OpenReader(const TTableRec& table) {
    const TReadPlan& plan = PlanFor(pending_.ind_table);
    progress_.panel_info = table.name;
    reader_.Open(table, plan, pending_.key, settings_.portion_read);
    const bool first = pending_.rows == 0;
    if (first) {
        AdvanceGaugeTable();
    }
    progress_.gauge_row_position = pending_.rows;
    progress_.gauge_row_max = table.rows;
    AddLines(table.name,
             plan.mode == TReadMode::WholeTable
                 ? QString::number(table.rows)
                 : QString::number(table.rows) + " [" + QString::number(pending_.rows) + "]");
    if (first && plan.mode != TReadMode::KeyPortions) {
        const QString line = QStringLiteral(
                                 "Таблица %1 копируется без ключа (%2): за один проход; если "
                                 "копирование прервётся, она будет очищена и скопирована заново")
                                 .arg(table.name, plan.why_no_key);
        progress_.new_lines << line;
        journal_ << line;
    }
}

void TCopyEngine::WriteStatement(const TTableRec& table) {
    TRenderOptions options = settings_.render;
    options.db_to = settings_.db_to;
    options.table_name = table.name;
    // Numbers are written by the column they go into, as the target has it.
    options.target_columns =
        &target_columns_.For(query_to_, settings_.db_to, table, TargetNames(options));
    options.first_row = pending_.rows;
    const TBuiltInsert built =
        BuildInsert(InsertFormFor(settings_.db_to, settings_.oracle_vers), table, reader_,
                    std::max(1, settings_.portion_write), options, params_);
    pending_.rows += built.rows;
    if (reader_.Plan().mode == TReadMode::KeyPortions) {
        pending_.key = reader_.LastKey();
    }
    progress_.gauge_row_position += built.rows;
    traffic_.rows += built.rows;
    // Characters stand for bytes here: the statements are ASCII but for the text values.
    traffic_.bytes += built.sql.size();
    query_to_.ClearParams();
    // Only the statement's own large binary values are parameters; with checking off nothing
    // in the rendered literals can be mistaken for one.
    query_to_.SetParamCheck(!params_.Empty());
    params_.Bind(query_to_);
    query_to_.SetText(built.sql);
    query_to_.ExecSQL();
}

bool TCopyEngine::WritesByCopy() const {
    return settings_.db_to == kDbPostgres && settings_.write_method == TWriteMethod::Copy;
}

// A portion of rows as COPY text; it is sent when the unit commits, in the transaction that
// also moves the state table on.
void TCopyEngine::WriteCopyPortion(const TTableRec& table) {
    if (!copy_writer_.Connected()) {
        copy_writer_.Open(connection_to_.ConnectionString());
    }
    TRenderOptions options = settings_.render;
    options.db_to = settings_.db_to;
    options.table_name = table.name;
    // Numbers are written as the target column takes them, as in the INSERT path.
    options.target_columns =
        &target_columns_.For(query_to_, settings_.db_to, table, TargetNames(options));
    options.first_row = pending_.rows;
    copy_writer_.StartPortion(table, pending_.rows + 1);
    const qint64 rows = copy_writer_.Fill(reader_, std::max(1, settings_.portion_write), options);
    pending_.rows += rows;
    if (reader_.Plan().mode == TReadMode::KeyPortions) {
        pending_.key = reader_.LastKey();
    }
    progress_.gauge_row_position += rows;
    traffic_.rows += rows;
    traffic_.bytes += copy_writer_.Bytes();
    // The error page shows the target's statement from here.
    query_to_.ClearParams();
    query_to_.SetText(copy_writer_.Sql());
    copy_unit_ = true;
}

void TCopyEngine::TableFinished(const TTableRec& table, bool bulk) {
    SyncSequence(settings_.db_to, settings_.oracle_vers, table, query_to_, seq_name_,
                 field_autoinc_);
    if (!bulk && pending_.rows != table.rows) {
        const QString line = QStringLiteral(
                                 "Таблица %1: перенесено строк %2, а при чтении "
                                 "структуры исходной БД их было %3")
                                 .arg(table.name)
                                 .arg(pending_.rows)
                                 .arg(table.rows);
        progress_.new_lines << line;
        journal_ << line;
    }
    const QString done = TableDoneLine(table, bulk);
    progress_.new_lines << done;
    journal_ << done;
    pending_.previous_rows = bulk ? -1 : pending_.rows;
    ++pending_.ind_table;
    pending_.rows = 0;
    pending_.key.clear();
}

void TCopyEngine::StartTableClock() {
    if (clock_table_ != pending_.ind_table) {
        clock_table_ = pending_.ind_table;
        clock_rows_ = pending_.rows;
        table_clock_.start();
    }
}

// "Таблица T скопирована: строк N за 1,2 с, R строк/с": the rows and the time of this run (a
// resumed table names the rows it had before apart).
QString TCopyEngine::TableDoneLine(const TTableRec& table, bool bulk) const {
    const qint64 msecs = table_clock_.isValid() ? table_clock_.elapsed() : 0;
    const QString time = DurationText(msecs);
    if (bulk) {
        return QStringLiteral("Таблица %1 загружена из файла за %2").arg(table.name, time);
    }
    const qint64 run_rows = std::max<qint64>(0, pending_.rows - clock_rows_);
    QString rows = QString::number(pending_.rows);
    if (run_rows != pending_.rows) {
        rows += QStringLiteral(" (в этом запуске %1)").arg(run_rows);
    }
    return QStringLiteral("Таблица %1 скопирована: строк %2 за %3, %4 строк/с")
        .arg(table.name, rows, time)
        .arg(run_rows * 1000 / std::max<qint64>(msecs, 1));
}

qint64 TCopyEngine::TableRowsLeft() const {
    if (is_done_ || pending_.ind_table < 0 || pending_.ind_table >= tables_.size()) {
        return 0;
    }
    return std::max<qint64>(0, tables_[pending_.ind_table].rows - pending_.rows);
}

qint64 TCopyEngine::RowsLeft() const {
    qint64 rows = TableRowsLeft();
    for (qint64 i = std::max<qint64>(0, pending_.ind_table + 1); i < tables_.size(); ++i) {
        rows += std::max<qint64>(0, tables_[i].rows);
    }
    return is_done_ ? 0 : rows;
}

// The unit's rows and the position that counts them reach the target together; the file
// follows, so it is never ahead of the target.
void TCopyEngine::CommitUnit() {
    const TCheckpoint cp = CheckpointOf(pending_);
    if (copy_unit_) {
        QStringList then;
        if (state_table_) {
            then << UpdateCopyStateSql(CheckpointLines(cp));
        }
        copy_writer_.Send(then);
        copy_unit_ = false;
    } else {
        if (state_table_) {
            UpdateCopyState(query_to_, CheckpointLines(cp));
        }
        if (!connection_to_.AutoCommit()) {
            connection_to_.Commit();
        }
    }
    committed_ = pending_;
    if (!settings_.file_temp.isEmpty()) {
        // With the state table the file only mirrors what committed with the rows; without it
        // the file is the record and reaches the disk before the next portion.
        ::SaveTmpFile(settings_.file_temp, cp, settings_.code_page,
                      state_table_ ? TFileSync::Cached : TFileSync::Durable);
    }
}

TCheckpoint TCopyEngine::CheckpointOf(const TPoint& point) const {
    TCheckpoint cp;
    cp.ind_table = point.ind_table;
    cp.copy_off = point.rows;
    cp.previous_rows = point.previous_rows;
    cp.after_copy_size = after_copy_.size();
    if (point.ind_table < 0 || point.ind_table >= tables_.size()) {
        cp.position = TCopyPosition::AfterCopy;
        return cp;
    }
    cp.table_name = tables_[point.ind_table].name;
    const TReadPlan& plan = PlanFor(point.ind_table);
    if (plan.mode == TReadMode::KeyPortions) {
        cp.key_columns = plan.key.columns;
    }
    if (plan.mode == TReadMode::KeyPortions && !point.key.isEmpty()) {
        cp.position = TCopyPosition::Key;
        cp.last_key = point.key;
    } else if (plan.mode == TReadMode::KeyPortions && point.rows == 0) {
        cp.position = TCopyPosition::Start;
    } else {
        cp.position = TCopyPosition::Restart;
        cp.key_columns.clear();
    }
    return cp;
}

void TCopyEngine::AddLines(const QString& name, const QString& third) {
    const QStringList lines{progress_.label_time, name, third};
    progress_.new_lines << lines;
    journal_ << lines;
    blocks_shown_ = true;
}

// Lines about the copy as a whole wait for the first table's block, so that the journal
// begins, as always, with the table the copy starts at.
void TCopyEngine::Note(const QString& line) {
    notes_ << line;
}

void TCopyEngine::FlushNotes() {
    progress_.new_lines << notes_;
    journal_ << notes_;
    notes_.clear();
}

void TCopyEngine::AdvanceGaugeTable() {
    progress_.gauge_table_position =
        std::min(progress_.gauge_table_position + 1, progress_.gauge_table_max);
}

// After a failure the engine stands where the target stands: the unit's transaction is rolled
// back, its rows are not counted, and the reader is closed so that the next call reads them
// again after the last committed key.
void TCopyEngine::Rollback() {
    reader_.Close();
    copy_writer_.Rollback();
    copy_unit_ = false;
    if (connection_to_.Connected() && !connection_to_.AutoCommit()) {
        try {
            connection_to_.Rollback();
        } catch (const TError&) {
            // A lost connection has rolled back on the server's side.
        }
    }
    pending_ = committed_;
    progress_.gauge_row_position = committed_.rows;
    params_.Reset();
}

QString TCopyEngine::ElapsedText() const {
    if (!time_step_.isValid()) {
        return QString();
    }
    // Milliseconds since the epoch need no time-zone work: this runs after every statement.
    const qint64 msecs =
        std::max<qint64>(0, QDateTime::currentMSecsSinceEpoch() - time_step_.toMSecsSinceEpoch());
    return FormatDuration(uint32_t((msecs + 500) / 1000));
}

void TCopyEngine::SaveLog(const QString& file_log) const {
    WriteTextLines(file_log, MaskSecrets(journal_), settings_.code_page);
}

TCheckpoint TCopyEngine::Checkpoint() const {
    return CheckpointOf(committed_);
}

void TCopyEngine::SaveTmpFile(const QString& file_temp) const {
    if (!after_copy_.isEmpty()) {
        SaveAfterCopyFile(file_temp, after_copy_);
    }
    ::SaveTmpFile(file_temp, Checkpoint(), settings_.code_page);
}
