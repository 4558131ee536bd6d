// The main window without a database: the stage driver, its buttons and pages, the settings
// it restores and saves, and the table-list commands on a model filled by hand.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "app/migration_form.h"
#include "scripted_questions.h"
#include "util/code_page.h"

namespace {

TFieldRec Field(const char* name, const char* type, int size, bool is_null, bool autoinc = false) {
    TFieldRec f;
    f.name = QLatin1String(name);
    f.data_type = QLatin1String(type);
    f.size = size;
    f.is_null = is_null;
    f.autoinc = autoinc;
    return f;
}

// Two tables, ORDERS referencing CUSTOMERS, listed in the order the source gave them.
TTables SampleTables() {
    TTableRec orders;
    orders.name = QStringLiteral("ORDERS");
    orders.rows = 5;
    orders.fields = {Field("ID", "NUMBER", 10, false, true),
                     Field("CUSTOMER_ID", "NUMBER", 10, true)};
    orders.primary_key = {QStringLiteral("PK_ORDERS"), QStringLiteral("(ID)")};
    orders.f_key = {{QStringLiteral("FK_ORDERS_CUST"), QStringLiteral("(CUSTOMER_ID)"),
                     QStringLiteral("CUSTOMERS(ID)")}};
    orders.master_tables = {QStringLiteral("CUSTOMERS")};
    TTableRec customers;
    customers.name = QStringLiteral("CUSTOMERS");
    customers.rows = 3;
    customers.fields = {Field("ID", "NUMBER", 10, false), Field("NAME", "VARCHAR2", 50, true)};
    customers.primary_key = {QStringLiteral("PK_CUSTOMERS"), QStringLiteral("(ID)")};
    customers.unique_key = {{QStringLiteral("UK_CUSTOMERS_NAME"), QStringLiteral("(NAME)")}};
    TTableRec notes;
    notes.name = QStringLiteral("NOTES");
    notes.fields = {Field("TEXT", "VARCHAR2", 100, true)};
    return {orders, customers, notes};
}

QStringList Column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        texts.append(list->topLevelItem(i)->text(column));
    }
    return texts;
}

QSettings Settings() {
    return QSettings(QString::fromLatin1(kSettingsOrganisation),
                     QString::fromLatin1(kSettingsApplication));
}

class MigrationFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings().clear();
        ASSERT_TRUE(dir_.isValid());
        old_dir_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        NewForm();
    }
    void TearDown() override {
        form_.reset();
        QDir::setCurrent(old_dir_);
    }

    void NewForm() {
        form_.reset();
        form_ = std::make_unique<TFormMigration>(&questions_);
        // The tests run the ticks themselves.
        form_->TimerCheck->stop();
    }

    QList<QWidget*> VisiblePages() const {
        QList<QWidget*> pages;
        for (int i = 0; i < form_->PageControl1->count(); ++i) {
            if (form_->PageControl1->isTabVisible(i)) {
                pages.append(form_->PageControl1->widget(i));
            }
        }
        return pages;
    }

    // Step 1 passed as if both checks had succeeded.
    void PassStep1(int db_to) {
        form_->LabelCheckDbFrom->setVisible(true);
        form_->LabelCheckDbTo->setVisible(true);
        form_->db_to = db_to;
        form_->TimerCheckTimer();
    }

    // Stands at step 2 with the sample model shown, as a read would leave it.
    void ShowSample() {
        PassStep1(kDbPostgres);
        form_->BtnNextClick();
        form_->TimerCheckTimer();  // no Oracle source: reads nothing
        form_->db_from = kDbOracle;
        form_->tables = SampleTables();
        form_->RefreshStructFrom();
        form_->TimerCheckTimer();
    }

    QTemporaryDir dir_;
    QString old_dir_;
    TScriptedQuestions questions_;
    std::unique_ptr<TFormMigration> form_;
};

