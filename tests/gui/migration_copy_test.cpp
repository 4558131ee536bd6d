// The whole migration on the real window against the test bed: the emulated Oracle source
// (ORA_EMUL, owner skerrow_src) goes into a new PostgreSQL database, driven tick by tick from
// step 1 to step 9 with the boxes answered from a script. What arrives is compared with the
// source through SQL on both sides.

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include "ddl/script_gen.h"
#include "migration_copy_testbed.h"

TEST_F(MigrationCopyTest, MigratesTheSampleFromStep1ToStep9) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 1000));
    EXPECT_EQ(form_->LabelResStruct->text(), "Ok");
    EXPECT_TRUE(form_->PanelInfo->text().isEmpty());
    EXPECT_TRUE(form_->EditVersionTo->text().startsWith("PostgreSQL"))
        << Str(form_->EditVersionTo->text());
    const QStringList order = TableNames();
    ASSERT_EQ(form_->ListTableTo->topLevelItemCount(), order.size());
    EXPECT_EQ(form_->ListTableTo->headerItem()->text(1), "Записей");
    for (int i = 0; i < order.size(); ++i) {
        const QTreeWidgetItem* row = form_->ListTableTo->topLevelItem(i);
        EXPECT_EQ(row->text(0), order[i]);
        EXPECT_EQ(row->text(1), QString::number(form_->tables[i].rows));
        EXPECT_TRUE(row->text(2).isEmpty());
        EXPECT_TRUE(row->text(3).isEmpty());
    }
    // Referenced tables come first.
    EXPECT_LT(order.indexOf("CUSTOMERS"), order.indexOf("ORDERS"));
    EXPECT_LT(order.indexOf("ORDERS"), order.indexOf("ORDER_LINES"));
    EXPECT_LT(order.indexOf("ORDER_LINES"), order.indexOf("LINE_NOTES"));
    EXPECT_EQ(form_->GaugeTable->maximum(), order.size());
    EXPECT_EQ(form_->GaugeTable->value(), 0);

    ASSERT_EQ(RunCopyOnTimer(), 9);
    EXPECT_TRUE(form_->is_done);
    ASSERT_EQ(questions_.Count("message"), 1);
    EXPECT_EQ(questions_.asked.last().caption, form_->windowTitle());
    EXPECT_EQ(questions_.asked.last().text, "Миграция завершена успешно.");
    EXPECT_EQ(questions_.Count("error"), 0);
    EXPECT_EQ(form_->GaugeTable->value(), order.size());
    EXPECT_EQ(form_->LabelN->text(), "0");  // the last table, PAYMENTS, is empty
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePage(), form_->TabCopyData);
    EXPECT_FALSE(form_->BtnPause->isEnabled());
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    EXPECT_FALSE(QFile::exists(form_->paths.file_temp));

    ExpectTargetStructure();
    ExpectSameRows(order);
    ExpectNextKeys();

    // The journal: one block per table (one read portion each; the tables without a key in
    // one pass, with a line that says why), each table's check after its block, the report's
    // path at the end; saved as the log with CR LF.
    const QStringList keyless{"DOCUMENTS", "LINE_NOTES"};
    QStringList expected;
    for (const TTableRec& table : form_->tables) {
        const bool key = !keyless.contains(table.name);
        expected << QString() << table.name << QString::number(table.rows) + (key ? " [0]" : "");
        if (!key) {
            expected << "Таблица " + table.name +
                            " копируется без ключа (нет первичного ключа; нет уникального ключа): "
                            "за один проход; если копирование прервётся, она будет очищена и "
                            "скопирована заново";
        }
        // The time and the rate of the table vary; they are checked for their form.
        expected << QStringLiteral("Таблица %1 скопирована: строк %2 за …")
                        .arg(table.name)
                        .arg(table.rows);
        expected
            << QStringLiteral("Таблица %1: проверено: %2 = %2").arg(table.name).arg(table.rows);
    }
    expected << "Отчет о миграции: " + form_->report_path;
    EXPECT_EQ(QFileInfo(form_->report_path).dir(), QFileInfo(form_->paths.file_log).absoluteDir());
    QStringList journal = form_->MemoCopy->toPlainText().split('\n');
    ASSERT_EQ(journal.size(), expected.size()) << Str(journal.join('|'));
    const QRegularExpression done_time(QStringLiteral(" за \\d+,\\d с, \\d+ строк/с$"));
    for (int i = 0; i < journal.size(); ++i) {
        if (expected[i].isEmpty()) {
            journal[i].clear();  // elapsed time: empty at first, then whatever it was
        } else if (expected[i].endsWith(QStringLiteral(" за …"))) {
            EXPECT_TRUE(journal[i].contains(done_time)) << Str(journal[i]);
            journal[i].replace(done_time, QStringLiteral(" за …"));
        }
    }
    EXPECT_EQ(journal, expected);
    EXPECT_TRUE(form_->MemoCopy->toPlainText().startsWith("\n" + order.first() + "\n"));
    QFile log(form_->paths.file_log);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray bytes = log.readAll();
    EXPECT_EQ(QString::fromLatin1(bytes).split("\r\n").size(), expected.size() + 1);
    EXPECT_FALSE(bytes.contains("\n\n"));
    // In the code page: the lines about tables without a key are Russian.
    EXPECT_EQ(TCodePage().ToUnicode(bytes).replace("\r\n", "\n"),
              form_->MemoCopy->toPlainText() + "\n");

    // The settings of the run are saved when the window goes.
    form_.reset();
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    EXPECT_EQ(settings.value("User").toString(), kTargetDb);
    EXPECT_EQ(settings.value("Password").toString(), kTargetPassword);
    EXPECT_EQ(settings.value("PortionWrite").toInt(), 1000);
    EXPECT_EQ(settings.value("PortionRead").toInt(), 100000);
    EXPECT_EQ(settings.value("ConnectTo").toString(), TargetString());
    EXPECT_EQ(settings.value("ConnectFrom").toString(), OraEmulConnectString(kOraEmulSrc));
    EXPECT_EQ(settings.value("ValidateAfterCopy").toInt(), 1);
    EXPECT_EQ(settings.value("ValidateChecksum").toInt(), 0);
}

