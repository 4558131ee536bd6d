// The operator's way on after a failed copy and past an unfinished one, on the real window
// against the test bed: the labelled error page and "Повторить" in the same run, the offer to
// resume that says what it resumes and asks again before the checkpoint goes, and the close
// question that the copy's end closes before its message.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>

#include "app/questions_form.h"
#include "migration_copy_testbed.h"

namespace {

const QString kRefusingCheck =
    "ALTER TABLE orders ADD CONSTRAINT chk_e2e_total CHECK (total IS NULL OR total < 500000)";

}  // namespace

TEST_F(MigrationCopyTest, RetryResumesInTheSameRunAndGivesEveryRowOnce) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 2));
    // The target refuses one row of ORDERS (999999.99), in its second statement.
    target_->Exec(kRefusingCheck);
    ASSERT_EQ(RunCopy(), 8);
    EXPECT_EQ(form_->EditErrorTable->text(), "ORDERS");
    EXPECT_TRUE(form_->MemoErrorRead->toPlainText().startsWith("SELECT ORDER_ID,"));
    // The window writes by COPY unless told otherwise.
    EXPECT_TRUE(form_->MemoErrorWrite->toPlainText().startsWith("COPY ORDERS ("));

    // "Повторить" before the cause is gone: the same statement fails at the same rows, and
    // nothing of it stays in the target.
    form_->BtnRetry->click();
    ASSERT_EQ(RunCopy(), 8);
    EXPECT_EQ(form_->EditErrorTable->text(), "ORDERS");
    EXPECT_EQ(
        Str(form_->EditErrorRow->text()),
        "строки 3–4 (в новой БД строк этой таблицы: 2, последняя — с ключом ORDER_ID = 1001)");
    EXPECT_EQ(target_->Value("SELECT count(*) FROM orders"), "2");
    EXPECT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.value(0).text);

    // The cause removed: the copy goes on from the checkpoint to the end, in this run.
    target_->Exec("ALTER TABLE orders DROP CONSTRAINT chk_e2e_total");
    form_->BtnRetry->click();
    EXPECT_EQ(form_->step, 6);
    EXPECT_EQ(form_->PanelInfo->text(), "Копирование данных");
    EXPECT_TRUE(form_->EditErrorTable->text().isEmpty());
    ASSERT_EQ(RunCopy(), 9) << Str(form_->MemoError->toPlainText());
    EXPECT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.value(0).text);
    EXPECT_EQ(questions_.asked.last().text, "Миграция завершена успешно.");
    EXPECT_FALSE(QFile::exists(form_->paths.file_temp));
    ExpectSameRows(TableNames());
    ExpectNextKeys();
    // The tables finished before the failures keep their checks: the report counts each table
    // once, each checked, with its rows.
    const QList<TReportTable> checked = form_->CheckedTables();
    EXPECT_EQ(checked.size(), form_->tables.size());
    for (const TReportTable& table : checked) {
        EXPECT_TRUE(table.checked && table.check.Ok()) << Str(table.name);
        EXPECT_EQ(table.rows_copied, table.rows_counted) << Str(table.name);
    }
    QFile report(form_->report_path);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly)) << Str(form_->report_path);
    EXPECT_TRUE(QString::fromUtf8(report.readAll())
                    .contains(QStringLiteral("проверено таблиц %1 из %1").arg(checked.size())));
}

TEST_F(MigrationCopyTest, RetryAfterTheSourceSessionWasLostReadsOnInANewSession) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(2, 1));
    form_->BtnNextClick();
    ASSERT_TRUE(TickUntil([&] { return form_->copy_engine.IndTable() >= 1; }));
    TPg(QStringLiteral("postgres"))
        .Exec(
            "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = "
            "'skerrow_src'");
    ASSERT_EQ(RunCopy(), 8);
    EXPECT_FALSE(form_->EditErrorTable->text().isEmpty());
    EXPECT_FALSE(form_->MemoError->toPlainText().isEmpty());
    // The lost session failed the read; no statement of an earlier table stands as the write.
    EXPECT_FALSE(form_->MemoErrorRead->toPlainText().isEmpty());
    const QString write = form_->MemoErrorWrite->toPlainText();
    EXPECT_TRUE(write.isEmpty() || write.contains(form_->EditErrorTable->text())) << Str(write);

    form_->BtnRetry->click();
    EXPECT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.value(0).text);
    ASSERT_EQ(RunCopy(), 9) << Str(form_->MemoError->toPlainText());
    ExpectSameRows(TableNames());
}