TEST_F(MigrationFormTest, StartState) {
    form_->TimerCheckTimer();
    EXPECT_EQ(form_->windowTitle(), "Миграция баз данных");
    EXPECT_EQ(form_->size(), QSize(893, 686));
    EXPECT_EQ(form_->step, 1);
    EXPECT_FALSE(form_->is_done);
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabSelDb});
    EXPECT_EQ(form_->PageControl1->currentWidget(), form_->TabSelDb);
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    EXPECT_FALSE(form_->BtnPrev->isEnabled());
    EXPECT_FALSE(form_->BtnPause->isEnabled());
    EXPECT_FALSE(form_->BtnContinue->isEnabled());
    EXPECT_TRUE(form_->LabelCheckDbFrom->isHidden());
    EXPECT_TRUE(form_->LabelCheckDbTo->isHidden());
    EXPECT_EQ(form_->TimerCheck->interval(), 100);
    EXPECT_EQ(form_->BtnPrev->text(), "Назад");
    EXPECT_EQ(form_->BtnNext->text(), "Далее");
    EXPECT_TRUE(form_->BtnHelp->text().isEmpty());
    EXPECT_EQ(form_->BtnHelp->toolTip(), "Справка");
    EXPECT_EQ(form_->BtnInfo->toolTip(), "О программе");
    EXPECT_EQ(form_->EditDateTimeFormat->text(), "dd-mm-yy hh:nn:ss");
    EXPECT_EQ(form_->SpinPortionWrite->value(), 1000);
    EXPECT_EQ(form_->SpinPortionRead->value(), 100000);
    EXPECT_EQ(form_->ComboIntType->currentText(), "NUMBER >BIGINT");
    EXPECT_EQ(form_->LabelWriteMethod->text(), "Способ записи:");
    ASSERT_EQ(form_->ComboWriteMethod->count(), 2);
    EXPECT_EQ(form_->ComboWriteMethod->itemText(0), "COPY (быстро)");
    EXPECT_EQ(form_->ComboWriteMethod->itemText(1), "INSERT");
    EXPECT_EQ(form_->ComboWriteMethod->currentIndex(), 0);
    EXPECT_EQ(form_->db_from, kDbUnknown);
    EXPECT_EQ(form_->db_to, kDbUnknown);
}

TEST_F(MigrationFormTest, Step1NeedsBothMarksAndAnEditHidesOne) {
    form_->LabelCheckDbFrom->setVisible(true);
    form_->TimerCheckTimer();
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    form_->LabelCheckDbTo->setVisible(true);
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->BtnNext->isEnabled());
    form_->MemoConnectTo->setPlainText(QStringLiteral("changed"));
    EXPECT_TRUE(form_->LabelCheckDbTo->isHidden());
    EXPECT_FALSE(form_->LabelCheckDbFrom->isHidden());
    form_->TimerCheckTimer();
    EXPECT_FALSE(form_->BtnNext->isEnabled());
}

