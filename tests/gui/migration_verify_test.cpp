// The checks of the migration in the real window: every table checked after its copy and named
// in the report beside the log, a row lost or a value changed on the target after its table's
// copy shown as a mismatch that never reads as success, and the check before the copy listing
// each planted problem of owner SKERROW_PRE on the structure page.

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QUrl>

#include "migration_copy_testbed.h"
#include "report/migration_report.h"

namespace {

const TOraEmulUser kOraEmulPre{"skerrow_pre", "pre_pass"};

class MigrationVerifyTest : public MigrationCopyTest {
protected:
    QString ReportText() {
        QFile file(form_->report_path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << Str(form_->report_path);
        return QString::fromUtf8(file.readAll());
    }

    QStringList JournalLinesOf(const QString& table) {
        QStringList found;
        for (const QString& line : form_->MemoCopy->toPlainText().split('\n')) {
            if (line.startsWith("Таблица " + table + ": ")) {
                found << line;
            }
        }
        return found;
    }
};

TEST_F(MigrationVerifyTest, CleanMigrationChecksEveryTableAndReportsIt) {
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    // Checked on by default; the checksum only when asked for.
    EXPECT_TRUE(form_->CheckValidate->isChecked());
    EXPECT_FALSE(form_->CheckChecksum->isChecked());
    form_->CheckChecksum->setChecked(true);
    ASSERT_NO_FATAL_FAILURE(GoToStep5(3, 2, true));
    QList<QUrl> opened;
    form_->open_url = [&](const QUrl& url) { opened << url; };
    ASSERT_EQ(RunCopy(), 9);

    ASSERT_EQ(questions_.Count("message"), 1);
    EXPECT_EQ(questions_.asked.last().text, "Миграция завершена успешно.");
    EXPECT_FALSE(form_->LabelVerify->isVisibleTo(form_.get()));
    const QList<TReportTable> checked = form_->CheckedTables();
    ASSERT_EQ(checked.size(), form_->tables.size());
    const QString html = ReportText();
    for (int i = 0; i < checked.size(); ++i) {
        const TTableRec& table = form_->tables[i];
        SCOPED_TRACE(Str(table.name));
        EXPECT_EQ(checked[i].name, table.name);
        EXPECT_TRUE(checked[i].checked && checked[i].check.Ok());
        EXPECT_TRUE(checked[i].check.checksum_done);
        EXPECT_EQ(checked[i].rows_copied, table.rows);
        EXPECT_EQ(JournalLinesOf(table.name),
                  QStringList{QStringLiteral("Таблица %1: проверено: %2 = %2, контрольные суммы "
                                             "совпадают")
                                  .arg(table.name)
                                  .arg(table.rows)})
            << Str(form_->MemoCopy->toPlainText());
        EXPECT_TRUE(html.contains(table.name)) << Str(html);
        EXPECT_TRUE(html.contains(checked[i].check.JournalLine().toHtmlEscaped())) << Str(html);
    }
    // Beside the log, private to its owner, no password of either connection, a success.
    EXPECT_EQ(QFileInfo(form_->report_path).fileName(), kReportFileName);
    EXPECT_EQ(QFileInfo(form_->report_path).absolutePath(),
              QFileInfo(form_->paths.file_log).absolutePath());
    EXPECT_EQ(QFile::permissions(form_->report_path) & 0x0077, 0);
    EXPECT_FALSE(html.contains(OraEmulTestbedValue(QStringLiteral("PGPASSWORD"))));
    EXPECT_TRUE(html.contains("Миграция завершена успешно")) << Str(html);
    QFile log(form_->paths.file_log);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(TCodePage()
                    .ToUnicode(log.readAll())
                    .endsWith("Отчет о миграции: " + form_->report_path + "\r\n"));

    ASSERT_TRUE(form_->BtnOpenReport->isVisibleTo(form_.get()));
    form_->BtnOpenReport->click();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(form_->report_path)});
}

