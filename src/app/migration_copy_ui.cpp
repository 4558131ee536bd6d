// Steps 5 to 9: target creation, the copy on its worker with its displays, the checkpoint
// of a pause or a failure and the resume from it; and the export window opened from the source
// table list.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTextDocument>
#include <QTreeWidget>
#include <algorithm>
#include <climits>

#include "app/migration_form.h"
#include "ddl/target_create.h"
#include "ddl/type_mapping.h"
#include "export/postgre_data_file_form.h"
#include "export/table_export.h"
#include "schema/structure_browser.h"
#include "util/number_text.h"
#include "util/questions.h"
#include "util/secrets.h"

namespace {

// Row counts may pass what a gauge holds; an empty range would show a busy bar instead of an
// empty one.
void SetGauge(QProgressBar* gauge, qint64 position, qint64 maximum) {
    const qint64 top = std::clamp<qint64>(maximum, 1, INT_MAX);
    gauge->setRange(0, int(top));
    gauge->setValue(int(std::clamp<qint64>(position, 0, top)));
}

// A window name holds letters, digits and the underscore only.
bool IsValidObjectName(const QString& name) {
    if (name.isEmpty() || name.front().isDigit()) {
        return false;
    }
    return std::all_of(name.begin(), name.end(),
                       [](QChar c) { return c.isLetterOrNumber() || c == u'_'; });
}

}  // namespace

void TFormMigration::FillCopySettings() {
    TCopySettings& settings = copy_engine.Settings();
    settings.db_to = db_to;
    settings.portion_read = SpinPortionRead->value();
    settings.portion_write = SpinPortionWrite->value();
    // An Oracle target always takes its statements.
    settings.write_method = db_to == kDbPostgres && ComboWriteMethod->currentIndex() == 0
                                ? TWriteMethod::Copy
                                : TWriteMethod::Insert;
    settings.oracle_vers = oracle_vers;
    settings.connect_to = MemoText(MemoConnectTo);
    settings.user = EditUser->text();
    settings.password = EditPassword->text();
    settings.file_addi = paths.file_addi;
    settings.file_temp = paths.file_temp;
    settings.source_notes = read_notes;
    settings.render.int_type_index = ComboIntType->currentIndex();
    settings.render.date_time_format = EditDateTimeFormat->text();
    // Step 3 puts the target's format in; only a format the operator typed over it is used.
    settings.render.operator_date_format = EditDateTimeFormat->isModified();
    settings.render.file_param = paths.file_param;
    settings.code_page = code_page;
}

void TFormMigration::ShowPreparedCopy(const QList<TTableToRow>& rows) {
    LabelResStruct->setText(QStringLiteral("Ok"));
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const TTableToRow& row : rows) {
        items.append(new QTreeWidgetItem({row.name, row.rows, row.query_addi, row.from_file}));
    }
    ListTableTo->addTopLevelItems(items);
    ShowTableGauge(copy_engine.IndTable(), copy_engine.Progress().finished);
    MemoError->clear();
    MemoCopy->clear();
    ClearChecks();
}

void TFormMigration::WriteStructTo() {
    ListTableTo->clear();
    FillCopySettings();
    // The target is made anew: a checkpoint of an earlier copy into it can only mislead.
    QFile::remove(paths.file_temp);
    QFile::remove(AfterCopyFile(paths.file_temp));
    TTargetSpec spec;
    spec.db_to = db_to;
    spec.connect_to = MemoText(MemoConnectTo);
    spec.user = EditUser->text();
    spec.password = EditPassword->text();
    spec.script = MemoText(MemoScript);
    spec.grant_dba = CheckGrantDba->isChecked();
    QList<TTableToRow> rows;
    // An existing database with tables is dropped only after the operator's OK.
    const TTargetResult result = CreateTarget(
        spec, ADOConnectionTo, QueryTo,
        [&] {
            copy_engine.SetCopyOff(0);
            rows = copy_engine.PrepareCopy(0);
        },
        questions_);
    EditVersionTo->setText(result.version);
    if (db_to == kDbOracle && !result.version.isEmpty()) {
        // The statement form of the copy goes by the target's version from here on.
        oracle_vers = result.version;
    }
    if (result.ok) {
        copy_engine.SetAfterCopy(result.after_copy);
        ShowPreparedCopy(rows);
    } else {
        LabelResStruct->setText(MaskSecrets(result.error));
    }
    PanelInfo->setText(QString());
    is_done = true;
}

void TFormMigration::ShowCopyProgress(const TCopySnapshot& snapshot) {
    const TCopyProgress& progress = snapshot.progress;
    if (!progress.panel_info.isEmpty()) {
        PanelInfo->setText(progress.panel_info);
    }
    ShowTableGauge(snapshot.ind_table, progress.finished);
    ShowVerifyState();
    SetGauge(GaugeRow, progress.gauge_row_position, progress.gauge_row_max);
    LabelN->setText(GroupDigitsText(progress.label_n));
    LabelTime->setText(progress.label_time);
    ShowRates(snapshot);
    if (progress.new_lines.isEmpty()) {
        return;
    }
    // Appending to an empty memo fills its one empty line instead of adding one, which would
    // swallow the empty elapsed time that starts the journal.
    if (MemoCopy->document()->isEmpty()) {
        MemoCopy->setPlainText(progress.new_lines.join(u'\n'));
        return;
    }
    for (const QString& line : progress.new_lines) {
        MemoCopy->appendPlainText(line);
    }
}

