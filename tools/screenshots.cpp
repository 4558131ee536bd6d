// Takes the README's pictures from the real windows on the offscreen platform: the wizard on
// each of its pages, the check before the copy, the connection-string dialog, the About window,
// the export window and the migration report the copy wrote.
//
//   skerrow_screenshots [OUT_DIR]      (OUT_DIR defaults to "docs")
//
// With a test bed ($SKERROW_TESTBED, as the ctest fixture sets it) the connections are really
// checked and the source structure is really read from the emulated Oracle dictionary; without
// one the pages are filled with a sample schema. Pages whose work is not wired into the window
// yet (target creation, the copy) are filled with what that work would show. Settings and
// standard folders point into a throwaway folder, so the operator's own are never touched.
//
// A picture shows the window as the operator sees it: nothing here sizes a list column, moves
// a cursor or scrolls a field before a picture is saved (tests/check_screenshots.sh).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <memory>

#include "app/about_form.h"
#include "app/migration_form.h"
#include "app/settings.h"
#include "db/connect_string_builder.h"
#include "db/connect_string_form.h"
#include "db/sql_text.h"
#include "export/postgre_data_file_form.h"
#include "export/table_export.h"
#include "ora_emulation.h"
#include "schema/structure_browser.h"
#include "util/error.h"
#include "util/questions.h"
#include "util/text_utils.h"

namespace {

void Say(const QString& text) {
    std::fprintf(stderr, "screenshots: %s\n", qPrintable(text));
}

// No box may open under the offscreen platform: every question is answered Cancel and every
// error is counted, so that a run that went wrong does not pass for a good one.
class TShotQuestions : public TQuestions {
public:
    int errors = 0;