TEST_F(MigrationCopyTest, PauseInsideATableAndBetweenTablesThenContinue) {
    // Small portions: a statement of two rows, pages of three rows.
    ASSERT_NO_FATAL_FAILURE(GoToStep5(3, 2));
    form_->BtnNextClick();
    ASSERT_EQ(form_->step, 6);
    const int lines_index = TableNames().indexOf("ORDER_LINES");

    // Inside ORDER_LINES (7 rows) after its first statement.
    ASSERT_TRUE(TickUntil([&] {
        return form_->copy_engine.IndTable() == lines_index && form_->copy_engine.CopyOff() == 2;
    }));
    EXPECT_EQ(form_->PanelInfo->text(), "ORDER_LINES");
    EXPECT_EQ(form_->GaugeRow->maximum(), 7);
    EXPECT_EQ(form_->GaugeRow->value(), 2);
    EXPECT_EQ(form_->LabelN->text(), "2");
    form_->BtnPauseClick();
    EXPECT_EQ(form_->step, 7);
    EXPECT_EQ(CheckpointLines().mid(0, 2), QStringList({QString::number(lines_index), "2"}));
    const QString count = "SELECT count(*) FROM order_lines";
    const QString before = target_->Value(count);
    for (int i = 0; i < 5; ++i) {
        form_->TimerCheckTimer();
    }
    EXPECT_EQ(target_->Value(count), before);
    EXPECT_EQ(form_->step, 7);
    EXPECT_TRUE(form_->BtnContinue->isEnabled());
    EXPECT_FALSE(form_->BtnPause->isEnabled());
    form_->BtnContinueClick();
    EXPECT_EQ(form_->step, 6);
    // The copy goes on writing the checkpoint after every statement.
    EXPECT_TRUE(QFile::exists(form_->paths.file_temp));

    // Between two tables: the last one finished, the next not yet opened.
    const qint64 at = form_->copy_engine.IndTable();
    ASSERT_TRUE(TickUntil([&] { return form_->copy_engine.IndTable() == at + 1; }));
    form_->BtnPauseClick();
    EXPECT_EQ(CheckpointLines().mid(0, 2), QStringList({QString::number(at + 1), "0"}));
    form_->BtnContinueClick();

    ASSERT_EQ(RunCopy(), 9);
    ExpectSameRows(TableNames());
    EXPECT_FALSE(QFile::exists(form_->paths.file_temp));
    // ORDER_LINES took three portions, each after the last key of the one before.
    const QString journal = form_->MemoCopy->toPlainText();
    EXPECT_TRUE(journal.contains("ORDER_LINES\n7 [0]\n")) << Str(journal);
    EXPECT_TRUE(journal.contains("ORDER_LINES\n7 [3]\n"));
    EXPECT_TRUE(journal.contains("ORDER_LINES\n7 [6]\n"));
}