TEST_F(MigrationFormTest, WalkForwardAndBackThroughTheSteps) {
    PassStep1(kDbPostgres);
    form_->BtnNextClick();
    EXPECT_EQ(form_->step, 2);
    EXPECT_EQ(form_->PanelInfo->text(), "Чтение структуры исходной БД");
    form_->TimerCheckTimer();
    // A source that is not Oracle is not read: nothing to go on with.
    EXPECT_TRUE(form_->is_done);
    EXPECT_TRUE(form_->PanelInfo->text().isEmpty());
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabStructFrom});
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    EXPECT_TRUE(form_->BtnPrev->isEnabled());
    EXPECT_EQ(form_->EditSumTable->text(), "0");
    EXPECT_EQ(form_->EditSumRow->text(), "0");

    // As if an Oracle source had been read.
    form_->db_from = kDbOracle;
    form_->tables = SampleTables();
    form_->RefreshStructFrom();
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->BtnNext->isEnabled());

    form_->BtnNextClick();
    EXPECT_EQ(form_->step, 3);
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabNewDb});
    EXPECT_TRUE(form_->is_done);
    // A PostgreSQL target: the NUMBER conversion, no date format.
    EXPECT_TRUE(form_->EditDateTimeFormat->text().isEmpty());
    EXPECT_FALSE(form_->ComboIntType->isHidden());
    EXPECT_FALSE(form_->LabelIntType->isHidden());
    EXPECT_FALSE(form_->ComboWriteMethod->isHidden());
    EXPECT_FALSE(form_->LabelWriteMethod->isHidden());
    EXPECT_TRUE(form_->EditDateTimeFormat->isHidden());
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    form_->EditPassword->setText(QStringLiteral("secret"));
    form_->TimerCheckTimer();
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    form_->EditUser->setText(QStringLiteral("NEWUSER"));
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->BtnNext->isEnabled());
    // The same page for an Oracle target.
    form_->db_to = kDbOracle;
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->ComboIntType->isHidden());
    EXPECT_TRUE(form_->LabelIntType->isHidden());
    EXPECT_TRUE(form_->ComboWriteMethod->isHidden());
    EXPECT_TRUE(form_->LabelWriteMethod->isHidden());
    EXPECT_FALSE(form_->EditDateTimeFormat->isHidden());
    form_->db_to = kDbPostgres;

    form_->BtnNextClick();
    EXPECT_EQ(form_->step, 4);
    EXPECT_EQ(form_->PanelInfo->text(), "Формирование сценария создания конечной БД");
    EXPECT_TRUE(questions_.asked.isEmpty());  // no checkpoint, no question
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabScript});
    EXPECT_TRUE(form_->PanelInfo->text().isEmpty());
    const QStringList script = form_->ScriptLines();
    ASSERT_FALSE(script.isEmpty());
    // Referenced tables first.
    EXPECT_LT(script.indexOf("CREATE TABLE CUSTOMERS ("), script.indexOf("CREATE TABLE ORDERS ("));
    EXPECT_TRUE(script.contains("ID BIGSERIAL NOT NULL,"));
    EXPECT_TRUE(form_->BtnNext->isEnabled());
    EXPECT_TRUE(form_->BtnPrev->isEnabled());

    // Back to 3 and forward again regenerates the script: edits are lost.
    form_->MemoScript->appendPlainText(QStringLiteral("-- edited"));
    form_->BtnPrevClick();
    EXPECT_EQ(form_->step, 3);
    EXPECT_TRUE(form_->is_done);
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabNewDb});
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    EXPECT_EQ(form_->ScriptLines(), script);

    // Step 5 goes on only after exactly "Ok".
    form_->MemoScript->appendPlainText(QStringLiteral("-- edited"));
    form_->BtnNextClick();
    EXPECT_EQ(form_->step, 5);
    EXPECT_EQ(form_->PanelInfo->text(), "Создание структуры новой БД");
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabStructTo});
    EXPECT_TRUE(form_->is_done);
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    form_->LabelResStruct->setText(QStringLiteral("ok"));
    form_->TimerCheckTimer();
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    form_->LabelResStruct->setText(QStringLiteral("Ok"));
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->BtnNext->isEnabled());

    // Back to 4 keeps the edited script.
    form_->BtnPrevClick();
    form_->TimerCheckTimer();
    EXPECT_EQ(form_->step, 4);
    EXPECT_EQ(form_->ScriptLines().last(), "-- edited");
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    form_->LabelResStruct->setText(QStringLiteral("Ok"));
    form_->TimerCheckTimer();

    // Step 6: the copy page; only Pause. The copy itself runs against the test bed
    // (migration_copy_test); here it is held still so that the ticks show only the driver.
    form_->BtnNextClick();
    form_->is_done = true;
    EXPECT_EQ(form_->step, 6);
    EXPECT_EQ(form_->PanelInfo->text(), "Копирование данных");
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabCopyData});
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    EXPECT_FALSE(form_->BtnPrev->isEnabled());
    EXPECT_TRUE(form_->BtnPause->isEnabled());
    EXPECT_FALSE(form_->BtnContinue->isEnabled());
    // Next and Back do nothing here even when called.
    form_->BtnNextClick();
    form_->BtnPrevClick();
    EXPECT_EQ(form_->step, 6);

    form_->BtnPauseClick();
    EXPECT_EQ(form_->step, 7);
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabCopyData});
    EXPECT_FALSE(form_->BtnPause->isEnabled());
    EXPECT_TRUE(form_->BtnContinue->isEnabled());

    QFile checkpoint(form_->paths.file_temp);
    ASSERT_TRUE(checkpoint.open(QIODevice::WriteOnly));
    checkpoint.write("0\r\n0\r\n");
    checkpoint.close();
    form_->BtnContinueClick();
    EXPECT_EQ(form_->step, 6);
    // The copy goes on writing its checkpoint: it stays until the copy is done.
    EXPECT_TRUE(QFile::exists(form_->paths.file_temp));
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->BtnPause->isEnabled());
}

TEST_F(MigrationFormTest, BackFromStep2ReadsAgainOnTheWayForward) {
    ShowSample();
    form_->BtnPrevClick();
    EXPECT_EQ(form_->step, 1);
    EXPECT_TRUE(form_->is_done);
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabSelDb});
    EXPECT_FALSE(form_->BtnPrev->isEnabled());
    form_->db_from = kDbUnknown;
    form_->BtnNextClick();
    EXPECT_FALSE(form_->is_done);
    form_->TimerCheckTimer();
    // Read again (nothing, the source is not Oracle): the hand-made model is gone.
    EXPECT_TRUE(form_->tables.isEmpty());
    EXPECT_EQ(form_->ListTableFrom->topLevelItemCount(), 0);
}

TEST_F(MigrationFormTest, CloseAsksOnlyWhileCopying) {
    for (int step : {1, 2, 3, 4, 5, 7, 8, 9}) {
        form_->step = step;
        EXPECT_TRUE(form_->FormCloseQuery()) << step;
    }
    EXPECT_TRUE(questions_.asked.isEmpty());

    form_->step = 6;
    questions_.ok_answers = {false, true};
    EXPECT_FALSE(form_->FormCloseQuery());
    ASSERT_EQ(questions_.asked.size(), 1);
    EXPECT_EQ(questions_.asked[0].kind, "ask");
    EXPECT_EQ(questions_.asked[0].caption, "Копирование данных не завершено");
    EXPECT_EQ(questions_.asked[0].text,
              "Скопированные данные будут потеряны. Повторить процесс будет возможно только с "
              "самого начала. Для возобновления копирования с текущего состояния нажмите кнопку "
              "\"Пауза\" после отмены выхода. Подтверждаете выход?");
    EXPECT_TRUE(form_->FormCloseQuery());
    // A refused close keeps the window open.
    form_->step = 6;
    questions_.ok_answers = {false};
    form_->show();
    EXPECT_FALSE(form_->close());
    EXPECT_TRUE(form_->isVisible());
    form_->step = 7;
    EXPECT_TRUE(form_->close());
}