TEST_F(MigrationVerifyTest, RowsLostOrChangedAfterTheirTableAreMismatchesNotSuccess) {
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    form_->CheckChecksum->setChecked(true);
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 1000, true));
    // Between a table's last commit and its check, as another session would.
    form_->copy_engine.SetTableDoneHook(
        [this](const TTableRec& table, qint64 rows, TDbConnection& from, TDbConnection& to) {
            if (table.name == "LINE_NOTES") {
                target_->Exec(
                    "DELETE FROM line_notes WHERE ctid = (SELECT min(ctid) FROM "
                    "line_notes)");
            } else if (table.name == "EMPLOYEES") {
                target_->Exec(
                    "UPDATE employees SET salary = salary + 1 WHERE emp_id = (SELECT "
                    "min(emp_id) FROM employees)");
            }
            return form_->TableCopied(table, rows, from, to);
        });
    ASSERT_EQ(RunCopy(), 9);

    const int lost_table = TableNames().indexOf("LINE_NOTES");
    const int employees = TableNames().indexOf("EMPLOYEES");
    ASSERT_GE(lost_table, 0);
    ASSERT_GE(employees, 0);
    const QList<TReportTable> checked = form_->CheckedTables();
    ASSERT_EQ(checked.size(), form_->tables.size());
    EXPECT_EQ(checked[lost_table].check.status, TCheckStatus::CountMismatch);
    EXPECT_EQ(checked[lost_table].check.target_rows, form_->tables[lost_table].rows - 1);
    EXPECT_EQ(checked[employees].check.status, TCheckStatus::ChecksumMismatch);
    for (int i = 0; i < checked.size(); ++i) {
        if (i != lost_table && i != employees) {
            EXPECT_TRUE(checked[i].check.Ok()) << Str(checked[i].name);
        }
    }
    const QStringList lost = JournalLinesOf("LINE_NOTES");
    ASSERT_EQ(lost.size(), 1);
    EXPECT_TRUE(lost[0].startsWith("Таблица LINE_NOTES: расхождение: ")) << Str(lost[0]);

    // Red on the copy page, in the completion message and in the report: never a success.
    EXPECT_TRUE(form_->LabelVerify->isVisibleTo(form_.get()));
    EXPECT_TRUE(form_->LabelVerify->text().contains("LINE_NOTES"));
    EXPECT_TRUE(form_->LabelVerify->text().contains("EMPLOYEES"));
    EXPECT_TRUE(form_->LabelVerify->styleSheet().contains("#c00000"));
    ASSERT_EQ(questions_.Count("message"), 1);
    const QString message = questions_.asked.last().text;
    EXPECT_FALSE(message.contains("успешно")) << Str(message);
    EXPECT_TRUE(message.contains("LINE_NOTES") && message.contains("EMPLOYEES")) << Str(message);
    const QString html = ReportText();
    EXPECT_FALSE(html.contains("Миграция завершена успешно")) << Str(html);
    EXPECT_TRUE(html.contains("данные не совпадают")) << Str(html);
}

// A row the source gains while the copy runs is in neither the copy's view nor its count: the
// source is counted in the view the copy read, so the check compares like with like.
TEST_F(MigrationVerifyTest, TheSourceIsCountedInTheCopysView) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 1000));
    const QString first = form_->tables.first().name;
    form_->copy_engine.SetTableDoneHook(
        [&](const TTableRec& table, qint64 rows, TDbConnection& from, TDbConnection& to) {
            if (table.name == first) {
                source_->Exec(
                    "INSERT INTO skerrow_src.line_notes (order_id, line_no, note_text) "
                    "VALUES (1002, 4, 'late')");
            }
            return form_->TableCopied(table, rows, from, to);
        });
    ASSERT_EQ(RunCopy(), 9);
    const int notes = TableNames().indexOf("LINE_NOTES");
    ASSERT_GT(notes, 0);
    const QList<TReportTable> checked = form_->CheckedTables();
    ASSERT_EQ(checked.size(), form_->tables.size());
    EXPECT_TRUE(checked[notes].check.Ok()) << Str(checked[notes].check.JournalLine());
    EXPECT_EQ(checked[notes].check.source_rows, 2);
    EXPECT_EQ(target_->Value("SELECT count(*) FROM line_notes"), "2");
    EXPECT_EQ(questions_.asked.last().text, "Миграция завершена успешно.");
}

