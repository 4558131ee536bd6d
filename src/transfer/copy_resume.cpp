// The resume of an interrupted copy: finding it, checking its checkpoint against the table list
// and the target before anything is written, and putting the engine where the target stands.

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "db/odbc.h"
#include "db/sql_text.h"
#include "ddl/target_create.h"
#include "transfer/copy_engine.h"
#include "transfer/copy_state.h"
#include "util/error.h"

namespace {

const QString kStartAfresh = QStringLiteral(
    " Продолжить копирование нельзя; чтобы начать его заново, вернитесь кнопкой «Назад» к "
    "настройке миграции и откажитесь от продолжения незавершенной миграции.");

[[noreturn]] void Refuse(const QString& text) {
    throw TError(QStringLiteral("Контрольная точка не согласуется с новой БД: ") + text +
                 kStartAfresh);
}

[[noreturn]] void RefuseCount(const QString& table, qint64 target, qint64 recorded) {
    Refuse(QStringLiteral("в таблице %1 сейчас строк %2, а по контрольной точке их должно быть %3.")
               .arg(table)
               .arg(target)
               .arg(recorded));
}

QString FirstValue(TDbQuery& query, const QString& sql) {
    query.ClearParams();
    query.SetParamCheck(false);
    query.SetText(sql);
    query.Open();
    const QString value = query.Eof() ? QString() : query.Field(0).AsString();
    query.Close();
    return value;
}

struct TResumePoint {
    TCheckpoint cp;
    QString after_copy;
    bool from_state = false;
    QString note;
};

}  // namespace

QString TCopyEngine::TargetConnectString() const {
    QString connect = PgTargetConnectionString(settings_.connect_to, settings_.user);
    if (settings_.db_to == kDbOracle) {
        // The tables and sequences are named without a schema: they are found only when
        // logged in as the user that target creation made.
        connect = OraTargetConnectionString(connect, settings_.user, settings_.password);
    }
    return connect;
}

void TCopyEngine::ConnectTarget() {
    connection_to_.Close();
    // The checks below run statement by statement; a failed one must not hold the rest.
    connection_to_.SetAutoCommit(true);
    connection_to_.SetConnectionString(TargetConnectString());
    connection_to_.Open();
}

// The state table is looked for through a connection of its own: the window's target
// connection stays on the administrative database for the steps that follow.
bool TCopyEngine::FindUnfinished(const QString& file_temp) {
    if (QFileInfo::exists(file_temp)) {
        return true;
    }
    if (settings_.db_to != kDbPostgres) {
        return false;
    }
    try {
        TDbConnection probe;
        probe.SetConnectionString(TargetConnectString());
        probe.Open();
        TDbQuery query(probe);
        return ReadCopyState(query).has_value();
    } catch (const TError&) {
        // No such database yet: nothing was copied into it.
        return false;
    }
}

void TCopyEngine::DiscardCheckpoint(const QString& file_temp) {
    RemoveTmpFiles(file_temp);
    if (settings_.db_to != kDbPostgres) {
        return;
    }
    try {
        TDbConnection probe;
        probe.SetConnectionString(TargetConnectString());
        probe.Open();
        TDbQuery query(probe);
        DropCopyState(query);
    } catch (const TError&) {
        // Without the database there is no state table either.
    }
}

qint64 TCopyEngine::TargetCount(const TTableRec& table, const QString& condition,
                                const QList<TKeyParam>& params) {
    query_to_.ClearParams();
    query_to_.SetParamCheck(false);
    BindKeyParams(query_to_, params);
    QString sql = "SELECT COUNT(*) FROM " + TSqlNames(settings_.db_to).Name(table.name);
    if (!condition.isEmpty()) {
        sql += " WHERE " + condition;
    }
    query_to_.SetText(sql);
    query_to_.Open();
    const qint64 count = query_to_.Eof() ? 0 : query_to_.Field(0).AsInteger();
    query_to_.Close();
    return count;
}

