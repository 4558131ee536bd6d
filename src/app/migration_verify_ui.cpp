// The checks of the migration in the window: the check before the copy on the structure page,
// the two check boxes of the settings page, the check after each table (called by the copy on
// its own thread, with its connections), the mismatches in red on the copy page and the report
// beside the log with a button to open it.

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include "app/migration_form.h"
#include "util/questions.h"
#include "util/secrets.h"
#include "util/text_file.h"

namespace {

QString YesNo(bool value) {
    return value ? QStringLiteral("да") : QStringLiteral("нет");
}

QString KindName(int db_kind) {
    return db_kind == kDbOracle ? QStringLiteral("Oracle") : QStringLiteral("PostgreSQL");
}

QPushButton* NewReportButton(QWidget* page) {
    auto* button = new QPushButton(QStringLiteral("Открыть отчет"), page);
    button->setVisible(false);
    return button;
}

}  // namespace

void TFormMigration::BuildVerifyControls() {
    // Structure page: the findings under the lists, the button that runs the check again.
    ListPreflight = new QTreeWidget(TabStructFrom);
    ListPreflight->setColumnCount(4);
    ListPreflight->setHeaderLabels({QStringLiteral("Важность"), QStringLiteral("Таблица"),
                                    QStringLiteral("Столбец"), QStringLiteral("Описание")});
    ListPreflight->setRootIsDecorated(false);
    ListPreflight->setUniformRowHeights(true);
    BtnPreflight = new QPushButton(QStringLiteral("Проверить данные"), TabStructFrom);
    auto* check = new QHBoxLayout;
    check->addWidget(ListPreflight, 1);
    check->addWidget(BtnPreflight, 0, Qt::AlignTop);
    if (auto* grid = qobject_cast<QGridLayout*>(TabStructFrom->layout())) {
        grid->addLayout(check, grid->rowCount(), 0, 1, grid->columnCount());
    }
    connect(BtnPreflight, &QPushButton::clicked, this, [this] { BtnPreflightClick(); });

    // Settings page.
    CheckValidate = new QCheckBox(QStringLiteral("Проверять после копирования"), TabNewDb);
    CheckValidate->setChecked(true);
    CheckChecksum = new QCheckBox(QStringLiteral("Сверять контрольные суммы всех строк"), TabNewDb);
    CheckChecksum->setChecked(false);
    if (auto* form = qobject_cast<QFormLayout*>(TabNewDb->layout())) {
        form->addRow(CheckValidate);
        form->addRow(CheckChecksum);
    }
    const auto keep = [this] {
        CheckChecksum->setEnabled(CheckValidate->isChecked());
        QMutexLocker lock(&verify_mutex_);
        verify_settings_.validate = CheckValidate->isChecked();
        verify_settings_.checksum = CheckValidate->isChecked() && CheckChecksum->isChecked();
    };
    connect(CheckValidate, &QCheckBox::toggled, this, keep);
    connect(CheckChecksum, &QCheckBox::toggled, this, keep);

    // Copy page and error page.
    LabelVerify = new QLabel(TabCopyData);
    LabelVerify->setWordWrap(true);
    LabelVerify->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    LabelVerify->setVisible(false);
    BtnOpenReport = NewReportButton(TabCopyData);
    if (auto* box = qobject_cast<QBoxLayout*>(TabCopyData->layout())) {
        box->insertWidget(box->count() - 1, LabelVerify);
        box->addWidget(BtnOpenReport, 0, Qt::AlignLeft);
    }
    BtnOpenReportError = NewReportButton(TabError);
    if (auto* box = qobject_cast<QBoxLayout*>(TabError->layout())) {
        box->addWidget(BtnOpenReportError, 0, Qt::AlignLeft);
    }
    connect(BtnOpenReport, &QPushButton::clicked, this, [this] { BtnOpenReportClick(); });
    connect(BtnOpenReportError, &QPushButton::clicked, this, [this] { BtnOpenReportClick(); });

    copy_engine.SetTableDoneHook(
        [this](const TTableRec& table, qint64 rows, TDbConnection& from, TDbConnection& to) {
            return TableCopied(table, rows, from, to);
        });
}

void TFormMigration::RunPreflightCheck() {
    TPreflightOptions options;
    options.db_to = db_to;
    options.int_type_index = std::max(0, ComboIntType->currentIndex());
    options.portion_read = SpinPortionRead->value();
    findings = RunPreflight(tables, options, ADOConnectionFrom.Connected() ? &QueryFrom : nullptr);
    ListPreflight->clear();
    QList<QTreeWidgetItem*> items;
    for (const TFinding& f : findings) {
        auto* item = new QTreeWidgetItem({SeverityText(f.severity), f.table, f.column, f.text});
        item->setToolTip(3, f.text);
        if (f.severity == TSeverity::Error) {
            item->setForeground(0, QColor(0xc0, 0, 0));
        }
        items << item;
    }
    ListPreflight->addTopLevelItems(items);
}

void TFormMigration::BtnPreflightClick() {
    if (tables.isEmpty()) {
        return;
    }
    Guarded([this] { RunPreflightCheck(); });
}

