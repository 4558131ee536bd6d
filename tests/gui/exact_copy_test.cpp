// Every source row arrives exactly once whatever stops the copy: for a table with a primary
// key, one with a composite key, one with a unique key only and one without any key, the real
// window copies the emulated source into a new PostgreSQL database while the copy is paused
// and continued, paused and resumed in a new run, killed with SIGKILL, cut off by a server that
// stops dead, or loses its source session, and while source rows are deleted and added between
// a pause and the resume. Afterwards the full text of every row is compared: rows lost and rows
// doubled must both be 0. The counts are printed as a matrix.

#include <QProcess>
#include <QTextStream>
#include <csignal>
#include <map>

#include "ddl/script_gen.h"
#include "exact_copy_drive.h"
#include "migration_copy_testbed.h"

namespace {

// (fault, table) -> "lost/doubled", printed when the suite ends.
std::map<std::string, std::map<std::string, std::string>>& Matrix() {
    static std::map<std::string, std::map<std::string, std::string>> matrix;
    return matrix;
}

struct TDiff {
    int lost = 0;
    int doubled = 0;
};

// Rows of expected missing from actual, and rows of actual beyond what expected holds.
TDiff Compare(const QStringList& expected, const QStringList& actual) {
    QHash<QString, int> count;
    for (const QString& row : expected) {
        ++count[row];
    }
    TDiff diff;
    for (const QString& row : actual) {
        if (--count[row] < 0) {
            ++diff.doubled;
        }
    }
    for (const int left : count) {
        diff.lost += std::max(0, left);
    }
    return diff;
}

int RunScript(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("bash"), QStringList{QStringLiteral(SKERROW_TESTBED_SCRIPT)} +
                                              args +
                                              QStringList{qEnvironmentVariable("SKERROW_TESTBED")});
    process.waitForFinished(120000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace

class ExactCopyTest : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        QTextStream out(stdout);
        out << "exact copy, lost/doubled rows per fault and table kind:\n";
        out << "  fault                            ";
        for (const QString& table : kExactTables) {
            out << table.leftJustified(10);
        }
        out << "\n";
        for (const auto& [fault, row] : Matrix()) {
            out << "  " << QString::fromStdString(fault).leftJustified(33);
            for (const QString& table : kExactTables) {
                const auto cell = row.find(table.toStdString());
                out << QString::fromStdString(cell == row.end() ? "-" : cell->second)
                           .leftJustified(10);
            }
            out << "\n";
        }
    }

    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        QString error = OraEmulLoad();
        ASSERT_TRUE(error.isEmpty()) << Str(error);
        error = OraEmulExec(
            "\\i " +
            QDir(QStringLiteral(SKERROW_FIXTURES_DIR)).filePath(QStringLiteral("exact_copy.sql")));
        ASSERT_TRUE(error.isEmpty()) << Str(error);
        TPg(QStringLiteral("postgres"))
            .Exec("DROP DATABASE IF EXISTS " + kExactTarget + " WITH (FORCE)");
        ASSERT_TRUE(dir_.isValid());
        old_dir_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        NewForm();
        QFile::remove(form_->paths.file_temp);
        source_ = std::make_unique<TPg>(QStringLiteral("ora_src"));
    }
    void TearDown() override {
        form_.reset();
        source_.reset();
        if (!old_dir_.isEmpty()) {
            QDir::setCurrent(old_dir_);
        }
    }

    void NewForm() {
        form_.reset();
        questions_.asked.clear();
        form_ = std::make_unique<TFormMigration>(&questions_);
    }
    void Drive(bool resume, const std::function<void()>& edit_script = {}) {
        const QString error = DriveToCopy(*form_, questions_, resume, edit_script);
        ASSERT_TRUE(error.isEmpty()) << Str(error);
    }
    // A new run of the program that accepts the offer to resume.
    void Resume() {
        NewForm();
        ASSERT_NO_FATAL_FAILURE(Drive(true));
    }

    QStringList TableNamesInOrder() const {
        QStringList names;
        for (const TTableRec& table : form_->tables) {
            names << table.name;
        }
        return names;
    }
    qint64 Index(const QString& table) const {
        for (qsizetype i = 0; i < form_->tables.size(); ++i) {
            if (form_->tables[i].name == table) {
                return i;
            }
        }
        return -1;
    }
    // Ticks until about half of the table is in the target.
    void TickToMiddle(const QString& table) {
        const qint64 index = Index(table);
        ASSERT_GE(index, 0);
        for (int i = 0; i < 20000 && form_->step == 6; ++i) {
            if (form_->copy_engine.IndTable() == index &&
                form_->copy_engine.CommittedOff() >= 600) {
                return;
            }
            ASSERT_LE(form_->copy_engine.IndTable(), index)
                << "passed " << Str(table) << ": " << Str(form_->MemoCopy->toPlainText());
            form_->TimerCheckTimer();
        }
        FAIL() << "copy stopped at step " << form_->step << " before the middle of " << Str(table)
               << ": " << Str(form_->MemoError->toPlainText());
    }
    void RunToEnd() {
        for (int i = 0; i < 20000 && form_->step == 6; ++i) {
            form_->TimerCheckTimer();
        }
        ASSERT_EQ(form_->step, 9) << Str(form_->MemoError->toPlainText());
    }

    QStringList SourceRows(const QString& table) { return source_->Rows(Source(table)); }
    static QStringList FileLines(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromLatin1(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    }
    static QString Source(const QString& table) { return "skerrow_exact." + table.toLower(); }

    // Compares every table with what it should hold, records the figures and asserts them.
    void Check(const std::string& fault, const QHash<QString, QStringList>& expected = {}) {
        TPg target(kExactTarget);
        for (const QString& table : kExactTables) {
            const QStringList want = expected.contains(table) ? expected[table] : SourceRows(table);
            const TDiff diff = Compare(want, target.Rows(table.toLower()));
            Matrix()[fault][table.toStdString()] =
                std::to_string(diff.lost) + "/" + std::to_string(diff.doubled);
            EXPECT_EQ(diff.lost, 0) << fault << " " << Str(table);
            EXPECT_EQ(diff.doubled, 0) << fault << " " << Str(table);
        }
        EXPECT_FALSE(QFile::exists(form_->paths.file_temp));
        EXPECT_EQ(
            target.Value("SELECT count(*) FROM pg_class WHERE relname = 'skerrow_copy_state'"),
            "0");
    }

    QTemporaryDir dir_;
    QString old_dir_;
    TScriptedQuestions questions_;
    std::unique_ptr<TFormMigration> form_;
    std::unique_ptr<TPg> source_;
};