TEST_F(MigrationFormTest, UnfinishedMigrationIsOfferedWhenLeavingStep3) {
    ShowSample();
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    ASSERT_EQ(form_->step, 3);

    QFile checkpoint(form_->paths.file_temp);
    ASSERT_TRUE(checkpoint.open(QIODevice::WriteOnly));
    checkpoint.close();

    // Cancel, then Cancel of the second question: nothing changes.
    const bool step3_done = form_->is_done;
    questions_.ok_answers = {false, false};
    form_->BtnNextClick();
    ASSERT_EQ(questions_.asked.size(), 2);
    EXPECT_EQ(questions_.asked[0].caption, "Обнаружена незавершенная миграция");
    // An empty file is no checkpoint: the offer says so instead of where it stopped.
    EXPECT_TRUE(questions_.asked[0].text.startsWith("Незавершенная миграция в новую БД «" +
                                                    form_->EditUser->text() +
                                                    "»: контрольная точка не читается ("))
        << questions_.asked[0].text.toStdString();
    EXPECT_TRUE(
        questions_.asked[0].text.endsWith("\n\nПродолжить выполнение незавершенной миграции?"));
    EXPECT_EQ(questions_.asked[1].caption, "Удаление контрольной точки");
    EXPECT_TRUE(questions_.asked[1].text.endsWith("Удалить контрольную точку?"));
    EXPECT_EQ(form_->step, 3);
    EXPECT_EQ(form_->is_done, step3_done);
    EXPECT_TRUE(QFile::exists(form_->paths.file_temp));

    // Cancel, then OK: the checkpoint goes, the script is generated.
    questions_.asked.clear();
    questions_.ok_answers = {false, true};
    form_->BtnNextClick();
    ASSERT_EQ(questions_.asked.size(), 2);
    EXPECT_EQ(form_->step, 4);
    EXPECT_FALSE(form_->is_done);
    EXPECT_FALSE(QFile::exists(form_->paths.file_temp));

    // OK: straight to step 5, already done, tables in dependency order.
    form_->BtnPrevClick();
    ASSERT_TRUE(checkpoint.open(QIODevice::WriteOnly));
    checkpoint.close();
    questions_.ok_answers = {true};
    form_->BtnNextClick();
    EXPECT_EQ(form_->step, 5);
    EXPECT_TRUE(form_->is_done);
    EXPECT_EQ(form_->tables[0].name, "CUSTOMERS");
    EXPECT_EQ(form_->ListTableFrom->topLevelItem(0)->text(0), "ORDERS");
    // No target to reconnect to: the restore fails with the general report, the checkpoint
    // stays, and without "Ok" the wizard cannot go on to the copy.
    ASSERT_EQ(questions_.asked.size(), 4);
    EXPECT_EQ(questions_.asked[3].kind, "error");
    EXPECT_EQ(questions_.asked[3].caption, kApplicationTitle);
    EXPECT_TRUE(QFile::exists(form_->paths.file_temp));
    form_->TimerCheckTimer();
    EXPECT_NE(form_->LabelResStruct->text(), "Ok");
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    EXPECT_TRUE(form_->BtnPrev->isEnabled());
}

TEST_F(MigrationFormTest, FailedStepIsReportedOnceWhileItsBoxIsOpen) {
    // An Oracle source over a connection that was never opened: the read fails.
    PassStep1(kDbPostgres);
    form_->db_from = kDbOracle;
    form_->BtnNextClick();
    int ticks_under_box = 0;
    questions_.while_error_open = [&] {
        ++ticks_under_box;
        form_->TimerCheckTimer();
        form_->TimerCheckTimer();
    };
    form_->TimerCheckTimer();
    EXPECT_EQ(ticks_under_box, 1);
    ASSERT_EQ(questions_.Count("error"), 1);
    EXPECT_EQ(questions_.asked[0].caption, kApplicationTitle);
    EXPECT_TRUE(questions_.asked[0].text.endsWith(u'.'));
    EXPECT_FALSE(form_->is_done);
    EXPECT_TRUE(form_->BtnPrev->isEnabled());
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    // Once the box is closed the next tick tries again.
    questions_.while_error_open = nullptr;
    form_->TimerCheckTimer();
    EXPECT_EQ(questions_.Count("error"), 2);
}