TEST_F(MigrationCopyTest, TheWindowAnswersWhileAUnitWaitsAndPauseFinishesIt) {
    // Two-row units; ORDERS is held by another session, so the copy's first unit there waits
    // on the server for as long as the test likes.
    ASSERT_NO_FATAL_FAILURE(GoToStep5(3, 2));
    TDbConnection locker;
    locker.SetConnectionString(TargetString(kTargetDb));
    locker.Open();
    locker.SetAutoCommit(false);
    TDbQuery lock(locker);
    lock.SetText(QStringLiteral("LOCK TABLE orders IN ACCESS EXCLUSIVE MODE"));
    lock.ExecSQL();
    const auto waiting = [&] {
        return target_->Value("SELECT count(*) FROM pg_stat_activity WHERE datname = '" +
                              kTargetDb + "' AND wait_event_type = 'Lock'") != "0";
    };

    form_->BtnNextClick();
    ASSERT_EQ(form_->step, 6);
    form_->copy_step_units = 0;
    QElapsedTimer clock;
    clock.start();
    while (!waiting() && form_->step == 6 && clock.elapsed() < 30000) {
        form_->TimerCheckTimer();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ASSERT_TRUE(waiting()) << Str(form_->MemoCopy->toPlainText());
    const int orders = TableNames().indexOf("ORDERS");
    // Ticks return while the unit waits, and show where the copy stands.
    for (int i = 0; i < 5; ++i) {
        form_->TimerCheckTimer();
    }
    EXPECT_EQ(form_->step, 6);
    EXPECT_TRUE(form_->copy_shown.busy);
    EXPECT_EQ(form_->copy_shown.ind_table, orders);
    // The tables before it are done; ORDERS' own lines come with its waiting unit.
    EXPECT_TRUE(
        form_->MemoCopy->toPlainText().contains("Таблица CUSTOMERS скопирована: строк 4 за "))
        << Str(form_->MemoCopy->toPlainText());
    EXPECT_TRUE(form_->LabelSpeed->text().startsWith("Скорость: "))
        << Str(form_->LabelSpeed->text());

    // Pause while the unit waits: the window is paused at once, the unit goes on.
    form_->BtnPauseClick();
    EXPECT_EQ(form_->step, 7);
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->copy_worker.Busy());
    EXPECT_EQ(form_->LabelSpeed->text(), "Скорость: копирование приостановлено");

    // Once the lock goes, the unit commits, and its rows stand in the checkpoint.
    locker.Commit();
    ASSERT_TRUE(form_->copy_worker.Wait(30000));
    form_->TimerCheckTimer();
    EXPECT_EQ(form_->step, 7);
    EXPECT_EQ(form_->copy_engine.IndTable(), orders);
    EXPECT_EQ(form_->copy_engine.CommittedOff(), 2);
    EXPECT_EQ(target_->Value("SELECT count(*) FROM orders"), "2");
    EXPECT_EQ(CheckpointLines().mid(0, 2), QStringList({QString::number(orders), "2"}));
    // No unit starts while paused.
    for (int i = 0; i < 5; ++i) {
        form_->TimerCheckTimer();
    }
    EXPECT_FALSE(form_->copy_worker.Busy());
    EXPECT_EQ(form_->copy_engine.CommittedOff(), 2);

    form_->BtnContinueClick();
    ASSERT_EQ(RunCopyOnTimer(), 9);
    EXPECT_EQ(questions_.Count("message"), 1);
    EXPECT_TRUE(form_->LabelSpeed->text().isEmpty());
    ExpectSameRows(TableNames());
}

