#include "transfer/copy_engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "db/connection_string.h"
#include "db/odbc.h"
#include "ddl/target_create.h"
#include "transfer/bulk_load.h"
#include "transfer/copy_statements.h"
#include "transfer/query_addi.h"
#include "util/error.h"
#include "util/secrets.h"
#include "util/text_file.h"
#include "util/text_utils.h"

TCopyEngine::TCopyEngine(TTables& tables, TDbQuery& query_from, TDbTable& table_from,
                         TDbConnection& connection_to, TDbQuery& query_to)
    : tables_(tables),
      query_from_(query_from),
      table_from_(table_from),
      connection_to_(connection_to),
      query_to_(query_to),
      time_step_(QDateTime::currentDateTime()) {}

QList<TTableToRow> TCopyEngine::PrepareCopy(qint64 start_table) {
    // A reader left open by earlier work would otherwise be taken for the first table's.
    CloseReader();
    if (!settings_.file_addi.isEmpty()) {
        LoadQueryAddi(settings_.file_addi, tables_, settings_.code_page);
    }
    QList<TTableToRow> rows;
    rows.reserve(tables_.size());
    for (const TTableRec& table : tables_) {
        rows.append({table.name, QString::number(table.rows), table.query_addi, QString()});
    }
    ind_table_ = start_table;
    is_done_ = false;
    progress_ = TCopyProgress();
    progress_.gauge_table_max = int(tables_.size());
    progress_.gauge_table_position = int(std::clamp<qint64>(start_table, 0, tables_.size()));
    journal_.clear();
    return rows;
}

void TCopyEngine::SetCopyOff(qint64 copy_off) {
    copy_off_ = copy_off;
    committed_off_ = copy_off;
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
    if (is_done_ || ind_table_ < 0 || ind_table_ >= tables_.size()) {
        progress_.label_n = QString::number(progress_.gauge_row_position);
        progress_.label_time = ElapsedText();
        Finish();
        return;
    }
    const TTableRec& table = tables_[ind_table_];
    bool table_finished = false;
    try {
        if (BulkLoad(table)) {
            table_finished = true;
        } else {
            const TReader wanted = UsesWholeTableReader(table, settings_.portion_read)
                                       ? TReader::Table
                                       : TReader::Query;
            const bool open =
                wanted == TReader::Table ? table_from_.Active() : query_from_.Active();
            if (reader_ != wanted || !open) {
                CloseReader();
                OpenReader(table, wanted);
            }
            if (data_from_->Eof()) {
                table_finished = EndOfReader(table);
            } else {
                WriteStatement(table);
            }
        }
    } catch (...) {
        Rollback();
        throw;
    }
    progress_.label_n = QString::number(progress_.gauge_row_position);
    progress_.label_time = ElapsedText();
    if (table_finished) {
        SyncSequence(settings_.db_to, table, query_to_, seq_name_, field_autoinc_);
        ++ind_table_;
        SetCopyOff(0);
        is_done_ = ind_table_ >= tables_.size();
    }
    if (is_done_) {
        Finish();
    }
}

void TCopyEngine::Finish() {
    is_done_ = true;
    progress_.finished = true;
}

bool TCopyEngine::BulkLoad(const TTableRec& table) {
    if (table.file_copy.isEmpty() || !QFileInfo::exists(table.file_copy)) {
        return false;
    }
    CloseReader();
    TLoaderRun run;
    if (settings_.db_to == kDbPostgres) {
        BulkLoadPostgres(query_to_, table);
    } else if (settings_.db_to == kDbOracle) {
        const QString data_source =
            ConnectValue(settings_.connect_to, QStringLiteral("Data Source"));
        run = RunOracleLoader(settings_.loader_program,
                              LoaderParFilePath(settings_.render.file_param), settings_.user,
                              settings_.password, data_source, table);
    }
    AdvanceGaugeTable();
    AddLines(table.name, "Copy from " + table.file_copy);
    // The loader's own log and bad file tell what went wrong; the journal only says that
    // something did, so the operator knows to look.
    if (run.crashed || run.exit_code != 0) {
        const QString line =
            QStringLiteral("%1: код завершения %2")
                .arg(settings_.loader_program)
                .arg(run.crashed ? QStringLiteral("аварийный") : QString::number(run.exit_code));
        progress_.new_lines << line;
        journal_ << line;
    }
    return true;
}

void TCopyEngine::OpenReader(const TTableRec& table, TReader reader) {
    progress_.panel_info = table.name;
    reader_rows_ = 0;
    QString third;
    if (reader == TReader::Table) {
        table_from_.SetTableName(table.name);
        table_from_.Open();
        reader_ = reader;
        data_from_ = &table_from_;
        if (copy_off_ > 0) {
            table_from_.MoveBy(copy_off_);
        } else {
            AdvanceGaugeTable();
        }
        one_pass_ = true;
        third = QString::number(table.rows);
    } else {
        query_from_.Clear();
        // Additions are the operator's SQL; a colon in them is not a parameter of ours.
        query_from_.SetParamCheck(false);
        for (const QString& line : PortionQueryLines(table, copy_off_, settings_.portion_read)) {
            query_from_.Add(line);
        }
        query_from_.Open();
        reader_ = reader;
        data_from_ = &query_from_;
        one_pass_ = settings_.portion_read <= 0;
        if (copy_off_ == 0) {
            AdvanceGaugeTable();
        } else if (one_pass_) {
            // Without a page the query starts at the first row again; the rows already in the
            // target are passed over here rather than copied a second time.
            for (qint64 i = 0; i < copy_off_ && !query_from_.Eof(); ++i) {
                query_from_.Next();
            }
        }
        third = QString::number(table.rows) + " [" + QString::number(copy_off_) + "]";
    }
    progress_.gauge_row_position = copy_off_;
    progress_.gauge_row_max = table.rows;
    AddLines(table.name, third);
}