TEST_F(MigrationFormTest, FailedCopyShowsTheErrorPageAndStops) {
    form_->step = 6;
    TCopyFailure failure;
    failure.table = QStringLiteral("ORDERS");
    failure.committed_rows = 1500;
    failure.unit_rows = 40;
    failure.key_columns = QStringList{QStringLiteral("ORDER_ID")};
    failure.last_key = QStringList{QStringLiteral("1500")};
    failure.read_sql = QStringLiteral("SELECT *\nFROM ORDERS");
    failure.write_sql = QStringLiteral("INSERT INTO ORDERS VALUES (1)");
    failure.message = QStringLiteral("duplicate key");
    form_->CopyFailed(failure);
    EXPECT_EQ(form_->step, 8);
    EXPECT_FALSE(form_->is_done);
    EXPECT_EQ(form_->PanelInfo->text(), "Ошибка копирования данных");
    EXPECT_EQ(form_->EditErrorTable->text(), "ORDERS");
    EXPECT_EQ(form_->EditErrorRow->text(),
              "строки 1\u00A0501–1\u00A0540 (в новой БД строк этой таблицы: 1\u00A0500, "
              "последняя — с ключом ORDER_ID = 1500)");
    EXPECT_EQ(form_->MemoErrorRead->toPlainText(), "SELECT *\nFROM ORDERS");
    EXPECT_EQ(form_->MemoErrorWrite->toPlainText(), "INSERT INTO ORDERS VALUES (1)");
    EXPECT_EQ(form_->MemoError->toPlainText(), "duplicate key");
    // Each part under its own caption.
    QStringList captions;
    for (const QLabel* label : form_->TabError->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            captions << label->text();
        }
    }
    EXPECT_EQ(captions,
              QStringList({"Таблица:", "Строка:", "Запрос чтения", "Запрос записи", "Ошибка"}));
    EXPECT_EQ(form_->BtnRetry->text(), "Повторить");
    EXPECT_EQ(form_->BtnClose->text(), "Закрыть");
    form_->TimerCheckTimer();
    EXPECT_EQ(VisiblePages(), QList<QWidget*>{form_->TabError});
    for (QPushButton* button :
         {form_->BtnNext, form_->BtnPrev, form_->BtnPause, form_->BtnContinue}) {
        EXPECT_FALSE(button->isEnabled());
    }
    EXPECT_TRUE(form_->FormCloseQuery());
    EXPECT_TRUE(questions_.asked.isEmpty());

    // A failure in the after-copy section, and one that read nothing, a table's first row.
    form_->step = 6;
    failure = TCopyFailure();
    failure.committed_rows = 2;
    failure.write_sql = QStringLiteral("ALTER TABLE A ADD FOREIGN KEY (B) REFERENCES B");
    failure.message = QStringLiteral("violates");
    form_->CopyFailed(failure);
    EXPECT_EQ(form_->EditErrorTable->text(), "все таблицы скопированы");
    EXPECT_EQ(form_->EditErrorRow->text(), "команда 3 сценария после копирования данных");
    EXPECT_TRUE(form_->MemoErrorRead->toPlainText().isEmpty());
    EXPECT_EQ(form_->MemoErrorRead->placeholderText(), "(не выполнялся)");
    form_->step = 6;
    failure = TCopyFailure();
    failure.table = QStringLiteral("ITEMS");
    failure.read_sql = QStringLiteral("SELECT * FROM ITEMS");
    failure.message = QStringLiteral("no such table");
    form_->CopyFailed(failure);
    EXPECT_EQ(form_->EditErrorRow->text(), "строка 1 (строк этой таблицы в новой БД ещё нет)");
    EXPECT_TRUE(form_->MemoErrorWrite->toPlainText().isEmpty());

    // "Закрыть" closes the window without a question: the checkpoint waits for the next run.
    form_->show();
    form_->BtnClose->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_TRUE(questions_.asked.isEmpty());
}

TEST(ErrorReportText, FullStopAfterCharactersAboveIt) {
    EXPECT_EQ(ErrorReportText("no table"), "no table.");
    EXPECT_EQ(ErrorReportText("done."), "done.");
    EXPECT_EQ(ErrorReportText("code (42)"), "code (42)");
    EXPECT_EQ(ErrorReportText("value 7"), "value 7.");
    EXPECT_EQ(ErrorReportText("нет связи"), "нет связи.");
    EXPECT_EQ(ErrorReportText(""), "");
}