TEST_F(MigrationCopyTest, TheWorkerCopiesBetweenTicksAndATickShowsTheEnd) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(3, 2));
    form_->BtnNextClick();
    ASSERT_EQ(form_->step, 6);
    // One tick starts the run; the whole copy then happens without another one.
    form_->copy_step_units = 0;
    form_->TimerCheckTimer();
    ASSERT_TRUE(form_->copy_worker.Wait(60000));
    EXPECT_EQ(form_->step, 6);
    EXPECT_EQ(questions_.Count("message"), 0);
    ExpectSameRows(TableNames());
    // The next tick shows the end and finishes the step.
    form_->TimerCheckTimer();
    EXPECT_EQ(form_->step, 9);
    EXPECT_EQ(questions_.Count("message"), 1);
    EXPECT_EQ(form_->GaugeTable->value(), TableNames().size());
    EXPECT_TRUE(
        form_->MemoCopy->toPlainText().contains("Таблица PAYMENTS скопирована: строк 0 за "));
}

TEST_F(MigrationCopyTest, TheCopyStartsAndEndsWithoutWaitingForATick) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(3, 2));
    form_->copy_step_units = 0;
    form_->TimerCheck->stop();
    form_->BtnNextClick();
    ASSERT_EQ(form_->step, 6);
    // The timer stays off: the page's start and the worker's end are shown as they happen.
    QElapsedTimer clock;
    clock.start();
    while (form_->step == 6 && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_FALSE(form_->TimerCheck->isActive());
    ASSERT_EQ(form_->step, 9);
    EXPECT_EQ(questions_.Count("message"), 1);
    ExpectSameRows(TableNames());
}

class MigrationCopyFailureTest : public MigrationCopyTest,
                                 public ::testing::WithParamInterface<int> {};