TEST_F(MigrationVerifyTest, TheErrorPageWritesTheReportWithTheFailure) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 2));
    target_->Exec(
        "ALTER TABLE orders ADD CONSTRAINT chk_e2e_total CHECK (total IS NULL OR total < 500000)");
    const int orders = TableNames().indexOf("ORDERS");
    ASSERT_EQ(RunCopy(), 8);
    ASSERT_FALSE(form_->report_path.isEmpty());
    EXPECT_FALSE(form_->BtnOpenReportError->isHidden());
    // The tables before the failure were checked; the report holds every table, the failure
    // with its statements, and no success.
    const QList<TReportTable> checked = form_->CheckedTables();
    ASSERT_EQ(checked.size(), orders);
    for (const TReportTable& t : checked) {
        EXPECT_TRUE(t.checked && t.check.Ok()) << Str(t.name);
    }
    const QString html = ReportText();
    for (const QString& table : TableNames()) {
        EXPECT_TRUE(html.contains(table)) << Str(table);
    }
    EXPECT_TRUE(html.contains("Миграция прервана ошибкой")) << Str(html);
    EXPECT_TRUE(html.contains("chk_e2e_total")) << Str(html);
    EXPECT_TRUE(html.contains("COPY ORDERS (")) << Str(html);
    EXPECT_TRUE(form_->MemoCopy->toPlainText().endsWith("Отчет о миграции: " + form_->report_path));
}

TEST_F(MigrationVerifyTest, ChecksOffLeaveTheJournalAsItWas) {
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    form_->CheckValidate->setChecked(false);
    EXPECT_FALSE(form_->CheckChecksum->isEnabled());
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 1000, true));
    ASSERT_EQ(RunCopy(), 9);
    for (const QString& table : TableNames()) {
        EXPECT_TRUE(JournalLinesOf(table).filter("проверено").isEmpty()) << Str(table);
    }
    // The report still holds every table, as not checked.
    const QString html = ReportText();
    for (const QString& table : TableNames()) {
        EXPECT_TRUE(html.contains(table)) << Str(table);
    }
    EXPECT_TRUE(html.contains("не проверялась"));
    // The choice is kept for the next run.
    form_.reset();
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    EXPECT_EQ(settings.value("ValidateAfterCopy").toInt(), 0);
    NewForm();
    EXPECT_FALSE(form_->CheckValidate->isChecked());
}

TEST_F(MigrationVerifyTest, TheStructurePageListsEveryPlantedProblem) {
    const QString path =
        QDir(QStringLiteral(SKERROW_FIXTURES_DIR)).filePath("preflight_sample.sql");
    const QString error = OraEmulExec("\\i '" + path + "'");
    ASSERT_TRUE(error.isEmpty()) << Str(error);
    form_->MemoConnectFrom->setPlainText(OraEmulConnectString(kOraEmulPre));
    form_->MemoConnectTo->setPlainText(TargetString());
    ASSERT_NO_FATAL_FAILURE(GoToStep2());

    const auto rows = [&] {
        QStringList texts;
        for (int i = 0; i < form_->ListPreflight->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = form_->ListPreflight->topLevelItem(i);
            texts << item->text(0) + " | " + item->text(1) + " | " + item->text(2) + " | " +
                         item->text(3);
        }
        return texts;
    };
    const auto has = [&](const QString& start, const QString& part) {
        for (const QString& row : rows()) {
            if (row.startsWith(start) && row.contains(part)) {
                return true;
            }
        }
        return false;
    };
    const std::string all = Str(rows().join('\n'));
    EXPECT_TRUE(has("предупреждение | BIG_NUMBERS | AMOUNT", "12345678901234567890")) << all;
    EXPECT_TRUE(has("ошибка | SHORT_TEXTS | CODE", "VARCHAR(10)")) << all;
    EXPECT_TRUE(has("предупреждение | LOG_LINES |  |", "нет ключа для чтения частями")) << all;
    EXPECT_TRUE(has("ошибка | SHAPES | SHAPE", "SDO_GEOMETRY")) << all;
    EXPECT_TRUE(has("сведения | SHAPES | DRAWING", "больших объектов: 2,")) << all;

    // On request the check reads the data again.
    const QString added =
        OraEmulExec("INSERT INTO skerrow_pre.shapes VALUES (4, NULL, '\\x0a0b'::bytea)");
    ASSERT_TRUE(added.isEmpty()) << Str(added);
    form_->BtnPreflight->click();
    EXPECT_EQ(questions_.Count("error"), 0);
    EXPECT_TRUE(has("сведения | SHAPES | DRAWING", "больших объектов: 3,"))
        << Str(rows().join('\n'));
}

}  // namespace