QStringList TFormMigration::TableCopied(const TTableRec& table, qint64 rows, TDbConnection& from,
                                        TDbConnection& to) {
    const QDateTime now = QDateTime::currentDateTime();
    TVerifySettings settings;
    QDateTime started;
    int kind = kDbUnknown;
    {
        QMutexLocker lock(&verify_mutex_);
        settings = verify_settings_;
        started = table_started_.isValid() ? table_started_ : verify_time_step_;
        kind = verify_db_to_;
        table_started_ = now;
    }
    TReportTable entry;
    entry.name = table.name;
    entry.rows_counted = table.rows;
    entry.rows_copied = std::max<qint64>(rows, 0);
    entry.file_copy = table.file_copy;
    entry.msecs = started.isValid() ? started.msecsTo(now) : -1;
    QStringList lines;
    if (settings.validate) {
        TValidateOptions options;
        options.db_to = kind;
        options.checksum = settings.checksum;
        entry.check = ValidateTable(table, from, to, options);
        entry.checked = true;
        // The check only read; a statement of it that failed leaves a PostgreSQL transaction
        // aborted, which the next table's first write would inherit.
        if (!to.AutoCommit()) {
            try {
                to.Rollback();
            } catch (const TError&) {
                // A lost connection fails the next unit, which reports it.
            }
        }
        lines << QStringLiteral("Таблица %1: %2").arg(table.name, entry.check.JournalLine());
    }
    QMutexLocker lock(&verify_mutex_);
    checked_tables_ << entry;
    return lines;
}

void TFormMigration::HandOverVerifySettings() {
    QMutexLocker lock(&verify_mutex_);
    verify_db_to_ = db_to;
    verify_time_step_ = time_step;
}

QList<TReportTable> TFormMigration::CheckedTables() const {
    QMutexLocker lock(&verify_mutex_);
    return checked_tables_;
}

void TFormMigration::ClearChecks() {
    QMutexLocker lock(&verify_mutex_);
    checked_tables_.clear();
    table_started_ = QDateTime();
}

void TFormMigration::ShowVerifyState() {
    QList<TTableCheck> checks;
    for (const TReportTable& t : CheckedTables()) {
        if (t.checked) {
            checks << t.check;
        }
    }
    const QString summary = MismatchSummary(checks);
    LabelVerify->setText(summary);
    LabelVerify->setVisible(!summary.isEmpty());
}

QString TFormMigration::CompletionText() const {
    QList<TTableCheck> checks;
    for (const TReportTable& t : CheckedTables()) {
        if (t.checked) {
            checks << t.check;
        }
    }
    return CompletionMessage(checks);
}

bool TFormMigration::WriteMigrationReport(bool copy_finished, const QString& error,
                                          const QStringList& statements) {
    TReportData data;
    data.started = time_step;
    data.finished = QDateTime::currentDateTime();
    data.copy_finished = copy_finished;
    data.source = {KindName(db_from), EditVersionFrom->text(), MemoText(MemoConnectFrom)};
    data.target = {KindName(db_to), EditVersionTo->text(), MemoText(MemoConnectTo)};
    data.target_name = EditUser->text();
    data.settings = {
        {QStringLiteral("Порция записи"), QString::number(SpinPortionWrite->value())},
        {QStringLiteral("Порция чтения"), QString::number(SpinPortionRead->value())},
        {QStringLiteral("Преобразование типа"), ComboIntType->currentText()},
        {QStringLiteral("Формат даты/времени"), EditDateTimeFormat->text()},
        {CheckValidate->text(), YesNo(CheckValidate->isChecked())},
        {CheckChecksum->text(), YesNo(CheckValidate->isChecked() && CheckChecksum->isChecked())},
    };
    // Every table of the copy; those this run did not finish keep the count of the structure.
    const QList<TReportTable> done = CheckedTables();
    for (const TTableRec& table : tables) {
        const auto it = std::find_if(done.begin(), done.end(),
                                     [&](const TReportTable& t) { return t.name == table.name; });
        if (it != done.end()) {
            data.tables << *it;
        } else {
            TReportTable entry;
            entry.name = table.name;
            entry.rows_counted = table.rows;
            entry.file_copy = table.file_copy;
            data.tables << entry;
        }
    }
    data.structure = tables;
    data.sequences = sequences;
    data.findings = findings;
    if (!error.isEmpty()) {
        data.errors << TReportError{error, statements.isEmpty()
                                               ? QStringList{QueryFrom.Text(), QueryTo.Text()}
                                               : statements};
    }
    const QString path = ReportPathBeside(paths.file_log);
    try {
        WriteReport(path, data);
    } catch (const TError& e) {
        questions_->ShowError(kApplicationTitle, e.Message());
        return false;
    }
    report_path = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    const QString line = QStringLiteral("Отчет о миграции: ") + report_path;
    MemoCopy->appendPlainText(line);
    // The log of a finished copy is written already: the line joins it there too.
    if (copy_finished) {
        try {
            WriteTextLines(paths.file_log, MaskSecrets(copy_engine.Journal() + QStringList{line}),
                           code_page);
        } catch (const TError&) {
            // Writing the log failed a moment ago and was reported then.
        }
    }
    BtnOpenReport->setVisible(true);
    BtnOpenReportError->setVisible(true);
    return true;
}

void TFormMigration::BtnOpenReportClick() {
    if (!report_path.isEmpty()) {
        open_url(QUrl::fromLocalFile(report_path));
    }
}