TEST_P(MigrationCopyFailureTest, FailureShowsTheErrorPageAndANewRunResumes) {
    const bool by_copy = GetParam() == 0;
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 2));
    form_->ComboWriteMethod->setCurrentIndex(GetParam());
    // The target refuses one row of ORDERS (999999.99), in its second statement.
    target_->Exec(
        "ALTER TABLE orders ADD CONSTRAINT chk_e2e_total CHECK (total IS NULL OR total < 500000)");
    const int orders_index = TableNames().indexOf("ORDERS");
    ASSERT_EQ(RunCopy(), 8);
    EXPECT_FALSE(form_->is_done);
    EXPECT_EQ(form_->PanelInfo->text(), "Ошибка копирования данных");
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePage(), form_->TabError);
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    EXPECT_FALSE(form_->BtnPrev->isEnabled());
    EXPECT_FALSE(form_->BtnPause->isEnabled());
    EXPECT_FALSE(form_->BtnContinue->isEnabled());
    const QString read = form_->MemoErrorRead->toPlainText();
    // The model's columns by name: a server leaves invisible ones out of "*".
    EXPECT_TRUE(
        read.startsWith("SELECT ORDER_ID,CUSTOMER_ID,CUSTOMER_CODE,ORDER_DATE,TOTAL,"
                        "CURRENCY,COMMENTS FROM ORDERS\n\nORDER BY ORDER_ID\n"))
        << Str(read);
    const QString write = form_->MemoErrorWrite->toPlainText();
    const QString message = form_->MemoError->toPlainText();
    if (by_copy) {
        // The statement, the table, the source row and its values.
        EXPECT_TRUE(write.startsWith("COPY ORDERS (")) << Str(write);
        EXPECT_TRUE(message.contains("Таблица ORDERS: сервер отклонил строку 3")) << Str(message);
        EXPECT_TRUE(message.contains("TOTAL = 999999.99")) << Str(message);
    } else {
        EXPECT_TRUE(write.startsWith("INSERT INTO ORDERS(")) << Str(write);
        EXPECT_TRUE(write.contains("999999.99"));
    }
    EXPECT_TRUE(message.contains("chk_e2e_total")) << Str(message);
    EXPECT_EQ(form_->EditErrorTable->text(), "ORDERS");
    EXPECT_EQ(
        Str(form_->EditErrorRow->text()),
        "строки 3–4 (в новой БД строк этой таблицы: 2, последняя — с ключом ORDER_ID = 1001)");
    EXPECT_EQ(questions_.Count("error"), 0);
    // Only the first statement of ORDERS reached the target, and that is what is recorded.
    EXPECT_EQ(target_->Value("SELECT count(*) FROM orders"), "2");
    EXPECT_EQ(CheckpointLines().mid(0, 2), QStringList({QString::number(orders_index), "2"}));
    EXPECT_FALSE(QFile::exists(form_->paths.file_log));

    // A new run: steps 1 to 3 from the saved settings, then the offer.
    form_.reset();
    target_->Exec("ALTER TABLE orders DROP CONSTRAINT chk_e2e_total");
    questions_.asked.clear();
    NewForm();
    EXPECT_EQ(form_->EditUser->text(), kTargetDb);
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    questions_.ok_answers = {true};
    form_->BtnNextClick();
    ASSERT_EQ(questions_.Count("ask"), 1);
    EXPECT_EQ(questions_.asked.last().caption, "Обнаружена незавершенная миграция");
    EXPECT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.value(1).text);
    EXPECT_EQ(form_->step, 5);
    EXPECT_TRUE(form_->is_done);
    EXPECT_EQ(form_->LabelResStruct->text(), "Ok");
    EXPECT_EQ(form_->ListTableTo->topLevelItemCount(), form_->tables.size());
    EXPECT_EQ(form_->GaugeTable->value(), orders_index);
    // The checkpoint stays until the copy is done.
    EXPECT_TRUE(QFile::exists(form_->paths.file_temp));
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->BtnNext->isEnabled());

    ASSERT_EQ(RunCopy(), 9);
    EXPECT_FALSE(QFile::exists(form_->paths.file_temp));
    ExpectSameRows(TableNames());
    ExpectNextKeys();
    // The log covers the resumed part only: it starts at ORDERS, offset 2.
    const QStringList log = ReadLog();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.mid(0, 3), QStringList({QString(), "ORDERS", "5 [2]"}));
}

// 0: COPY, 1: INSERT, as the settings page lists them.
INSTANTIATE_TEST_SUITE_P(WriteMethods, MigrationCopyFailureTest, ::testing::Values(0, 1));