    bool AskOkCancel(const QString& caption, const QString& text) override {
        Say(QStringLiteral("question answered Cancel: %1: %2").arg(caption, text));
        return false;
    }
    void ShowError(const QString& caption, const QString& text) override {
        ++errors;
        Say(QStringLiteral("error: %1: %2").arg(caption, text));
    }
    void ShowMessage(const QString& caption, const QString& text) override {
        Say(QStringLiteral("message: %1: %2").arg(caption, text));
    }
    bool InputText(const QString&, const QString&, QString&) override { return false; }
    QString OpenFile(const QString&, const QStringList&, int) override { return QString(); }
    QString SaveFile(const QString&, const QStringList&, int) override { return QString(); }
};

// ---- Sample content, used when no test bed is running ----

TFieldRec Field(const char* name, const char* type, int size, int scale, bool is_null,
                const char* default_value = "", bool autoinc = false) {
    TFieldRec field;
    field.name = QLatin1String(name);
    field.data_type = QLatin1String(type);
    field.size = size;
    field.scale = scale;
    field.is_null = is_null;
    field.default_ = QLatin1String(default_value);
    field.autoinc = autoinc;
    return field;
}

TForeignKey ForeignKey(const char* name, const char* fields, const char* table,
                       const char* columns) {
    return {QLatin1String(name), QLatin1String(fields),
            QLatin1String(table) + QLatin1String(columns)};
}

TTableRec Table(const char* name, qint64 rows, QList<TFieldRec> fields, const char* pk_name,
                const char* pk_columns) {
    TTableRec table;
    table.name = QLatin1String(name);
    table.rows = rows;
    table.fields = std::move(fields);
    table.primary_key = {QLatin1String(pk_name), QLatin1String(pk_columns)};
    return table;
}

void AddForeignKey(TTableRec& table, const TForeignKey& key, const char* master) {
    table.f_key.append(key);
    table.master_tables.append(QLatin1String(master));
}

// A small order-processing schema, listed by name as the catalog reader lists it.
TTables SampleTables() {
    TTables tables;
    TTableRec customers =
        Table("CUSTOMERS", 1250,
              {Field("ID", "NUMBER", 10, 0, false, "", true), Field("CODE", "CHAR", 8, 0, false),
               Field("NAME", "VARCHAR2", 100, 0, false), Field("CITY", "VARCHAR2", 60, 0, true),
               Field("CREATED", "DATE", 7, 0, false, "SYSDATE")},
              "PK_CUSTOMERS", "(ID)");
    customers.unique_key.append({QStringLiteral("UK_CUSTOMERS_CODE"), QStringLiteral("(CODE)")});
    tables.append(customers);

    TTableRec employees =
        Table("EMPLOYEES", 48,
              {Field("ID", "NUMBER", 10, 0, false), Field("FULL_NAME", "NVARCHAR2", 120, 0, false),
               Field("MANAGER_ID", "NUMBER", 10, 0, true), Field("HIRED", "DATE", 7, 0, false)},
              "PK_EMPLOYEES", "(ID)");
    AddForeignKey(employees, ForeignKey("FK_EMP_MGR", "(MANAGER_ID)", "EMPLOYEES", "(ID)"),
                  "EMPLOYEES");
    tables.append(employees);

    TTableRec orders = Table(
        "ORDERS", 18342,
        {Field("ORDER_ID", "NUMBER", 12, 0, false, "", true),
         Field("CUSTOMER_ID", "NUMBER", 10, 0, false), Field("EMPLOYEE_ID", "NUMBER", 10, 0, true),
         Field("ORDER_DATE", "DATE", 7, 0, false, "SYSDATE"),
         Field("TOTAL", "NUMBER", 14, 2, false, "0"), Field("COMMENTS", "VARCHAR2", 4000, 0, true)},
        "PK_ORDERS", "(ORDER_ID)");
    AddForeignKey(orders, ForeignKey("FK_ORDERS_CUSTOMER", "(CUSTOMER_ID)", "CUSTOMERS", "(ID)"),
                  "CUSTOMERS");
    AddForeignKey(orders, ForeignKey("FK_ORDERS_EMPLOYEE", "(EMPLOYEE_ID)", "EMPLOYEES", "(ID)"),
                  "EMPLOYEES");
    tables.append(orders);

    TTableRec lines = Table(
        "ORDER_LINES", 61027,
        {Field("ORDER_ID", "NUMBER", 12, 0, false), Field("LINE_NO", "NUMBER", 5, 0, false),
         Field("PRODUCT_ID", "NUMBER", 10, 0, false),
         Field("QUANTITY", "NUMBER", 10, 3, false, "1"), Field("PRICE", "NUMBER", 12, 2, false)},
        "PK_ORDER_LINES", "(ORDER_ID,LINE_NO)");
    AddForeignKey(lines, ForeignKey("FK_LINES_ORDER", "(ORDER_ID)", "ORDERS", "(ORDER_ID)"),
                  "ORDERS");
    AddForeignKey(lines, ForeignKey("FK_LINES_PRODUCT", "(PRODUCT_ID)", "PRODUCTS", "(ID)"),
                  "PRODUCTS");
    tables.append(lines);

    tables.append(
        Table("PRODUCTS", 320,
              {Field("ID", "NUMBER", 10, 0, false), Field("TITLE", "VARCHAR2", 200, 0, false),
               Field("PRICE", "NUMBER", 12, 2, false), Field("WEIGHT", "FLOAT", 126, 0, true),
               Field("PHOTO", "BLOB", 4000, 0, true)},
              "PK_PRODUCTS", "(ID)"));
    return tables;
}

QString SampleSourceString() {
    TConnectStringFields f;
    f.provider = kProviderOraOleDb;
    f.db_oracle = QStringLiteral("ORCL");
    f.user_oracle = QStringLiteral("SHOP");
    f.password_oracle = QStringLiteral("shop");
    return BuildConnectString(f);
}

TConnectStringFields TargetFields() {
    TConnectStringFields f;
    f.provider = kProviderPostgres;
    f.source = QStringLiteral("PostgreSQL_Test");
    f.server = QStringLiteral("127.0.0.1");
    const QString port = OraEmulTestbedValue(QStringLiteral("PGPORT"));
    f.port = port.isEmpty() ? QStringLiteral("5432") : port;
    f.user_postgres = QStringLiteral("postgres");
    const QString password = OraEmulTestbedValue(QStringLiteral("PGPASSWORD"));
    f.password_postgres = password.isEmpty() ? QStringLiteral("postgres") : password;
    return f;
}

// ---- Taking the pictures ----

class TShooter {
public:
    TShooter(const QString& out_dir, bool testbed) : out_dir_(out_dir), testbed_(testbed) {}