TEST_F(ExactCopyTest, PauseThenContinueAndPauseThenResumeInANewRun) {
    ASSERT_NO_FATAL_FAILURE(Drive(false));
    ASSERT_EQ(TableNamesInOrder(), kExactTables);
    for (const QString& table : kExactTables) {
        ASSERT_NO_FATAL_FAILURE(TickToMiddle(table));
        form_->BtnPauseClick();
        ASSERT_EQ(form_->step, 7);
        for (int i = 0; i < 3; ++i) {
            form_->TimerCheckTimer();
        }
        // The checkpoint stays while the copy goes on.
        form_->BtnContinueClick();
        EXPECT_TRUE(QFile::exists(form_->paths.file_temp));
    }
    ASSERT_NO_FATAL_FAILURE(RunToEnd());
    Check("pause, continue");

    // Paused in each table in turn, the window closed, a new run resuming.
    TPg(QStringLiteral("postgres")).Exec("DROP DATABASE " + kExactTarget + " WITH (FORCE)");
    NewForm();
    ASSERT_NO_FATAL_FAILURE(Drive(false));
    QString journal;
    for (const QString& table : kExactTables) {
        ASSERT_NO_FATAL_FAILURE(TickToMiddle(table));
        form_->BtnPauseClick();
        journal += form_->MemoCopy->toPlainText();
        ASSERT_NO_FATAL_FAILURE(Resume());
    }
    ASSERT_NO_FATAL_FAILURE(RunToEnd());
    Check("pause, new run resumes");
    // The table without a key started over, and the journal says why it has no key.
    EXPECT_TRUE(journal.contains("Таблица EX_NOKEY очищена в новой БД (TRUNCATE")) << Str(journal);
    EXPECT_TRUE(
        journal.contains("Таблица EX_NOKEY копируется без ключа (нет первичного ключа; нет "
                         "уникального ключа)"))
        << Str(journal);
}