TEST_F(MigrationCopyTest, DecliningTheOfferDeletesTheCheckpoint) {
    QFile checkpoint(form_->paths.file_temp);
    ASSERT_TRUE(checkpoint.open(QIODevice::WriteOnly));
    checkpoint.write("2\r\n0\r\n");
    checkpoint.close();
    form_->EditUser->setText(kTargetDb);
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    // Declined, and the deletion confirmed.
    questions_.ok_answers = {false, true};
    form_->BtnNextClick();
    EXPECT_EQ(questions_.Count("ask"), 2);
    EXPECT_EQ(form_->step, 4);
    EXPECT_FALSE(QFile::exists(form_->paths.file_temp));
    form_->TimerCheckTimer();
    EXPECT_FALSE(form_->ScriptLines().isEmpty());
    // Not asked again on the next way past step 3.
    form_->BtnPrevClick();
    form_->BtnNextClick();
    EXPECT_EQ(questions_.Count("ask"), 2);
    EXPECT_EQ(form_->step, 4);
}

TEST_F(MigrationCopyTest, FailedCreationShowsTheErrorAndARetryStartsAfresh) {
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    form_->EditUser->setText(kTargetDb);
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    // Before the after-copy section, so that creation itself fails.
    QStringList edited = form_->ScriptLines();
    const qsizetype marker = edited.indexOf(kAfterCopyMarker);
    ASSERT_GT(marker, 0);
    edited.insert(marker, QStringLiteral("CREATE TABLE BROKEN (;"));
    form_->MemoScript->setPlainText(edited.join(u'\n'));
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    ASSERT_EQ(form_->step, 5);
    EXPECT_TRUE(form_->is_done);
    EXPECT_TRUE(form_->PanelInfo->text().isEmpty());
    EXPECT_TRUE(form_->LabelResStruct->text().contains("syntax error"))
        << Str(form_->LabelResStruct->text());
    // The statement the server refused, by its line in the script memo.
    EXPECT_TRUE(form_->LabelResStruct->text().endsWith(
        QString("(строка %1): CREATE TABLE BROKEN (").arg(marker + 1)))
        << Str(form_->LabelResStruct->text());
    EXPECT_EQ(form_->ListTableTo->topLevelItemCount(), 0);
    EXPECT_FALSE(form_->EditVersionTo->text().isEmpty());
    form_->TimerCheckTimer();
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    EXPECT_EQ(questions_.Count("error"), 0);

    // Back, the script corrected, forward again: the target is made anew, the list once.
    form_->BtnPrevClick();
    QStringList script = form_->ScriptLines();
    script.removeAll(QStringLiteral("CREATE TABLE BROKEN (;"));
    form_->MemoScript->setPlainText(script.join(u'\n'));
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    EXPECT_EQ(Str(form_->LabelResStruct->text()), "Ok");
    EXPECT_EQ(form_->ListTableTo->topLevelItemCount(), form_->tables.size());
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->BtnNext->isEnabled());
}