void TCopyEngine::CheckPreviousTable(const TCheckpoint& cp) {
    if (cp.ind_table <= 0 || cp.ind_table > tables_.size()) {
        return;
    }
    // Files of earlier versions do not say how many rows the table before got; the count read
    // at step 2 must then be there, or the index points past an unfinished table.
    const TTableRec& previous = tables_[cp.ind_table - 1];
    const qint64 expected = cp.position == TCopyPosition::Count ? previous.rows : cp.previous_rows;
    if (expected < 0) {
        return;
    }
    const qint64 count = TargetCount(previous, QString(), {});
    if (count != expected) {
        RefuseCount(previous.name, count, expected);
    }
}

TCopyEngine::TPoint TCopyEngine::CheckCurrentTable(const TCheckpoint& cp, bool from_state) {
    TPoint point;
    point.ind_table = cp.ind_table;
    point.previous_rows = cp.previous_rows;
    if (cp.ind_table >= tables_.size()) {
        point.rows = cp.copy_off;
        return point;
    }
    const TTableRec& table = tables_[cp.ind_table];
    const qint64 count = TargetCount(table, QString(), {});
    const TReadPlan plan = PlanReading(table, settings_.portion_read);
    switch (cp.position) {
        case TCopyPosition::Count:
            // A count without a key cannot say which rows those were: the table starts over,
            // once the count shows the file belongs to this target.
            if (count != cp.copy_off) {
                RefuseCount(table.name, count, cp.copy_off);
            }
            point.rows = count;
            return point;
        case TCopyPosition::Restart:
            point.rows = count;
            return point;
        case TCopyPosition::Start:
            if (count > 0) {
                if (from_state) {
                    RefuseCount(table.name, count, 0);
                }
                query_to_.ClearParams();
                query_to_.SetParamCheck(false);
                query_to_.SetText("DELETE FROM " + TSqlNames(settings_.db_to).Name(table.name));
                query_to_.ExecSQL();
                Note(QStringLiteral("Из таблицы %1 удалены строки, записанные после последней "
                                    "контрольной точки: %2")
                         .arg(table.name)
                         .arg(count));
            }
            return point;
        case TCopyPosition::Key:
        case TCopyPosition::AfterCopy:
            break;
    }
    if (cp.position != TCopyPosition::Key) {
        Refuse(QStringLiteral("таблица %1 не скопирована, а контрольная точка говорит, что "
                              "скопированы все таблицы.")
                   .arg(table.name));
    }
    if (plan.mode != TReadMode::KeyPortions || plan.key.columns != cp.key_columns) {
        Note(QStringLiteral("Таблица %1 читается теперь не по ключу (%2), по которому её "
                            "копирование началось: она будет скопирована заново")
                 .arg(table.name, cp.key_columns.join(u',')));
        point.rows = count;
        return point;
    }
    QList<TKeyParam> params;
    const QList<TKeyTerm> terms =
        TargetKeyTerms(settings_.db_to, plan.key, cp.last_key, params, "skerrow_key");
    const qint64 above = TargetCount(table, KeyAfterCondition(terms), params);
    // The state table commits with the rows: rows beyond it were not written by the copy.
    if (above > 0 && from_state) {
        Refuse(QStringLiteral("в таблице %1 строк после последнего записанного ключа (%2): %3, "
                              "а по контрольной точке их нет.")
                   .arg(table.name, KeyValuesText(cp.last_key))
                   .arg(above));
    }
    const qint64 kept = count - above;
    if (kept != cp.copy_off) {
        RefuseCount(table.name, kept, cp.copy_off);
    }
    if (TargetCount(table, KeyEqualCondition(terms), params) != 1) {
        Refuse(QStringLiteral("последняя записанная строка таблицы %1 (ключ %2) в ней не найдена.")
                   .arg(table.name, KeyValuesText(cp.last_key)));
    }
    if (above > 0) {
        // Committed after the last checkpoint was written (the target keeps no state table):
        // they are read again.
        query_to_.ClearParams();
        query_to_.SetParamCheck(false);
        BindKeyParams(query_to_, params);
        query_to_.SetText("DELETE FROM " + TSqlNames(settings_.db_to).Name(table.name) + " WHERE " +
                          KeyAfterCondition(terms));
        query_to_.ExecSQL();
        Note(QStringLiteral("Из таблицы %1 удалены строки, записанные после последней контрольной "
                            "точки (после ключа %2): %3")
                 .arg(table.name, KeyValuesText(cp.last_key))
                 .arg(above));
    }
    point.rows = kept;
    point.key = cp.last_key;
    return point;
}