void TFormMigration::ShowRates(const TCopySnapshot& snapshot) {
    if (snapshot.progress.finished) {
        LabelSpeed->clear();
        return;
    }
    if (step == 6) {
        copy_rates.Add(rate_clock_.elapsed(), snapshot.traffic);
    }
    if (step == 6) {
        LabelSpeed->setText(RatesText(copy_rates, snapshot.table_rows_left, snapshot.rows_left));
    } else if (step == 7) {
        LabelSpeed->setText(QStringLiteral("Скорость: копирование приостановлено"));
    }
}

void TFormMigration::CopyData() {
    // What an ended run did comes first: a failure or the end of the copy is no reason to
    // start another.
    if (!copy_worker.Busy() && TakeCopyResults()) {
        return;
    }
    if (step == 6 && !is_done && !copy_worker.Busy()) {
        FillCopySettings();
        HandOverVerifySettings();
        copy_worker.Run(copy_step_units);
        if (copy_step_units > 0) {
            copy_worker.Wait();
        }
    }
    TakeCopyResults();
}

bool TFormMigration::TakeCopyResults() {
    copy_shown = copy_worker.Take();
    ShowCopyProgress(copy_shown);
    if (copy_shown.error) {
        // The journal lines of a reader opened before the failure are on the page already.
        std::rethrow_exception(copy_shown.error);
    }
    if (copy_shown.busy) {
        return false;
    }
    if (copy_shown.progress.finished) {
        CopyFinished();
        return true;
    }
    if (step == 7 && pause_save_pending_) {
        pause_save_pending_ = false;
        Guarded([this] { SaveTmpFile(); });
    }
    return false;
}

void TFormMigration::CopyFinished() {
    is_done = true;
    step = 9;
    pause_save_pending_ = false;
    // The data is in the target whatever happens to the log: a log that cannot be written is
    // reported, and the copy still ends as a success.
    Guarded([this] { copy_engine.SaveLog(paths.file_log); });
    WriteMigrationReport(true, QString());
    // A question asked meanwhile (may the window close?) no longer fits: the copy is done.
    questions_->CloseQuestions();
    // A table whose check found a difference never reads as success.
    questions_->ShowMessage(windowTitle(), CompletionText());
}

void TFormMigration::SaveTmpFile() {
    copy_engine.SaveTmpFile(paths.file_temp);
}

void TFormMigration::LoadFromTmpFile() {
    ListTableTo->clear();
    // A restore that fails must not leave the "Ok" of an earlier preparation behind.
    LabelResStruct->clear();
    FillCopySettings();
    ShowPreparedCopy(copy_engine.LoadFromTmpFile(paths.file_temp));
    if (db_to == kDbOracle && !copy_engine.TargetVersion().isEmpty()) {
        // Target creation, which reads the target's version, did not run in this run.
        oracle_vers = copy_engine.TargetVersion();
        EditVersionTo->setText(oracle_vers);
    }
}

void TFormMigration::NFileSaveClick() {
    const QList<QTreeWidgetItem*> selected = ListTableFrom->selectedItems();
    if (selected.size() != 1) {
        return;
    }
    const QString name = selected.first()->text(0);
    Guarded([&] {
        const int index = FindTable(tables, name);
        if (index < 0) {
            return;
        }
        const QString object_name = TFormPostgreDataFile::ObjectNameFor(name);
        if (!IsValidObjectName(object_name)) {
            throw TError(QStringLiteral("Недопустимое имя окна выгрузки \"%1\": в имени таблицы "
                                        "есть знаки, кроме букв, цифр и подчеркивания")
                             .arg(object_name));
        }
        if (findChild<QWidget*>(object_name, Qt::FindDirectChildrenOnly) != nullptr) {
            throw TError(QStringLiteral("Окно выгрузки таблицы %1 уже открыто: имя окна %2 занято")
                             .arg(name, object_name));
        }
        const TTableRec& table = tables[index];
        // The file is in the layout of the target's kind: PostgreSQL's unless it is Oracle.
        const QStringList computed =
            TargetComputedColumns(table.fields, db_to == kDbOracle ? kDbOracle : kDbPostgres);
        // A session of its own: the copy may be reading through the wizard's on its worker.
        auto source = std::make_unique<TDbConnection>();
        source->SetConnectionString(ADOConnectionFrom.ConnectionString());
        source->Open();
        auto* form =
            new TFormPostgreDataFile(this, *questions_, std::move(source), table, db_to, computed);
        form->error_title = kApplicationTitle;
        form->SpinPortionRead->setValue(SpinPortionRead->value());
        form->SpinPortionRead->setEnabled(SpinPortionRead->isEnabled());
        form->show();
    });
}

void TFormMigration::DeleteExportWindows() {
    // An export reads through the source connection, a member that is gone by the time the
    // base class deletes the child windows.
    qDeleteAll(findChildren<TFormPostgreDataFile*>(Qt::FindDirectChildrenOnly));
}