// Every table, column type, default, key and constraint of the script, as the server reports
// them.
void MigrationCopyTest::ExpectTargetStructure() {
    const QStringList columns = target_->Column(
        "SELECT table_name || '.' || column_name || ' ' || data_type || coalesce('(' || "
        "character_maximum_length || ')', '') || coalesce(' p' || numeric_precision || ',' || "
        "numeric_scale, '') || ' ' || is_nullable || ' ' || coalesce(column_default, '-') "
        "FROM information_schema.columns WHERE table_schema = 'public' "
        "ORDER BY table_name, ordinal_position");
    EXPECT_EQ(columns,
              QStringList({
                  "customers.id bigint p64,0 NO nextval('customers_id_seq'::regclass)",
                  "customers.name character varying(100) NO -",
                  "customers.city character varying(50) YES -",
                  "customers.code character varying(20) YES -",
                  "customers.status character(1) YES 'N'::bpchar",
                  "customers.balance numeric p12,2 YES 0",
                  "customers.created timestamp without time zone YES now()",
                  // FLOAT(126) keeps 38 decimal digits, more than a double holds.
                  "customers.rating numeric YES -",
                  "customers.note character varying(4000) YES -",
                  "customers.photo bytea YES -",
                  "documents.doc_id bigint p64,0 NO -",
                  "documents.title character varying(200) NO -",
                  "documents.body bytea YES -",
                  "documents.thumb bytea YES -",
                  "documents.signed_at timestamp without time zone YES -",
                  "documents.pages bigint p64,0 YES -",
                  "employees.emp_id bigint p64,0 NO -",
                  "employees.full_name character varying(150) NO -",
                  "employees.manager_id bigint p64,0 YES -",
                  "employees.salary numeric p8,2 YES -",
                  "employees.hired timestamp without time zone YES -",
                  "line_notes.order_id bigint p64,0 NO -",
                  "line_notes.line_no bigint p64,0 NO -",
                  "line_notes.note_text character varying(1000) YES -",
                  "order_lines.order_id bigint p64,0 NO -",
                  "order_lines.line_no bigint p64,0 NO -",
                  "order_lines.product_code character varying(30) NO -",
                  "order_lines.qty numeric p10,3 NO -",
                  "order_lines.price numeric p12,2 YES -",
                  "orders.order_id bigint p64,0 NO nextval('orders_order_id_seq'::regclass)",
                  "orders.customer_id bigint p64,0 NO -",
                  "orders.customer_code character varying(20) YES -",
                  "orders.order_date timestamp without time zone NO -",
                  "orders.total numeric p12,2 YES -",
                  "orders.currency character(3) YES -",
                  "orders.comments character varying(2000) YES -",
                  "payments.id bigint p64,0 NO -",
                  "payments.order_id bigint p64,0 YES -",
                  "payments.amount numeric p12,2 NO -",
                  "payments.created timestamp without time zone YES now()",
                  "payments.pay_ref bigint p64,0 NO nextval('payments_pay_ref_seq'::regclass)",
                  "payments.arch_customer_id bigint p64,0 YES -",
              }))
        << Str(columns.join('\n'));
    const QStringList constraints = target_->Column(
        "SELECT conrelid::regclass::text || ' ' || conname || ' ' || contype::text || ' ' || "
        "pg_get_constraintdef(oid) FROM pg_constraint "
        "WHERE connamespace = 'public'::regnamespace ORDER BY 1");
    EXPECT_EQ(constraints,
              QStringList({
                  "customers pk_customers p PRIMARY KEY (id)",
                  "customers uk_customers_code u UNIQUE (code)",
                  "employees fk_emp_mgr f FOREIGN KEY (manager_id) REFERENCES employees(emp_id)",
                  "employees pk_emp p PRIMARY KEY (emp_id)",
                  "line_notes fk_ln_ol f FOREIGN KEY (order_id, line_no) REFERENCES "
                  "order_lines(order_id, line_no)",
                  "order_lines fk_ol_ord f FOREIGN KEY (order_id) REFERENCES orders(order_id)",
                  "order_lines pk_ol p PRIMARY KEY (order_id, line_no)",
                  "order_lines uk_ol_product u UNIQUE (order_id, product_code)",
                  "orders fk_ord_cust f FOREIGN KEY (customer_id) REFERENCES customers(id)",
                  "orders pk_ord p PRIMARY KEY (order_id)",
                  "payments fk_pay_ord f FOREIGN KEY (order_id) REFERENCES orders(order_id)",
                  "payments pk_payments p PRIMARY KEY (id)",
              }))
        << Str(constraints.join('\n'));
    // The source keeps these two disabled: the script names them in a comment and creates
    // neither.
    const QStringList script = form_->ScriptLines();
    for (const char* name : {"UK_CUSTOMERS_NAME_CITY", "FK_ORD_CUST_CODE"}) {
        EXPECT_EQ(script.filter(QString::fromLatin1(name)).size(), 1) << name;
        EXPECT_TRUE(script.filter(QString::fromLatin1(name)).value(0).startsWith("--")) << name;
    }
}