TEST_F(MigrationFormTest, SettingsFirstStartAndRoundTrip) {
    // First start: defaults, and destruction fills all seven values.
    form_->MemoConnectFrom->setPlainText(QStringLiteral("Provider=X;\nUser ID=a"));
    form_->EditUser->setText(QStringLiteral("NEWUSER"));
    form_->ComboIntType->setCurrentIndex(1);
    form_->SpinPortionRead->setValue(0);
    form_->ComboWriteMethod->setCurrentIndex(1);
    form_.reset();
    {
        QSettings settings = Settings();
        EXPECT_EQ(settings.value("ConnectFrom").toString(), "Provider=X;\r\nUser ID=a");
        EXPECT_EQ(settings.value("ConnectTo").toString(), "");
        EXPECT_EQ(settings.value("User").toString(), "NEWUSER");
        EXPECT_TRUE(settings.contains("Password"));
        EXPECT_EQ(settings.value("Password").toString(), "");
        EXPECT_EQ(settings.value("IntType").toInt(), 1);
        EXPECT_EQ(settings.value("PortionWrite").toInt(), 1000);
        EXPECT_EQ(settings.value("PortionRead").toInt(), 0);
        EXPECT_EQ(settings.value("WriteMethod").toInt(), 1);
#ifndef Q_OS_WIN
        const QFile::Permissions perms = QFile::permissions(settings.fileName());
        EXPECT_TRUE(perms & QFile::ReadOwner);
        EXPECT_TRUE(perms & QFile::WriteOwner);
        EXPECT_FALSE(perms &
                     (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
#endif
    }
    NewForm();
    EXPECT_EQ(form_->MemoConnectFrom->toPlainText(), "Provider=X;\nUser ID=a");
    EXPECT_TRUE(form_->LabelCheckDbFrom->isHidden());
    EXPECT_EQ(form_->EditUser->text(), "NEWUSER");
    EXPECT_EQ(form_->ComboIntType->currentIndex(), 1);
    EXPECT_EQ(form_->SpinPortionRead->value(), 0);
    EXPECT_EQ(form_->ComboWriteMethod->currentIndex(), 1);

    // Out-of-range portions are clamped, a value of the wrong kind is ignored.
    form_.reset();
    {
        QSettings settings = Settings();
        settings.setValue("PortionWrite", 0);
        settings.setValue("PortionRead", 20000000);
        settings.setValue("IntType", "first");
        settings.setValue("WriteMethod", 2);
        settings.setValue("User", QStringList{"A", "B"});
    }
    NewForm();
    EXPECT_EQ(form_->SpinPortionWrite->value(), 1);
    EXPECT_EQ(form_->SpinPortionRead->value(), 10000000);
    EXPECT_EQ(form_->ComboIntType->currentIndex(), 0);
    EXPECT_EQ(form_->ComboWriteMethod->currentIndex(), 0);
    EXPECT_TRUE(form_->EditUser->text().isEmpty());
}

TEST_F(MigrationFormTest, WorkingPathsAndTheAboutButton) {
    const QDir start(dir_.path());
    EXPECT_EQ(QFileInfo(form_->paths.file_addi), QFileInfo(start.filePath("addi.dat")));
    EXPECT_EQ(QFileInfo(form_->paths.file_help), QFileInfo(start.filePath("Skerrow.chm")));
    EXPECT_TRUE(form_->paths.file_temp.endsWith("/Skerrow.tmp"));
    EXPECT_TRUE(form_->paths.file_param.endsWith("/param.tmp"));
    EXPECT_TRUE(form_->paths.file_log.endsWith("/Skerrow.log"));
    EXPECT_TRUE(QFileInfo(form_->paths.file_temp).dir().exists());
    EXPECT_TRUE(QFileInfo(form_->paths.file_log).dir().exists());
    EXPECT_FALSE(form_->BtnInfo->isHidden());

    QFile addi(start.filePath("addi.dat"));
    ASSERT_TRUE(addi.open(QIODevice::WriteOnly));
    addi.close();
    NewForm();
    EXPECT_TRUE(form_->BtnInfo->isHidden());
}

TEST_F(MigrationFormTest, StructureBrowserShowsTheModel) {
    ShowSample();
    EXPECT_EQ(Column(form_->ListTableFrom, 0), QStringList({"ORDERS", "CUSTOMERS", "NOTES"}));
    EXPECT_EQ(Column(form_->ListTableFrom, 1), QStringList({"5", "3", "0"}));
    EXPECT_EQ(Column(form_->ListTableFrom, 2), QStringList({"(ID)", "(ID)", ""}));
    EXPECT_EQ(form_->EditSumTable->text(), "3");
    EXPECT_EQ(form_->EditSumRow->text(), "8");
    EXPECT_EQ(Column(form_->ListKeys, 0),
              QStringList({"FK_ORDERS_CUST", "PK_CUSTOMERS", "PK_ORDERS", "UK_CUSTOMERS_NAME"}));
    EXPECT_EQ(Column(form_->ListKeys, 1), QStringList({"FK", "PK", "PK", "UK"}));
    EXPECT_EQ(Column(form_->ListKeys, 2),
              QStringList({"ORDERS", "CUSTOMERS", "ORDERS", "CUSTOMERS"}));

    form_->ListTableFrom->topLevelItem(0)->setSelected(true);
    EXPECT_EQ(Column(form_->ListField, 0), QStringList({"ID", "CUSTOMER_ID"}));
    EXPECT_EQ(Column(form_->ListField, 3), QStringList({"", "NULL"}));
    EXPECT_EQ(Column(form_->ListField, 5), QStringList({"Да", ""}));
    EXPECT_EQ(Column(form_->ListFk, 2), QStringList({"CUSTOMERS(ID)"}));
    EXPECT_EQ(form_->ListUk->topLevelItemCount(), 0);

    // Deselecting keeps the details of the deselected table; another row replaces them.
    form_->ListTableFrom->clearSelection();
    EXPECT_EQ(form_->ListField->topLevelItemCount(), 2);
    form_->ListTableFrom->topLevelItem(1)->setSelected(true);
    EXPECT_EQ(Column(form_->ListUk, 0), QStringList({"UK_CUSTOMERS_NAME"}));
    EXPECT_EQ(form_->ListFk->topLevelItemCount(), 0);

    // The types memo lists each type once.
    form_->MemoTypes->clear();
    for (const char* type : {"NUMBER", "VARCHAR2", "NUMBER", "NVARCHAR2"}) {
        form_->AddType(QLatin1String(type));
    }
    EXPECT_EQ(form_->MemoTypes->toPlainText(), "NUMBER\nVARCHAR2\nNVARCHAR2");
}

TEST_F(MigrationFormTest, DeleteAndRename) {
    ShowSample();
    form_->PopupTableFromPopup();
    EXPECT_FALSE(form_->NDelTable->isEnabled());
    form_->PopupFieldPopup();
    EXPECT_FALSE(form_->NRenameField->isEnabled());

    form_->ListTableFrom->topLevelItem(1)->setSelected(true);
    form_->PopupTableFromPopup();
    EXPECT_TRUE(form_->NDelTable->isEnabled());
    EXPECT_EQ(form_->NDelTable->text(), "Удалить таблицу");
    form_->NDelTable->trigger();
    EXPECT_EQ(Column(form_->ListTableFrom, 0), QStringList({"ORDERS", "NOTES"}));
    ASSERT_EQ(form_->tables.size(), 2);
    EXPECT_EQ(form_->tables[0].name, "ORDERS");
    EXPECT_EQ(form_->tables[1].name, "NOTES");
    // Totals and keys are not recomputed.
    EXPECT_EQ(form_->EditSumTable->text(), "3");
    EXPECT_EQ(form_->ListKeys->topLevelItemCount(), 4);

    form_->ListTableFrom->clearSelection();
    form_->ListTableFrom->topLevelItem(0)->setSelected(true);
    form_->ListField->topLevelItem(1)->setSelected(true);
    form_->PopupFieldPopup();
    EXPECT_TRUE(form_->NRenameField->isEnabled());
    questions_.inputs = {QStringLiteral("CLIENT_ID"), std::nullopt, QString()};
    form_->NRenameField->trigger();
    ASSERT_EQ(questions_.asked.size(), 1);
    EXPECT_EQ(questions_.asked[0].caption, "Переименовать поле");
    EXPECT_EQ(questions_.asked[0].text, "Новое название:|");
    EXPECT_EQ(form_->tables[0].fields[1].change_name, "CLIENT_ID");
    EXPECT_EQ(form_->ListField->topLevelItem(1)->text(6), "CLIENT_ID");
    // Cancel keeps the name; the box was pre-filled with it.
    form_->NRenameFieldClick();
    EXPECT_EQ(questions_.asked[1].text, "Новое название:|CLIENT_ID");
    EXPECT_EQ(form_->tables[0].fields[1].change_name, "CLIENT_ID");
    EXPECT_EQ(form_->ListField->topLevelItem(1)->text(6), "CLIENT_ID");
    // An empty name gives the column its source name back.
    form_->NRenameFieldClick();
    EXPECT_TRUE(form_->tables[0].fields[1].change_name.isEmpty());
    EXPECT_TRUE(form_->ListField->topLevelItem(1)->text(6).isEmpty());
}

TEST_F(MigrationFormTest, QueryAdditionAndDataFileOnTheNewDatabaseList) {
    form_->tables = SampleTables();
    for (const TTableRec& table : form_->tables) {
        new QTreeWidgetItem(form_->ListTableTo, {table.name, QString::number(table.rows)});
    }
    form_->PopupTableToPopup();
    EXPECT_FALSE(form_->NQueryAddi->isEnabled());
    EXPECT_FALSE(form_->NFileCopy->isEnabled());
    form_->ListTableTo->topLevelItem(1)->setSelected(true);
    form_->PopupTableToPopup();
    EXPECT_TRUE(form_->NQueryAddi->isEnabled());
    EXPECT_TRUE(form_->NFileCopy->isEnabled());
    // Selecting a row there shows that table's details too.
    EXPECT_EQ(Column(form_->ListField, 1), QStringList({"NUMBER", "VARCHAR2"}));

    questions_.inputs = {QStringLiteral("WHERE ID > 10"), std::nullopt};
    form_->NQueryAddiClick();
    EXPECT_EQ(questions_.asked[0].caption, "Довесок к запросу при выборке");
    EXPECT_EQ(questions_.asked[0].text, "Добавочный текст:|");
    EXPECT_EQ(form_->tables[1].query_addi, "WHERE ID > 10");
    EXPECT_EQ(form_->ListTableTo->topLevelItem(1)->text(2), "WHERE ID > 10");
    form_->NQueryAddiClick();
    EXPECT_EQ(form_->tables[1].query_addi, "WHERE ID > 10");

    const QString data = QDir(dir_.path()).filePath("customers.dat");
    QFile file(data);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    questions_.files = {data, QDir(dir_.path()).filePath("missing.dat"), QString()};
    form_->NFileCopyClick();
    EXPECT_EQ(questions_.last_filters, QStringList({"Сценарий sql (*.sql)", "Все файлы (*.*)"}));
    EXPECT_EQ(questions_.last_selected_filter, 1);
    EXPECT_EQ(QFileInfo(form_->tables[1].file_copy), QFileInfo(data));
    EXPECT_EQ(form_->ListTableTo->topLevelItem(1)->text(3), form_->tables[1].file_copy);
    // A file that does not exist clears the choice; Cancel changes nothing.
    form_->NFileCopyClick();
    EXPECT_TRUE(form_->tables[1].file_copy.isEmpty());
    EXPECT_TRUE(form_->ListTableTo->topLevelItem(1)->text(3).isEmpty());
    form_->tables[1].file_copy = QStringLiteral("kept");
    form_->NFileCopyClick();
    EXPECT_EQ(form_->tables[1].file_copy, "kept");
}

TEST_F(MigrationFormTest, AddScriptAppendsAFileInTheCodePage) {
    form_->MemoScript->setPlainText(QStringLiteral("CREATE TABLE A (\nID INTEGER\n);"));
    const QString path = QDir(dir_.path()).filePath("extra.sql");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        TCodePage().FromUnicode(QStringLiteral("-- справочник\r\nINSERT INTO A VALUES (1);\r\n")));
    file.close();

    questions_.files = {QString(), path};
    form_->BtnAddScriptClick();
    EXPECT_EQ(form_->ScriptLines().size(), 3);
    EXPECT_EQ(questions_.last_selected_filter, 0);
    form_->BtnAddScriptClick();
    EXPECT_EQ(form_->ScriptLines(), QStringList({"CREATE TABLE A (", "ID INTEGER", ");",
                                                 "-- справочник", "INSERT INTO A VALUES (1);"}));

    // A file that cannot be read is reported, the script stays.
    questions_.files = {QDir(dir_.path()).filePath("none.sql")};
    form_->BtnAddScriptClick();
    EXPECT_EQ(questions_.Count("error"), 1);
    EXPECT_EQ(form_->ScriptLines().size(), 5);
}

}  // namespace

// The date format that step 3 reads from the target does not decide how dates are written to
// it (they go with explicit formats); a format the operator types over it does.
TEST_F(MigrationFormTest, OnlyATypedDateFormatIsTheOperators) {
    const TRenderOptions& render = form_->copy_engine.Settings().render;
    form_->EditDateTimeFormat->setText(QStringLiteral("DD-MON-RR"));
    form_->FillCopySettings();
    EXPECT_FALSE(render.operator_date_format);

    form_->EditDateTimeFormat->setFocus();
    form_->EditDateTimeFormat->end(false);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QCoreApplication::sendEvent(form_->EditDateTimeFormat, &press);
    form_->FillCopySettings();
    EXPECT_TRUE(render.operator_date_format);
    EXPECT_EQ(render.date_time_format, QStringLiteral("DD-MON-R"));

    // Entering step 3 again puts the target's format back, and it is no longer the operator's.
    form_->EditDateTimeFormat->setText(QStringLiteral("DD-MON-RR"));
    form_->FillCopySettings();
    EXPECT_FALSE(render.operator_date_format);
}