void TCopyEngine::CloseReader() {
    if (reader_ == TReader::Table) {
        table_from_.Close();
    } else if (reader_ == TReader::Query) {
        query_from_.Close();
    }
    reader_ = TReader::None;
    data_from_ = nullptr;
}

// The table ends when its count is reached, when the reader held every remaining row, or when
// a freshly opened page brought nothing (rows deleted after they were counted, or filtered by
// the addition): reopening it would only find the same end again.
bool TCopyEngine::EndOfReader(const TTableRec& table) {
    const bool held_all = one_pass_;
    const bool brought_nothing = reader_rows_ == 0;
    CloseReader();
    return copy_off_ >= table.rows || held_all || brought_nothing;
}

void TCopyEngine::WriteStatement(const TTableRec& table) {
    TRenderOptions options = settings_.render;
    options.db_to = settings_.db_to;
    options.table_name = table.name;
    const TBuiltInsert built =
        BuildInsert(InsertFormFor(settings_.db_to, settings_.oracle_vers), table, *data_from_,
                    std::max(1, settings_.portion_write), options, params_);
    copy_off_ += built.rows;
    reader_rows_ += built.rows;
    progress_.gauge_row_position += built.rows;
    query_to_.ClearParams();
    // Only the statement's own large binary values are parameters; with checking off nothing
    // in the rendered literals can be mistaken for one.
    query_to_.SetParamCheck(!params_.Empty());
    for (const TParamFiles::TParam& param : params_.Params()) {
        query_to_.SetParamFile(param.name, param.path);
    }
    query_to_.SetText(built.sql);
    query_to_.ExecSQL();
    committed_off_ = copy_off_;
}

void TCopyEngine::AddLines(const QString& name, const QString& third) {
    const QStringList lines{progress_.label_time, name, third};
    progress_.new_lines << lines;
    journal_ << lines;
}

void TCopyEngine::AdvanceGaugeTable() {
    progress_.gauge_table_position =
        std::min(progress_.gauge_table_position + 1, progress_.gauge_table_max);
}

// After a failure the engine stands where the target stands: rows of the failed statement are
// not counted, and the reader is closed so that the next call reads them again.
void TCopyEngine::Rollback() {
    CloseReader();
    copy_off_ = committed_off_;
    progress_.gauge_row_position = committed_off_;
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
    TCheckpoint cp;
    cp.ind_table = ind_table_;
    cp.copy_off = committed_off_;
    if (ind_table_ >= 0 && ind_table_ < tables_.size()) {
        cp.table_name = tables_[ind_table_].name;
    }
    return cp;
}

void TCopyEngine::SaveTmpFile(const QString& file_temp) const {
    ::SaveTmpFile(file_temp, Checkpoint(), settings_.code_page);
}

QList<TTableToRow> TCopyEngine::LoadFromTmpFile(const QString& file_temp) {
    QString connect = PgTargetConnectionString(settings_.connect_to, settings_.user);
    if (settings_.db_to == kDbOracle) {
        // The tables and sequences are named without a schema: they are found only when
        // logged in as the user that target creation made.
        connect = OraTargetConnectionString(connect, settings_.user, settings_.password);
    }
    connection_to_.Close();
    connection_to_.SetConnectionString(connect);
    connection_to_.Open();

    const TCheckpoint cp = ReadTmpFile(file_temp, settings_.code_page);
    if (!cp.table_name.isEmpty()) {
        const bool in_list = cp.ind_table < tables_.size();
        if (!in_list || tables_[cp.ind_table].name != cp.table_name) {
            const QString now =
                in_list ? QStringLiteral("стоит таблица %1").arg(tables_[cp.ind_table].name)
                        : QStringLiteral("таблицы нет");
            throw TError(QStringLiteral("Незавершенная миграция остановилась на таблице %1, а "
                                        "сейчас в списке таблиц под номером %2 %3. Список "
                                        "таблиц изменился; продолжение копирования невозможно")
                             .arg(cp.table_name)
                             .arg(cp.ind_table + 1)
                             .arg(now));
        }
    }
    QList<TTableToRow> rows = PrepareCopy(cp.ind_table);
    SetCopyOff(cp.copy_off);
    if (!QFile::remove(file_temp) && QFileInfo::exists(file_temp)) {
        throw TFileError(QStringLiteral("Не удалось удалить файл контрольной точки %1")
                             .arg(QDir::toNativeSeparators(file_temp)));
    }
    return rows;
}