TEST_F(ExactCopyTest, KilledProcessResumesExactly) {
    // Each run dies in the middle of the next table; the last one finishes.
    for (qsizetype i = 0; i <= kExactTables.size(); ++i) {
        QProcess runner;
        QStringList args{i == 0 ? QStringLiteral("fresh") : QStringLiteral("resume")};
        if (i < kExactTables.size()) {
            args << kExactTables[i] << QStringLiteral("600");
        } else {
            // With the file gone, the state table in the target still finds the copy.
            ASSERT_TRUE(QFile::remove(form_->paths.file_temp));
        }
        runner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        runner.start(QStringLiteral(SKERROW_EXACT_RUNNER), args);
        ASSERT_TRUE(runner.waitForFinished(120000));
        if (i < kExactTables.size()) {
            ASSERT_EQ(runner.exitStatus(), QProcess::CrashExit) << "run " << i;
            EXPECT_TRUE(QFile::exists(form_->paths.file_temp));
        } else {
            ASSERT_EQ(runner.exitStatus(), QProcess::NormalExit);
            ASSERT_EQ(runner.exitCode(), 0);
        }
    }
    Check("SIGKILL, new run resumes");
}

TEST_F(ExactCopyTest, TargetServerStoppedDeadThenRestarted) {
    ASSERT_NO_FATAL_FAILURE(Drive(false));
    for (const QString& table : kExactTables) {
        ASSERT_NO_FATAL_FAILURE(TickToMiddle(table));
        source_.reset();
        ASSERT_EQ(RunScript({QStringLiteral("crash")}), 0);
        for (int i = 0; i < 100 && form_->step == 6; ++i) {
            form_->TimerCheckTimer();
        }
        EXPECT_EQ(form_->step, 8);
        ASSERT_EQ(RunScript({QStringLiteral("revive")}), 0);
        source_ = std::make_unique<TPg>(QStringLiteral("ora_src"));
        ASSERT_NO_FATAL_FAILURE(Resume());
    }
    ASSERT_NO_FATAL_FAILURE(RunToEnd());
    Check("server stopped dead, new run");
}

TEST_F(ExactCopyTest, TerminatedSourceSessionThenResume) {
    ASSERT_NO_FATAL_FAILURE(Drive(false));
    for (const QString& table : kExactTables) {
        ASSERT_NO_FATAL_FAILURE(TickToMiddle(table));
        TPg(QStringLiteral("postgres"))
            .Exec(
                "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = "
                "'skerrow_exact'");
        for (int i = 0; i < 2000 && form_->step == 6; ++i) {
            form_->TimerCheckTimer();
        }
        ASSERT_EQ(form_->step, 8);
        ASSERT_NO_FATAL_FAILURE(Resume());
    }
    ASSERT_NO_FATAL_FAILURE(RunToEnd());
    Check("source session terminated");
}

TEST_F(ExactCopyTest, SourceRowsDeletedAndAddedBetweenPauseAndResume) {
    // What a table read by its key holds afterwards: the rows copied before the pause as they
    // were, and the rows after the last copied key as they are now. A table without a key is
    // copied again as it is now.
    struct TChange {
        QString table;
        QString after_key;  // SQL: the row lies after the key %1, %2 of the pause
        QString del;
        QString add;
    };
    const QList<TChange> changes{
        {"EX_COMP", "(grp COLLATE \"C\", seq) > ('%1', %2)", "DELETE FROM %1 WHERE seq % 20 = 0",
         "INSERT INTO %1 SELECT (ARRAY['A', 'b', 'Ж'])[g % 3 + 1], 2 * g + 1, 'new' "
         "FROM generate_series(1, 1200, 30) g"},
        {"EX_NOKEY", "", "DELETE FROM %1 WHERE n % 10 = 0",
         "INSERT INTO %1 SELECT 1000 + g, 'added' FROM generate_series(1, 50) g"},
        {"EX_PK", "id > %1", "DELETE FROM %1 WHERE id % 21 = 0",
         "INSERT INTO %1 SELECT 3 * g + 1, 'новая ' || g, NULL FROM generate_series(1, 1200, 25) "
         "g"},
        {"EX_UK", "(code COLLATE \"C\", d) > ('%1', '%2')", "DELETE FROM %1 WHERE amount % 25 = 0",
         "INSERT INTO %1 SELECT (ARRAY['B001', 'C017', 'D000'])[g % 3 + 1], timestamp "
         "'2019-06-01' + g * interval '1 day', 1 FROM generate_series(1, 60) g"},
    };
    QHash<QString, QStringList> expected;
    ASSERT_NO_FATAL_FAILURE(Drive(false));
    for (const TChange& change : changes) {
        ASSERT_NO_FATAL_FAILURE(TickToMiddle(change.table));
        form_->BtnPauseClick();
        const QStringList key = form_->copy_engine.CommittedKey();
        form_.reset();
        const QString table = Source(change.table);
        source_->Exec("DROP TABLE IF EXISTS public.exact_before");
        source_->Exec("CREATE TABLE public.exact_before AS SELECT * FROM " + table);
        source_->Exec(change.del.arg(table));
        source_->Exec(change.add.arg(table));
        if (change.after_key.isEmpty()) {
            expected[change.table] = SourceRows(change.table);
        } else {
            ASSERT_FALSE(key.isEmpty()) << Str(change.table);
            QString after = change.after_key;
            for (const QString& value : key) {
                after = after.arg(value);
            }
            expected[change.table] =
                source_->Rows("(SELECT * FROM public.exact_before WHERE NOT " + after +
                              " UNION ALL SELECT * FROM " + table + " WHERE " + after + ")");
        }
        ASSERT_NO_FATAL_FAILURE(Resume());
    }
    ASSERT_NO_FATAL_FAILURE(RunToEnd());
    source_->Exec("DROP TABLE IF EXISTS public.exact_before");
    Check("source rows deleted and added", expected);
}