QList<TTableToRow> TCopyEngine::LoadFromTmpFile(const QString& file_temp) {
    ConnectTarget();

    TResumePoint resume;
    std::optional<TCheckpoint> from_file;
    QString file_error;
    if (QFileInfo::exists(file_temp)) {
        try {
            from_file = ReadTmpFile(file_temp, settings_.code_page);
        } catch (const TConvertError& error) {
            file_error = error.Message();
        }
    }
    std::optional<TCopyState> state;
    if (settings_.db_to == kDbPostgres) {
        state = ReadCopyState(query_to_);
    }
    if (state) {
        resume.cp = ParseCheckpoint(state->checkpoint, kCopyStateTable);
        resume.after_copy = state->after_copy;
        resume.from_state = true;
        if (!file_error.isEmpty() || (from_file && *from_file != resume.cp)) {
            resume.note = QStringLiteral(
                              "Файл контрольной точки %1 не совпадает с таблицей "
                              "состояния в новой БД; копирование продолжено по ней")
                              .arg(QDir::toNativeSeparators(file_temp));
        }
    } else if (from_file) {
        resume.cp = *from_file;
        if (resume.cp.after_copy_size > 0) {
            resume.after_copy = ReadAfterCopyFile(file_temp);
        }
    } else if (!file_error.isEmpty()) {
        throw TConvertError(file_error);
    } else {
        throw TFileError(QStringLiteral("Контрольная точка не найдена: нет ни файла %1, ни "
                                        "таблицы состояния копирования в новой БД")
                             .arg(QDir::toNativeSeparators(file_temp)));
    }
    const TCheckpoint& cp = resume.cp;

    const qint64 count = tables_.size();
    const bool in_list = cp.ind_table < count;
    const bool after_tables = cp.position == TCopyPosition::AfterCopy;
    if (cp.ind_table > count || (!in_list && !cp.table_name.isEmpty()) ||
        (in_list && !cp.table_name.isEmpty() && tables_[cp.ind_table].name != cp.table_name) ||
        (after_tables && in_list)) {
        const QString now = in_list
                                ? QStringLiteral("стоит таблица %1").arg(tables_[cp.ind_table].name)
                                : QStringLiteral("таблицы нет");
        const QString where = cp.table_name.isEmpty()
                                  ? QStringLiteral("после всех таблиц")
                                  : QStringLiteral("на таблице %1").arg(cp.table_name);
        throw TError(QStringLiteral("Незавершенная миграция остановилась %1, а сейчас в списке "
                                    "таблиц (их %2) под номером %3 %4. Список таблиц изменился; "
                                    "продолжение копирования невозможно")
                         .arg(where)
                         .arg(count)
                         .arg(cp.ind_table + 1)
                         .arg(now));
    }
    if (resume.after_copy.size() != cp.after_copy_size) {
        Refuse(QStringLiteral("сохранённый раздел сценария после копирования данных (%1 знаков) "
                              "не совпадает с записанным в ней (%2 знаков).")
                   .arg(resume.after_copy.size())
                   .arg(cp.after_copy_size));
    }

    QList<TTableToRow> rows = PrepareCopy(cp.ind_table);
    CheckPreviousTable(cp);
    const TPoint point = CheckCurrentTable(cp, resume.from_state);
    // PrepareCopy emptied the journal; the checks may have noted what they did.
    const QStringList notes = notes_;
    notes_.clear();
    if (!resume.note.isEmpty()) {
        Note(resume.note);
    }
    notes_ << notes;
    committed_ = point;
    pending_ = point;
    after_copy_ = resume.after_copy;
    resumed_ = true;
    progress_.gauge_row_position = point.rows;
    if (settings_.db_to == kDbOracle) {
        // The statement forms go by the server that takes them, not by the source.
        target_version_ = FirstValue(query_to_, kOraVersionSql);
    }
    return rows;
}
