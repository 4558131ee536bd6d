// The export window against the test bed, driven through its handlers: a whole export to its
// completion message, the close question while it runs, and a failing source.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include "../integration/ora_emulation.h"
#include "db/odbc.h"
#include "export/postgre_data_file_form.h"
#include "scripted_questions.h"

namespace {

class PostgreDataFileFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        connection_.SetConnectionString(
            QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;"
                           "Extended Properties=\"DSN=PostgreSQL_Test;LFConversion=0\""));
        connection_.Open();
        ASSERT_TRUE(dir_.isValid());
        Exec("DROP TABLE IF EXISTS h8g_src");
        Exec("CREATE TABLE h8g_src (id integer PRIMARY KEY, name text)");
        Exec("INSERT INTO h8g_src SELECT g, 'n' || g FROM generate_series(1, 25) g");
        table_.name = QStringLiteral("H8G_SRC");
        table_.primary_key.column_names = QStringLiteral("(ID)");
        // Read by its key, in portions, as the model describes it.
        TFieldRec id;
        id.name = QStringLiteral("ID");
        id.data_type = QStringLiteral("NUMBER");
        TFieldRec name;
        name.name = QStringLiteral("NAME");
        name.data_type = QStringLiteral("VARCHAR2");
        name.is_null = true;
        table_.fields = {id, name};
    }

    void TearDown() override {
        if (connection_.Connected()) {
            Exec("DROP TABLE IF EXISTS h8g_src");
        }
    }

    void Exec(const QString& sql) {
        TDbQuery query(connection_);
        query.SetText(sql);
        query.ExecSQL();
    }

    QPointer<TFormPostgreDataFile> Open() {
        auto* form =
            new TFormPostgreDataFile(nullptr, questions_, connection_, table_, kDbPostgres);
        form->show();
        return form;
    }

    static void DeleteClosed() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TDbConnection connection_;
    QTemporaryDir dir_;
    TScriptedQuestions questions_;
    TTableRec table_;
};

TEST_F(PostgreDataFileFormTest, ExportsToTheEndAndCloses) {
    QPointer<TFormPostgreDataFile> form = Open();
    EXPECT_EQ(form->objectName(), QStringLiteral("FormPostgreDataFile_H8G_SRC"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Данные в файл"));
    EXPECT_EQ(form->EditTable->text(), QStringLiteral("H8G_SRC"));
    EXPECT_FALSE(form->GaugeCopy->isVisible());
    EXPECT_EQ(form->TimerCopy->interval(), 10);

    // Cancelling the file choice leaves the window ready.
    form->ButtonCopyClick();
    EXPECT_TRUE(form->ButtonCopy->isEnabled());
    EXPECT_FALSE(form->TimerCopy->isActive());

    const QString path = dir_.filePath(QStringLiteral("h8g.txt"));
    questions_.files = {path};
    form->SpinPortionWrite->setValue(4);
    form->SpinPortionRead->setValue(10);
    form->ComboDecimal->setCurrentIndex(1);
    EXPECT_EQ(form->GetDeciSep(), QLatin1Char(','));
    form->ButtonCopyClick();
    EXPECT_TRUE(form->TimerCopy->isActive());
    EXPECT_FALSE(form->ButtonCopy->isEnabled());
    EXPECT_TRUE(form->GaugeCopy->isVisible());
    EXPECT_EQ(form->GaugeCopy->maximum(), 25);

    // Closing while it runs asks first; Cancel keeps it going.
    questions_.ok_answers = {false};
    EXPECT_FALSE(form->close());
    ASSERT_EQ(questions_.Count("ask"), 1);
    EXPECT_EQ(questions_.asked.last().caption, QStringLiteral("H8G_SRC"));
    EXPECT_EQ(questions_.asked.last().text, QStringLiteral("Копирование не завершено. Прервать?"));
    EXPECT_TRUE(form->TimerCopy->isActive());

    for (int tick = 0; tick < 100 && form != nullptr && form->TimerCopy->isActive(); ++tick) {
        form->TimerCopyTimer();
        if (form->TimerCopy->isActive()) {
            EXPECT_EQ(form->GaugeCopy->value(), form->Export().CopyOff());
        }
    }
    DeleteClosed();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(questions_.Count("error"), 0);
    ASSERT_EQ(questions_.Count("message"), 1);
    EXPECT_EQ(questions_.asked.last().caption, QStringLiteral("H8G_SRC"));
    EXPECT_EQ(questions_.asked.last().text, QStringLiteral("Копирование завершено."));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("\r\n"), 25);
    EXPECT_TRUE(bytes.startsWith("1\tn1\r\n2\tn2\r\n"));
    EXPECT_TRUE(file.permissions() & QFileDevice::ReadOther);
}

TEST_F(PostgreDataFileFormTest, FailureStopsTheExport) {
    QPointer<TFormPostgreDataFile> form = Open();
    form->SpinPortionRead->setEnabled(false);
    form->FormShow();
    EXPECT_EQ(form->SpinPortionRead->value(), 0);
    form->SpinPortionRead->setValue(5);
    form->SpinPortionWrite->setValue(5);
    questions_.files = {dir_.filePath(QStringLiteral("failing.txt"))};
    form->ButtonCopyClick();
    form->TimerCopyTimer();
    EXPECT_EQ(form->Export().CopyOff(), 5);
    Exec("DROP TABLE h8g_src");
    // The next portion's query fails (the unit after the one that finds the portion used up).
    for (int tick = 0; tick < 3 && questions_.Count("error") == 0; ++tick) {
        form->TimerCopyTimer();
    }
    EXPECT_EQ(questions_.Count("error"), 1);
    EXPECT_FALSE(form->TimerCopy->isActive());
    EXPECT_TRUE(form->Failed());
    // Further ticks (a queued timer event) do nothing once the export has failed; closing needs
    // no question.
    form->TimerCopyTimer();
    EXPECT_EQ(questions_.Count("error"), 1);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions_.Count("ask"), 0);
    DeleteClosed();
    EXPECT_TRUE(form.isNull());
}

}  // namespace
