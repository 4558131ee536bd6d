#pragma once
// The fixture of the whole-migration window tests: a window driven from step 1 on the emulated
// Oracle source into the new PostgreSQL database skerrow_e2e, and SQL on both sides to compare
// what arrived.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <memory>

#include "../integration/ora_emulation.h"
#include "app/migration_form.h"
#include "db/connect_string_builder.h"
#include "db/odbc.h"
#include "scripted_questions.h"

inline const QString kTargetDb = QStringLiteral("skerrow_e2e");
inline const QString kTargetPassword = QStringLiteral("e2e pass");

inline std::string Str(const QString& text) {
    return text.toStdString();
}

// The administrative target string as the connection-string dialog builds it, pointed at a
// database of the test bed.
inline QString TargetString(const QString& database = QStringLiteral("postgres")) {
    TConnectStringFields f;
    f.provider = kProviderPostgres;
    f.source = QStringLiteral("PostgreSQL_Test");
    f.server = QStringLiteral("127.0.0.1");
    f.port = OraEmulTestbedValue(QStringLiteral("PGPORT"));
    f.user_postgres = QStringLiteral("postgres");
    f.password_postgres = OraEmulTestbedValue(QStringLiteral("PGPASSWORD"));
    QString text = BuildConnectString(f);
    return text.replace(QStringLiteral("DATABASE=postgres"), "DATABASE=" + database);
}

// SQL as the superuser in one database of the test bed, through our own layer.
class TPg {
public:
    explicit TPg(const QString& database) {
        connection_.SetConnectionString(TargetString(database));
        connection_.Open();
    }
    void Exec(const QString& sql) {
        query_.SetText(sql);
        query_.ExecSQL();
    }
    QStringList Column(const QString& sql) {
        query_.SetText(sql);
        query_.Open();
        QStringList values;
        for (; !query_.Eof(); query_.Next()) {
            values << (query_.Field(0).IsNull() ? QStringLiteral("<null>")
                                                : query_.Field(0).AsString());
        }
        query_.Close();
        return values;
    }
    QString Value(const QString& sql) { return Column(sql).value(0); }

    // Every row of a table as its text form, line breaks and backslashes escaped on the
    // server (so that no driver conversion can hide a difference), sorted here.
    // row is the row expression over the alias t.
    QStringList Rows(const QString& table, const QString& row = QStringLiteral("t")) {
        QStringList rows = Column(
            "SELECT replace(replace(replace((" + row +
            ")::text, chr(92), chr(92) || chr(92)), chr(13), chr(92) || 'r'), chr(10), chr(92) "
            "|| 'n') FROM " +
            table + " t");
        rows.sort();
        return rows;
    }

private:
    TDbConnection connection_;
    TDbQuery query_{connection_};
};

class MigrationCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        const QString error = OraEmulLoad();
        ASSERT_TRUE(error.isEmpty()) << Str(error);
        QSettings(QString::fromLatin1(kSettingsOrganisation),
                  QString::fromLatin1(kSettingsApplication))
            .clear();
        ASSERT_TRUE(dir_.isValid());
        // A copy left unfinished by another test would be offered for resuming.
        TPg(QStringLiteral("postgres"))
            .Exec("DROP DATABASE IF EXISTS " + kTargetDb + " WITH (FORCE)");
        // The database server reads data files of this folder under its own account.
        QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFileDevice::ExeOther |
                                               QFileDevice::ReadOther | QFileDevice::ExeGroup |
                                               QFileDevice::ReadGroup);
        old_dir_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        // Each test starts without the target of an earlier one: step 5 would ask before
        // dropping a database with tables.
        TPg(QStringLiteral("postgres"))
            .Exec("DROP DATABASE IF EXISTS " + kTargetDb + " WITH (FORCE)");
        NewForm();
        QFile::remove(form_->paths.file_temp);
        QFile::remove(form_->paths.file_log);
        source_ = std::make_unique<TPg>(QStringLiteral("ora_src"));
    }
    void TearDown() override {
        form_.reset();
        target_.reset();
        source_.reset();
        if (!old_dir_.isEmpty()) {
            QDir::setCurrent(old_dir_);
        }
    }

    // A new window, as a new run of the program makes it.
    void NewForm() {
        form_ = std::make_unique<TFormMigration>(&questions_);
        form_->TimerCheck->stop();
        // The tests step the copy one unit per tick to stop it at chosen rows.
        form_->copy_step_units = 1;
    }

    // Checks both connections (the texts the window restored, or the test bed's) and walks to
    // the settings page, reading the source on the way.
    void GoToStep2() {
        if (form_->MemoConnectFrom->toPlainText().isEmpty()) {
            form_->MemoConnectFrom->setPlainText(OraEmulConnectString(kOraEmulSrc));
            form_->MemoConnectTo->setPlainText(TargetString());
        }
        form_->BtnCheckFrom->click();
        form_->BtnCheckTo->click();
        ASSERT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.value(0).text);
        form_->TimerCheckTimer();
        ASSERT_TRUE(form_->BtnNext->isEnabled());
        form_->BtnNextClick();
        form_->TimerCheckTimer();
        ASSERT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.value(0).text);
        ASSERT_TRUE(form_->is_done);
    }

    void GoToStep3() {
        ASSERT_NO_FATAL_FAILURE(GoToStep2());
        form_->BtnNextClick();
        form_->TimerCheckTimer();
        ASSERT_EQ(form_->step, 3);
    }

    // On to the created target with the given portions; opens the SQL helper on the target.
    void GoToStep5(int portion_read, int portion_write, bool at_step3 = false) {
        if (!at_step3) {
            ASSERT_NO_FATAL_FAILURE(GoToStep3());
        }
        form_->EditUser->setText(kTargetDb);
        form_->EditPassword->setText(kTargetPassword);
        form_->SpinPortionRead->setValue(portion_read);
        form_->SpinPortionWrite->setValue(portion_write);
        form_->TimerCheckTimer();
        form_->BtnNextClick();
        form_->TimerCheckTimer();
        ASSERT_EQ(form_->step, 4);
        ASSERT_TRUE(form_->is_done);
        // The script runs as generated: the keys to another owner's tables stand in it only
        // as comments.
        ASSERT_TRUE(form_->ScriptLines().contains(
            QString::fromUtf8("-- CONSTRAINT FK_ORD_CURRENCY FOREIGN KEY(CURRENCY) REFERENCES "
                              "PK_CURRENCIES (не создается: "
                              "ключ ссылается на ограничение вне переносимой схемы)")))
            << Str(form_->ScriptLines().join('|'));
        form_->BtnNextClick();
        form_->TimerCheckTimer();
        ASSERT_EQ(form_->step, 5);
        ASSERT_EQ(Str(form_->LabelResStruct->text()), "Ok")
            << Str(form_->MemoScript->toPlainText());
        form_->TimerCheckTimer();
        ASSERT_TRUE(form_->BtnNext->isEnabled());
        target_ = std::make_unique<TPg>(kTargetDb);
    }

    // Goes on from step 5 (when there) and ticks while the copy runs; the step it ended at.
    int RunCopy(int limit = 5000) {
        if (form_->step == 5) {
            form_->BtnNextClick();
        }
        for (int i = 0; i < limit && form_->step == 6; ++i) {
            form_->TimerCheckTimer();
        }
        return form_->step;
    }

    // The same on the window's own 100 ms timer, through the event loop.
    int RunCopyOnTimer(int limit_ms = 60000) {
        if (form_->step == 5) {
            form_->BtnNextClick();
        }
        // On its own timer the window works as it ships: the worker runs on by itself.
        form_->copy_step_units = 0;
        QElapsedTimer clock;
        clock.start();
        form_->TimerCheck->start();
        while (form_->step == 6 && clock.elapsed() < limit_ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        form_->TimerCheck->stop();
        return form_->step;
    }

    // Ticks at step 6 until the condition holds after a tick.
    bool TickUntil(const std::function<bool()>& done, int limit = 5000) {
        for (int i = 0; i < limit && form_->step == 6; ++i) {
            form_->TimerCheckTimer();
            if (done()) {
                return true;
            }
        }
        return false;
    }

    QStringList TableNames() const {
        QStringList names;
        for (const TTableRec& table : form_->tables) {
            names << table.name;
        }
        return names;
    }

    // The row of a list with that caption, the only one selected.
    static QTreeWidgetItem* Select(QTreeWidget* list, const QString& caption) {
        list->clearSelection();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->text(0) == caption) {
                list->topLevelItem(i)->setSelected(true);
                return list->topLevelItem(i);
            }
        }
        return nullptr;
    }

    QWidget* VisiblePage() const { return form_->PageControl1->currentWidget(); }

    static QStringList FileLines(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty()) {
            lines.removeLast();
        }
        return lines;
    }
    QStringList CheckpointLines() const { return FileLines(form_->paths.file_temp); }
    QStringList ReadLog() const { return FileLines(form_->paths.file_log); }

    // Every source row arrived once, value for value.
    void ExpectSameRows(const QStringList& tables, const QStringList& skip = {}) {
        for (const QString& name : tables) {
            if (skip.contains(name)) {
                continue;
            }
            const QString table = name.toLower();
            EXPECT_EQ(target_->Rows(table),
                      source_->Rows("skerrow_src." + table, SourceRowAsTarget(table)))
                << Str(name);
        }
    }

    // The emulation keeps Oracle's FLOAT in a double, whose text differs from the NUMERIC the
    // target holds it in ("1e-10" and "0.0000000001"); such columns are compared as numeric,
    // which every double converts to exactly. All other columns are compared as they are.
    QString SourceRowAsTarget(const QString& table) {
        const auto types = [&](TPg& db, const QString& schema) {
            return db.Column(
                "SELECT data_type FROM information_schema.columns WHERE "
                "table_schema = '" +
                schema + "' AND table_name = '" + table + "' ORDER BY ordinal_position");
        };
        const QStringList source_types = types(*source_, QStringLiteral("skerrow_src"));
        const QStringList target_types = types(*target_, QStringLiteral("public"));
        const QStringList names = source_->Column(
            "SELECT quote_ident(column_name) FROM information_schema.columns WHERE "
            "table_schema = 'skerrow_src' AND table_name = '" +
            table + "' ORDER BY ordinal_position");
        if (source_types.size() != target_types.size()) {
            return QStringLiteral("t");
        }
        QStringList row;
        bool cast = false;
        for (qsizetype i = 0; i < names.size(); ++i) {
            const bool widen = source_types[i] == QLatin1String("double precision") &&
                               target_types[i] == QLatin1String("numeric");
            row << "t." + names[i] + (widen ? "::numeric" : "");
            cast = cast || widen;
        }
        return cast ? "ROW(" + row.join(u',') + ")" : QStringLiteral("t");
    }

    // New rows get keys after the copied ones.
    void ExpectNextKeys() {
        EXPECT_EQ(target_->Value("INSERT INTO customers (name) VALUES ('new') RETURNING id"), "5");
        EXPECT_EQ(target_->Value("INSERT INTO orders (customer_id, order_date) VALUES (1, "
                                 "now()) RETURNING order_id"),
                  "1005");
        // PAYMENTS was empty: its sequence starts at 1.
        EXPECT_EQ(
            target_->Value("INSERT INTO payments (id, amount) VALUES (1, 1) RETURNING pay_ref"),
            "1");
    }

    void ExpectTargetStructure();

    QTemporaryDir dir_;
    QString old_dir_;
    TScriptedQuestions questions_;
    std::unique_ptr<TFormMigration> form_;
    std::unique_ptr<TPg> source_;
    std::unique_ptr<TPg> target_;
};