TEST_F(MigrationCopyTest, TheOfferSaysWhatItResumesAndDecliningAsksAgain) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 2));
    target_->Exec(kRefusingCheck);
    ASSERT_EQ(RunCopy(), 8);
    const qsizetype orders = TableNames().indexOf("ORDERS");
    const qsizetype count = TableNames().size();
    const QDateTime written = QFileInfo(form_->paths.file_temp).lastModified();
    form_.reset();
    target_->Exec("ALTER TABLE orders DROP CONSTRAINT chk_e2e_total");

    // A new run: the offer, declined, and the deletion not confirmed: nothing is lost.
    questions_.asked.clear();
    NewForm();
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    questions_.ok_answers = {false, false};
    form_->BtnNextClick();
    ASSERT_EQ(questions_.Count("ask"), 2);
    const QString offer = questions_.asked[questions_.asked.size() - 2].text;
    EXPECT_EQ(
        Str(offer),
        Str(QString("Незавершенная миграция в новую БД «skerrow_e2e» остановилась на таблице "
                    "ORDERS (%1-я из %2): в новой БД её строк 2, последняя — с ключом "
                    "ORDER_ID = 1001.\nКонтрольная точка записана %3.\n\nПродолжить выполнение "
                    "незавершенной миграции?")
                .arg(orders + 1)
                .arg(count)
                .arg(QLocale(QLocale::Russian).toString(written, "dd.MM.yyyy HH:mm:ss"))));
    EXPECT_EQ(questions_.asked.last().caption, "Удаление контрольной точки");
    EXPECT_EQ(questions_.asked.last().text,
              "Контрольная точка незавершенной миграции в новую БД «skerrow_e2e» будет удалена: "
              "продолжить копирование станет невозможно, данные будут скопированы заново с "
              "самого начала. Удалить контрольную точку?");
    EXPECT_EQ(form_->step, 3);
    EXPECT_TRUE(QFile::exists(form_->paths.file_temp));
    EXPECT_EQ(target_->Value("SELECT count(*) FROM skerrow_copy_state"), "1");

    // Without the file the state table in the new database still tells where the copy stands,
    // but not when.
    ASSERT_TRUE(QFile::remove(form_->paths.file_temp));
    questions_.ok_answers = {true};
    form_->BtnNextClick();
    ASSERT_EQ(questions_.Count("ask"), 3);
    EXPECT_TRUE(questions_.asked[2].text.contains("на таблице ORDERS")) << Str(offer);
    EXPECT_TRUE(questions_.asked[2].text.contains(
        "Время контрольной точки неизвестно: её файла нет, она найдена в новой БД."));
    EXPECT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.last().text);
    ASSERT_EQ(form_->step, 5);
    ASSERT_EQ(RunCopy(), 9) << Str(form_->MemoError->toPlainText());
    ExpectSameRows(TableNames());
}

TEST_F(MigrationCopyTest, TheCopysEndClosesTheCloseQuestionBeforeItsMessage) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 1));
    form_->BtnNextClick();
    ASSERT_EQ(form_->step, 6);
    form_->show();
    // The operator would answer OK, but the copy ends while the question is open.
    questions_.ok_answers = {true};
    questions_.while_ask_open = [&] { RunCopy(); };
    EXPECT_FALSE(form_->close());
    questions_.while_ask_open = nullptr;
    EXPECT_EQ(form_->step, 9);
    EXPECT_TRUE(form_->isVisible());
    QStringList kinds;
    for (const TScriptedQuestions::TAsked& asked : questions_.asked) {
        kinds << asked.kind;
    }
    EXPECT_EQ(kinds, QStringList({"ask", "closed", "message"}));
    EXPECT_EQ(questions_.asked[0].caption, "Копирование данных не завершено");
    EXPECT_EQ(questions_.asked[2].text, "Миграция завершена успешно.");
    ExpectSameRows(TableNames());
    // Finished, the window closes without a question.
    EXPECT_TRUE(form_->close());
}

TEST(QuestionsForm, AClosedQuestionIsGoneBeforeTheNextBoxAndAnswersCancel) {
    TQuestionsForm questions;
    QString question_text;
    bool hidden_under_message = false;
    QString message_text;
    QTimer::singleShot(0, [&] {
        QPointer<QMessageBox> box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        question_text = box != nullptr ? box->text() : QString();
        questions.CloseQuestions();
        QTimer::singleShot(0, [&, box] {
            auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            hidden_under_message = box == nullptr || !box->isVisible();
            if (message != nullptr) {
                message_text = message->text();
                message->accept();
            }
        });
        questions.ShowMessage(QStringLiteral("Миграция"), QStringLiteral("Готово."));
    });
    EXPECT_FALSE(questions.AskOkCancel(QStringLiteral("Выход"), QStringLiteral("Выйти?")));
    EXPECT_EQ(question_text, "Выйти?");
    EXPECT_EQ(message_text, "Готово.");
    EXPECT_TRUE(hidden_under_message);
    // Nothing is open any more: closing again touches nothing.
    questions.CloseQuestions();
}