    bool Run();
    int Failures() const { return failures_ + questions_.errors; }

private:
    void Save(QWidget* widget, const QString& name);
    void Tick() { form_->TimerCheckTimer(); }
    void Connections();
    void Source();
    void Check();
    void Settings();
    void Script();
    void NewDatabase();
    void Copy();
    bool RealCopy();
    void SampleCopy();
    bool RealError();
    void Error();
    bool RealFinish();
    void Report();
    void Dialogs();
    QString TargetVersion();
    QString FailedInsertMessage(const QString& insert);
    const TTableRec& ExportTable() const;

    QString out_dir_;
    bool testbed_;
    bool real_target_ = false;
    bool real_error_ = false;
    // The table the target was made to refuse, for the finish after the error page.
    QString refused_table_;
    int failures_ = 0;
    TShotQuestions questions_;
    std::unique_ptr<TFormMigration> form_;
};

void TShooter::Save(QWidget* widget, const QString& name) {
    QApplication::processEvents();
    // A user-interface picture has few colours: an 8-bit palette keeps it small and exact.
    const QImage image = widget->grab().toImage().convertToFormat(
        QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    const QString path = QDir(out_dir_).filePath(name + QStringLiteral(".png"));
    if (!image.save(path, "PNG", 0)) {
        Say(QStringLiteral("cannot write ") + path);
        ++failures_;
        return;
    }
    Say(QStringLiteral("%1 (%2x%3)").arg(path).arg(image.width()).arg(image.height()));
}

void TShooter::Connections() {
    if (testbed_) {
        form_->MemoConnectFrom->setPlainText(OraEmulConnectString(kOraEmulSrc));
        form_->MemoConnectTo->setPlainText(BuildConnectString(TargetFields()));
        form_->BtnCheckFromClick();
        form_->BtnCheckToClick();
    } else {
        form_->MemoConnectFrom->setPlainText(SampleSourceString());
        form_->MemoConnectTo->setPlainText(BuildConnectString(TargetFields()));
        // What two passed checks leave behind.
        form_->LabelCheckDbFrom->setVisible(true);
        form_->LabelCheckDbTo->setVisible(true);
        form_->db_from = kDbOracle;
        form_->db_to = kDbPostgres;
    }
    Tick();
    if (!form_->BtnNext->isEnabled()) {
        Say(QStringLiteral("step 1: the connection checks did not pass"));
        ++failures_;
    }
    Save(form_.get(), QStringLiteral("wizard-1-connections"));
}

void TShooter::Source() {
    form_->BtnNextClick();
    if (testbed_) {
        Tick();  // reads the emulated dictionary
    } else {
        form_->tables = SampleTables();
        for (const TTableRec& table : form_->tables) {
            for (const TFieldRec& field : table.fields) {
                form_->AddType(field.data_type);
            }
        }
        form_->oracle_vers = QStringLiteral(
            "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
        form_->EditVersionFrom->setText(form_->oracle_vers);
        form_->RefreshStructFrom();
        form_->PanelInfo->clear();
        form_->is_done = true;
        Tick();
    }
    if (form_->ListTableFrom->topLevelItemCount() == 0) {
        Say(QStringLiteral("step 2: no tables were read"));
        ++failures_;
        return;
    }
    // The details of a table with keys of every kind.
    const QList<QTreeWidgetItem*> orders =
        form_->ListTableFrom->findItems(QStringLiteral("ORDERS"), Qt::MatchExactly);
    QTreeWidgetItem* row = orders.isEmpty() ? form_->ListTableFrom->topLevelItem(0) : orders[0];
    row->setSelected(true);
    form_->ListTableFrom->setCurrentItem(row);
    Save(form_.get(), QStringLiteral("wizard-2-source"));
}

// The check before the copy as the operator runs it again with "Проверить данные": the table
// with the most severe finding selected, so its columns show beside what the check says of it,
// and its first finding marked where the list shows it without scrolling.
void TShooter::Check() {
    form_->BtnPreflightClick();
    if (form_->findings.isEmpty()) {
        Say(QStringLiteral("step 2: the check found nothing to list"));
        ++failures_;
        return;
    }
    // Findings come most severe first within a table; the first table of the worst kind.
    const TFinding* worst = &form_->findings.first();
    for (const TFinding& f : form_->findings) {
        if (static_cast<int>(f.severity) < static_cast<int>(worst->severity)) {
            worst = &f;
        }
    }
    const QList<QTreeWidgetItem*> rows =
        form_->ListTableFrom->findItems(worst->table, Qt::MatchExactly);
    if (!rows.isEmpty()) {
        form_->ListTableFrom->clearSelection();
        rows[0]->setSelected(true);
        form_->ListTableFrom->setCurrentItem(rows[0]);
    }
    QApplication::processEvents();
    QTreeWidget* list = form_->ListPreflight;
    const QRect shown = list->viewport()->rect();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->text(1) == worst->table && item->text(3) == worst->text) {
            // Selecting marks the row; it does not move the list as making it current would.
            if (shown.contains(list->visualItemRect(item))) {
                item->setSelected(true);
            }
            break;
        }
    }
    Say(QStringLiteral("step 2: %1 findings, shown with table %2")
            .arg(form_->findings.size())
            .arg(worst->table));
    Save(form_.get(), QStringLiteral("wizard-2-check"));
}

void TShooter::Settings() {
    form_->BtnNextClick();
    Tick();
    form_->EditUser->setText(QStringLiteral("shop"));
    form_->EditPassword->setText(QStringLiteral("shop2024"));
    Tick();
    Save(form_.get(), QStringLiteral("wizard-3-settings"));
}

void TShooter::Script() {
    form_->BtnNextClick();
    Tick();  // generates the script from the table model
    if (form_->ScriptLines().isEmpty()) {
        Say(QStringLiteral("step 4: no script"));
        ++failures_;
    }
    Save(form_.get(), QStringLiteral("wizard-4-script"));
}

QString TShooter::TargetVersion() {
    if (testbed_) {
        try {
            form_->QueryTo.SetText(QStringLiteral("SELECT version()"));
            form_->QueryTo.Open();
            const QString version = form_->QueryTo.Field(0).AsString();
            form_->QueryTo.Close();
            return version;
        } catch (const TError& error) {
            questions_.ShowError(QStringLiteral("version"), error.Message());
        }
    }
    return QStringLiteral(
        "PostgreSQL 15.10 (Debian 15.10-0+deb12u1) on x86_64-pc-linux-gnu, compiled by gcc "
        "(Debian 12.2.0-14) 12.2.0, 64-bit");
}

// Step 5 with a test bed runs the window's own target creation; where that does not end in
// "Ok" (or without a test bed) the page shows what creation and the copy preparation leave
// behind: the version, the tables in copy order with a query addition on one of them, and "Ok".
void TShooter::NewDatabase() {
    // Small statements, so that the copy is still half-way after a few ticks.
    form_->SpinPortionWrite->setValue(2);
    form_->BtnNextClick();
    if (!testbed_) {
        form_->is_done = true;  // nothing to create without a server
    }
    Tick();
    real_target_ = testbed_ && form_->LabelResStruct->text() == QLatin1String("Ok");
    if (!real_target_) {
        if (testbed_) {
            Say(QStringLiteral("step 5: target creation left \"%1\"; showing sample content")
                    .arg(form_->LabelResStruct->text()));
        }
        form_->is_done = true;
        form_->EditVersionTo->setText(TargetVersion());
        form_->ListTableTo->clear();
        for (TTableRec& table : form_->tables) {
            if (table.name == QLatin1String("ORDERS")) {
                table.query_addi = QStringLiteral("WHERE ORDER_DATE >= DATE '2015-01-01'");
            }
            form_->ListTableTo->addTopLevelItem(new QTreeWidgetItem(
                {table.name, QString::number(table.rows), table.query_addi, table.file_copy}));
        }
        form_->LabelResStruct->setText(QStringLiteral("Ok"));
    }
    Tick();
    Save(form_.get(), QStringLiteral("wizard-5-new-db"));
}

// With a real target the copy really runs, tick by tick, until it stands in the middle of the
// largest table from two thirds of the list on (the gauge counts finished tables), and is then
// paused.
bool TShooter::RealCopy() {
    const qsizetype count = form_->tables.size();
    qsizetype target = count * 2 / 3;
    for (qsizetype i = target; i < count; ++i) {
        if (form_->tables[i].rows > form_->tables[target].rows) {
            target = i;
        }
    }
    for (int i = 0; i < 5000 && form_->step == 6; ++i) {
        Tick();
        if (form_->copy_engine.IndTable() == target && form_->copy_engine.CommittedOff() > 0 &&
            form_->GaugeRow->value() < form_->GaugeRow->maximum()) {
            break;
        }
    }
    if (form_->step != 6) {
        Say(QStringLiteral("step 6: the copy stopped at step %1: %2; showing sample content")
                .arg(form_->step)
                .arg(form_->MemoError->toPlainText()));
        return false;
    }
    return true;
}

// The copy half-way through: the tables before the current one are done, the journal holds
// three lines per table started (time, name, rows and offset), as the copy writes them.
void TShooter::SampleCopy() {
    form_->step = 6;
    // Marked done so that the tick only shows the page and does not start copying.
    form_->is_done = true;
    form_->PrintInfo();
    Tick();
    const TTables& tables = form_->tables;
    const int current = static_cast<int>(tables.size()) * 2 / 3;
    const qint64 rows = tables[current].rows;
    const qint64 offset = rows / 2;
    uint32_t seconds = 0;
    QStringList journal;
    for (int i = 0; i <= current; ++i) {
        journal << FormatDuration(seconds) << tables[i].name
                << QStringLiteral("%1 [0]").arg(tables[i].rows);
        seconds += 1 + static_cast<uint32_t>(tables[i].rows / 900);
    }
    seconds -= static_cast<uint32_t>((rows - offset) / 900);
    form_->MemoCopy->setPlainText(journal.join(u'\n'));
    form_->GaugeTable->setRange(0, static_cast<int>(tables.size()));
    form_->GaugeTable->setValue(current + 1);
    form_->GaugeRow->setRange(0, static_cast<int>(rows));
    form_->GaugeRow->setValue(static_cast<int>(offset));
    form_->LabelN->setText(QString::number(offset));
    form_->LabelTime->setText(FormatDuration(seconds));
}

void TShooter::Copy() {
    form_->BtnNextClick();
    if (!real_target_ || !RealCopy()) {
        SampleCopy();
    }
    Save(form_.get(), QStringLiteral("wizard-6-copy"));
    if (form_->step == 6 && !form_->is_done) {
        form_->BtnPauseClick();
    }
    form_->is_done = false;
}

// With a test bed the failure is real: a second insert of the same key into a temporary table
// of the target session, so the page shows the driver's own diagnostics.
QString TShooter::FailedInsertMessage(const QString& insert) {
    if (testbed_) {
        try {
            TDbQuery query(form_->ADOConnectionTo);
            query.SetText(
                QStringLiteral("CREATE TEMPORARY TABLE order_lines (order_id bigint, line_no "
                               "integer, product_id bigint, quantity numeric(10,3), price "
                               "numeric(12,2), CONSTRAINT pk_order_lines PRIMARY KEY (order_id, "
                               "line_no))"));
            query.ExecSQL();
            query.SetText(insert);
            query.ExecSQL();
            query.ExecSQL();
        } catch (const TError& error) {
            return error.Message();
        }
        Say(QStringLiteral("step 8: the failing insert did not fail"));
        ++failures_;
    }
    return QStringLiteral(
        "ERROR: duplicate key value violates unique constraint \"pk_order_lines\"\n"
        "DETAIL: Key (order_id, line_no)=(10452, 1) already exists.;\n"
        "Error while executing the query");
}

// With a real target the failure is real: the target is made to refuse the rows of the table
// being copied, and the paused copy is continued into the refusal.
bool TShooter::RealError() {
    if (!real_target_ || form_->step != 7) {
        return false;
    }
    const qint64 index = form_->copy_engine.IndTable();
    if (index < 0 || index >= form_->tables.size()) {
        return false;
    }
    try {
        TDbConnection owner;
        owner.SetConnectionString(form_->ADOConnectionTo.ConnectionString());
        owner.Open();
        TDbQuery query(owner);
        query.SetText("ALTER TABLE " + TSqlNames(kDbPostgres).Name(form_->tables[index].name) +
                      " ADD CONSTRAINT shot_refused CHECK (false) NOT VALID");
        query.ExecSQL();
    } catch (const TError& error) {
        Say(QStringLiteral("step 8: the target could not be made to refuse rows: ") +
            error.Message());
        return false;
    }
    refused_table_ = form_->tables[index].name;
    form_->BtnContinueClick();
    for (int i = 0; i < 100 && form_->step == 6; ++i) {
        Tick();
    }
    if (form_->step != 8) {
        Say(QStringLiteral("step 8: the refused rows did not stop the copy (step %1)")
                .arg(form_->step));
        return false;
    }
    return true;
}

void TShooter::Error() {
    real_error_ = RealError();
    if (!real_error_) {
        TCopyFailure failure;
        failure.table = QStringLiteral("ORDER_LINES");
        failure.committed_rows = 30000;
        failure.unit_rows = 3;
        failure.key_columns = QStringList{QStringLiteral("ORDER_ID"), QStringLiteral("LINE_NO")};
        failure.last_key = QStringList{QStringLiteral("10451"), QStringLiteral("4")};
        failure.read_sql = QStringLiteral(
            "SELECT * FROM ORDER_LINES\nWHERE (ORDER_ID, LINE_NO) > (?, ?)\n"
            "ORDER BY ORDER_ID,LINE_NO\nFETCH NEXT 100000 ROWS ONLY");
        failure.write_sql = QStringLiteral(
            "INSERT INTO ORDER_LINES (ORDER_ID,LINE_NO,PRODUCT_ID,QUANTITY,PRICE) VALUES "
            "(10452,1,17,2.000,149.90),(10452,2,203,1.000,1290.00),(10452,3,88,12.500,3.75)");
        failure.message = FailedInsertMessage(failure.write_sql);
        form_->step = 6;
        form_->CopyFailed(failure);
    }
    Tick();
    Save(form_.get(), QStringLiteral("wizard-8-error"));
}

// After a real refusal the operator removes its cause and presses "Повторить": the copy resumes
// from its checkpoint and runs to its end, which writes the report of a finished migration.
bool TShooter::RealFinish() {
    if (!real_error_ || refused_table_.isEmpty()) {
        return false;
    }
    try {
        TDbConnection owner;
        owner.SetConnectionString(form_->ADOConnectionTo.ConnectionString());
        owner.Open();
        TDbQuery query(owner);
        query.SetText("ALTER TABLE " + TSqlNames(kDbPostgres).Name(refused_table_) +
                      " DROP CONSTRAINT shot_refused");
        query.ExecSQL();
    } catch (const TError& error) {
        Say(QStringLiteral("report: the refusal could not be removed: ") + error.Message());
        return false;
    }
    form_->BtnRetryClick();
    for (int i = 0; i < 5000 && form_->step == 6; ++i) {
        Tick();
    }
    if (form_->step != 9) {
        Say(QStringLiteral("report: the resumed copy did not finish (step %1): %2")
                .arg(form_->step)
                .arg(form_->MemoError->toPlainText()));
        ++failures_;
        return false;
    }
    return true;
}

// The report as "Открыть отчет" opens it: the file the window wrote, shown from its top.
void TShooter::Report() {
    if (!RealFinish() && testbed_) {
        Say(QStringLiteral("report: showing the report of the error page"));
    }
    QString opened;
    form_->open_url = [&opened](const QUrl& url) { opened = url.toLocalFile(); };
    form_->BtnOpenReportClick();
    QFile file(opened);
    if (opened.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        Say(QStringLiteral("report: no report was written (%1)").arg(opened));
        ++failures_;
        return;
    }
    QTextBrowser viewer;
    viewer.setWindowTitle(QStringLiteral("Отчет о миграции"));
    viewer.setHtml(QString::fromUtf8(file.readAll()));
    // A browser window of the wizard's width and a screen's height: the servers and the first
    // tables show.
    viewer.resize(form_->width(), 1000);  // shots: allowed: this program's own viewer
    viewer.show();
    Save(&viewer, QStringLiteral("report"));
    viewer.hide();
}

const TTableRec& TShooter::ExportTable() const {
    const int index = FindTable(form_->tables, QStringLiteral("ORDERS"));
    return form_->tables[index < 0 ? 0 : index];
}

void TShooter::Dialogs() {
    TFormConnectString connect(form_.get());
    TConnectStringFields oracle;
    oracle.provider = kProviderOraOleDb;
    oracle.db_oracle = testbed_ ? QStringLiteral("ORA_EMUL") : QStringLiteral("ORCL");
    oracle.user_oracle = testbed_ ? QLatin1String(kOraEmulSrc.user) : QStringLiteral("SHOP");
    oracle.password_oracle = QStringLiteral("secret");
    connect.SetFields(oracle);
    connect.show();
    Save(&connect, QStringLiteral("connect-string-oracle"));
    connect.SetFields(TargetFields());
    connect.ComboProviderChange();
    Save(&connect, QStringLiteral("connect-string-postgres"));
    connect.hide();

    TFormAbout about(form_.get());
    about.LabelCopyright->setText(TFormAbout::CopyrightLine());
    about.show();
    Save(&about, QStringLiteral("about"));
    about.hide();

    const TTableRec& table = ExportTable();
    auto* export_form = new TFormPostgreDataFile(form_.get(), questions_, form_->ADOConnectionFrom,
                                                 table, form_->db_to);
    export_form->show();
    Save(export_form, QStringLiteral("export"));
    delete export_form;
}

bool TShooter::Run() {
    if (testbed_) {
        const QString error = OraEmulLoad();
        if (!error.isEmpty()) {
            Say(QStringLiteral("loading the emulation failed: ") + error);
            return false;
        }
    }
    form_ = std::make_unique<TFormMigration>(&questions_);
    // The pictures are taken between explicit ticks; a timer tick in between could start work.
    form_->TimerCheck->stop();
    // One unit per tick, so the copy page is taken in the middle of the copy.
    form_->copy_step_units = 1;
    form_->show();
    Tick();

    Connections();
    Source();
    if (form_->tables.isEmpty()) {
        return false;
    }
    Check();
    Settings();
    Script();
    NewDatabase();
    Copy();
    Error();
    Report();
    Dialogs();
    form_->hide();
    form_.reset();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QString out_dir =
        QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs")).absolutePath();
    QTemporaryDir home;
    if (!home.isValid() || !QDir().mkpath(out_dir)) {
        Say(QStringLiteral("no working folder"));
        return 2;
    }
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath("data").toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    const bool testbed = OraEmulTestbedAvailable();

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QDir(home.path()).filePath("settings"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QDir(home.path()).filePath("settings"));
    // One style everywhere, so the pictures do not depend on the machine's desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The window looks for its helper files in the start folder; start in an empty one.
    QDir::setCurrent(home.path());

    Say(testbed ? QStringLiteral("test bed: ") + qEnvironmentVariable("SKERROW_TESTBED")
                : QStringLiteral("no test bed: sample content"));
    TShooter shooter(out_dir, testbed);
    const bool done = shooter.Run();
    if (!done || shooter.Failures() > 0) {
        Say(QStringLiteral("failed"));
        return 1;
    }
    return 0;
}