TEST_F(ExactCopyTest, RefusedCheckpointLeavesTheOperatorAFreshStart) {
    ASSERT_NO_FATAL_FAILURE(Drive(false));
    ASSERT_NO_FATAL_FAILURE(TickToMiddle(QStringLiteral("EX_PK")));
    form_->BtnPauseClick();
    // A checkpoint that claims more rows than the target got, and no state table to correct it.
    const QString file_temp = form_->paths.file_temp;
    QStringList lines = FileLines(file_temp);
    const qint64 claimed = lines[1].toLongLong() + 1000;
    lines[1] = QString::number(claimed);
    form_.reset();
    TPg(kExactTarget).Exec("DROP TABLE skerrow_copy_state");
    {
        QFile file(file_temp);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write((lines.join("\r\n") + "\r\n").toLatin1());
    }
    NewForm();
    EXPECT_FALSE(DriveToCopy(*form_, questions_, true).isEmpty());
    ASSERT_EQ(questions_.Count("error"), 1);
    const QString refusal = questions_.asked.last().text;
    EXPECT_TRUE(
        refusal.contains("Контрольная точка не согласуется с новой БД: в таблице EX_PK "
                         "сейчас строк " +
                         QString::number(claimed - 1000) +
                         ", а по контрольной точке их должно быть " + QString::number(claimed)))
        << Str(refusal);
    EXPECT_TRUE(refusal.contains("откажитесь от продолжения незавершенной миграции"));
    form_->TimerCheckTimer();
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    // Back to the settings, the offer declined: the script is made and the target anew.
    form_->BtnPrevClick();
    form_->BtnPrevClick();
    ASSERT_EQ(form_->step, 3);
    // Declined; then the database the refused copy left is dropped only on OK.
    questions_.ok_answers = {false, true};
    form_->BtnNextClick();
    ASSERT_EQ(form_->step, 4);
    EXPECT_FALSE(QFile::exists(file_temp));
    form_->TimerCheckTimer();
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    ASSERT_EQ(Str(form_->LabelResStruct->text()), "Ok");
    EXPECT_TRUE(questions_.asked.last().text.contains("skerrow_exact_t"));
    form_->BtnNextClick();
    ASSERT_NO_FATAL_FAILURE(RunToEnd());
    Check("checkpoint refused, copy afresh");
}

TEST_F(ExactCopyTest, OperatorsAfterCopySectionRunsAtTheEndAlsoAfterAResume) {
    // The operator adds to the script's last section: it runs only when the data is in, also
    // when the copy ends in another run.
    const QString constraint = "SELECT count(*) FROM pg_constraint WHERE conname = 'ex_uk_late'";
    ASSERT_NO_FATAL_FAILURE(Drive(false, [&] {
        form_->MemoScript->appendPlainText(kAfterCopyMarker +
                                           "\nALTER TABLE ex_uk ADD CONSTRAINT "
                                           "ex_uk_late CHECK (amount > 0);");
    }));
    ASSERT_NO_FATAL_FAILURE(TickToMiddle(QStringLiteral("EX_PK")));
    EXPECT_EQ(TPg(kExactTarget).Value(constraint), "0");
    form_->BtnPauseClick();
    ASSERT_NO_FATAL_FAILURE(Resume());
    ASSERT_NO_FATAL_FAILURE(RunToEnd());
    EXPECT_EQ(TPg(kExactTarget).Value(constraint), "1");
    Check("after-copy section, new run");
}
