// The copy engine between two databases of the test bed: a PostgreSQL source read through our
// layer (the table model carries the Oracle type names the rendering goes by) and a target made
// by target creation.

#include "transfer/copy_engine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>

#include "copy_rig.h"
#include "copy_testbed.h"
#include "db/odbc.h"
#include "ddl/target_create.h"
#include "ora_emulation.h"
#include "transfer/checkpoint.h"
#include "util/error.h"

namespace {

TEST_F(CopyEngineTest, ReadingModesCopyEveryRowOnceInTheExpectedUnits) {
    struct TMode {
        qint64 portion_read;
        QString addi;
        int calls;
        QStringList journal;  // the lines of the journal, elapsed times left out
    };
    const QString no_key =
        "Таблица BIG копируется без ключа (порядок строк задан довеском к запросу (ORDER BY)): "
        "за один проход; если копирование прервётся, она будет очищена и скопирована заново";
    const QList<TMode> modes{
        // 25 statements, and each of the two full portions ends with a call that only closes
        // it; the short third one ends the table.
        {1000,
         "",
         29,
         {"BIG", "2500 [0]", "BIG", "2500 [1000]", "BIG", "2500 [2000]", "EMPTY_T", "0 [0]"}},
        // Without paging a keyed table is still read in key order, so that it can resume.
        {0, "", 27, {"BIG", "2500 [0]", "EMPTY_T", "0 [0]"}},
        // An ordering addition reads the whole table through one query.
        {0, "order by id desc", 27, {"BIG", "2500 [0]", no_key, "EMPTY_T", "0 [0]"}},
    };
    for (const TMode& mode : modes) {
        SCOPED_TRACE(mode.portion_read);
        TTableRec big = Big();
        big.query_addi = mode.addi;
        auto rig = NewRig({big, Empty()}, mode.portion_read, 100);
        CreateTargetFor(*rig,
                        "CREATE TABLE big (id integer, name varchar(40), d timestamp);"
                        "CREATE TABLE empty_t (id integer);");
        ASSERT_EQ(table_to_rows.size(), 2);
        EXPECT_EQ(table_to_rows[0], (TTableToRow{"BIG", "2500", mode.addi, ""}));

        EXPECT_EQ(RunToEnd(*rig), mode.calls);
        EXPECT_EQ(Digest(kTarget, "big", kBigRow), Digest(kSource, "big", kBigRow));
        const TCopyProgress& progress = rig->engine.Progress();
        EXPECT_EQ(progress.gauge_table_position, 2);
        EXPECT_EQ(progress.gauge_table_max, 2);
        QStringList journal = rig->engine.Journal();
        EXPECT_EQ(journal[0], "");
        // Each table ends with its rows, its time and its rate.
        const QRegularExpression done(
            "^Таблица (BIG|EMPTY_T) скопирована: строк (2500|0) за \\d+,\\d с, \\d+ строк/с$");
        EXPECT_EQ(journal.filter(done).size(), 2) << journal.join('|').toStdString();
        journal.removeIf([&](const QString& line) {
            return line.isEmpty() || line.contains(QRegularExpression("^\\d+:\\d\\d:\\d\\d$")) ||
                   line.contains(done);
        });
        EXPECT_EQ(journal, mode.journal);

        // The log is the journal, line by line.
        rig->engine.SaveLog(dir.filePath("Skerrow.log"));
        QFile log(dir.filePath("Skerrow.log"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(log.readAll().startsWith("\r\nBIG\r\n"));
    }
}

TEST_F(CopyEngineTest, LargeBinaryValuesArriveWholeOneRowWithThemPerStatement) {
    PgExec(kSource, {"CREATE TABLE docs (id integer PRIMARY KEY, a bytea, b bytea, "
                     "note varchar(20))",
                     "INSERT INTO docs VALUES (1, NULL, NULL, 'n1'), (2, '\\x0001ff', NULL, "
                     "NULL), (3, '\\x616263', '\\x00', 'both'), (4, NULL, NULL, NULL), "
                     "(5, (SELECT decode(string_agg(lpad(to_hex(g), 2, '0'), ''), 'hex') FROM "
                     "generate_series(0, 255) g), decode(repeat('00ff10', 20000), 'hex'), "
                     "'all'), (6, NULL, '\\x2700', 'q'), (7, NULL, NULL, 'last')"});
    const TTableRec docs = Table(
        "DOCS", 7,
        {Col("ID", "NUMBER"), Col("A", "BLOB"), Col("B", "LONG RAW"), Col("NOTE", "VARCHAR2")},
        "(ID)");
    auto rig = NewRig({docs}, 0, 100);
    CreateTargetFor(*rig, "CREATE TABLE docs (id integer, a bytea, b bytea, note varchar(20))");
    // Statements: rows 1-2, 3, 4-5, 6, 7; then the call that closes the reader.
    EXPECT_EQ(RunToEnd(*rig), 6);
    const QString row =
        "id || ':' || coalesce(md5(a), '-') || ':' || coalesce(md5(b), '-') || "
        "':' || coalesce(note, '-')";
    EXPECT_EQ(Digest(kTarget, "docs", row), Digest(kSource, "docs", row));
    EXPECT_EQ(PgValue(kTarget, "SELECT length(b) FROM docs WHERE id = 5"), "60000");
}

TEST_F(CopyEngineTest, TableWithFewerRowsThanCountedEnds) {
    PgExec(kSource, {"CREATE TABLE short_t (id integer PRIMARY KEY)",
                     "INSERT INTO short_t SELECT generate_series(1, 30)"});
    const QList<std::pair<qint64, QString>> modes{{20, ""}, {0, ""}, {0, "ORDER BY ID"}};
    for (const auto& [portion_read, addi] : modes) {
        SCOPED_TRACE(portion_read);
        TTableRec table = Table("SHORT_T", 50, {Col("ID", "NUMBER")}, "(ID)");
        table.query_addi = addi;
        auto rig = NewRig({table}, portion_read, 10);
        CreateTargetFor(*rig, "CREATE TABLE short_t (id integer)");
        EXPECT_GT(RunToEnd(*rig, 100), 0);
        EXPECT_EQ(Digest(kTarget, "short_t", "id::text"), Digest(kSource, "short_t", "id::text"));
    }
}

TEST_F(CopyEngineTest, FailedStatementIsNotCountedAndResumeCopiesEveryRowOnce) {
    const QString file_temp = dir.filePath("Skerrow.tmp");
    const QList<std::pair<qint64, QString>> modes{{1000, ""}, {0, ""}, {0, "ORDER BY ID"}};
    for (const auto& [portion_read, addi] : modes) {
        SCOPED_TRACE(portion_read);
        TTableRec big = Big();
        big.query_addi = addi;
        const bool keyed = addi.isEmpty();
        {
            auto rig = NewRig({Empty(), big}, portion_read, 100);
            rig->engine.Settings().file_temp = file_temp;
            CreateTargetFor(*rig,
                            "CREATE TABLE empty_t (id integer);"
                            "CREATE TABLE big (id integer CONSTRAINT no_1234 CHECK "
                            "(id <> 1234), name varchar(40), d timestamp);");
            EXPECT_THROW(RunToEnd(*rig), TDbError);
            // Rows 1201..1300 were in the failed statement.
            EXPECT_EQ(rig->engine.IndTable(), 1);
            EXPECT_EQ(rig->engine.CommittedOff(), 1200);
            EXPECT_EQ(rig->engine.CopyOff(), 1200);
            // Written after every commit, the file already holds the position.
            TCheckpoint cp{1, 1200, "BIG"};
            cp.position = keyed ? TCopyPosition::Key : TCopyPosition::Restart;
            if (keyed) {
                cp.key_columns = {"ID"};
                cp.last_key = {"1200"};
            }
            cp.previous_rows = 0;
            EXPECT_EQ(ReadTmpFile(file_temp, TCodePage()), cp);
            rig->engine.SaveTmpFile(file_temp);
            EXPECT_EQ(ReadTmpFile(file_temp, TCodePage()), cp);
            EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM big"), "1200");
        }
        PgExec(kTarget, {"ALTER TABLE big DROP CONSTRAINT no_1234"});

        // A later run: new connections, the same tables, the target reached by its name.
        auto rig = NewRig({Empty(), big}, portion_read, 100);
        rig->engine.Settings().file_temp = file_temp;
        const QList<TTableToRow> rows = rig->engine.LoadFromTmpFile(file_temp);
        EXPECT_EQ(rows.size(), 2);
        EXPECT_TRUE(QFile::exists(file_temp));
        EXPECT_EQ(rig->engine.IndTable(), 1);
        EXPECT_EQ(rig->engine.CopyOff(), 1200);
        rig->query_to.SetText("SELECT current_database()");
        rig->query_to.Open();
        EXPECT_EQ(rig->query_to.Field(0).AsString(), kTarget);
        rig->query_to.Close();
        EXPECT_GT(RunToEnd(*rig), 0);
        EXPECT_EQ(Digest(kTarget, "big", kBigRow), Digest(kSource, "big", kBigRow));
        // Without a key the table was emptied and read again.
        EXPECT_EQ(rig->engine.Journal().join('\n').contains("Таблица BIG очищена в новой БД "
                                                            "(TRUNCATE, строк было 1200)"),
                  !keyed);
        EXPECT_FALSE(QFile::exists(file_temp));
        EXPECT_EQ(PgValue(kTarget,
                          "SELECT count(*) FROM pg_class WHERE relname = "
                          "'skerrow_copy_state'"),
                  "0");
    }

    // A checkpoint of another table list is refused and stays for a later try.
    auto rig = NewRig({Empty(), Big()}, 0, 100);
    for (const TCheckpoint& cp : {TCheckpoint{1, 5, "OTHER"}, TCheckpoint{2, 0, "BIG"}}) {
        SaveTmpFile(file_temp, cp, TCodePage());
        EXPECT_THROW(rig->engine.LoadFromTmpFile(file_temp), TError);
        EXPECT_TRUE(QFile::exists(file_temp));
    }
}

TEST_F(CopyEngineTest, BulkLoadFromFileAndSequenceSynchronisation) {
    PgExec(kSource, {"CREATE TABLE items (id integer PRIMARY KEY, qty integer)",
                     "INSERT INTO items SELECT 3 * g, g FROM generate_series(1, 40) g"});
    // The server reads the file with its own rights, so the folder must be open to it; the
    // apostrophe in the name goes through the COPY statement's quoting.
    QTemporaryDir shared(QDir::tempPath() + "/h7 it's-XXXXXX");
    ASSERT_TRUE(shared.isValid());
    QFile::setPermissions(shared.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                             QFileDevice::ExeGroup);
    const QString data_file = shared.filePath("orders.txt");
    {
        QFile file(data_file);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("5\tfirst\n17\tit's second\n9\t\\N\n");
    }
    QFile::setPermissions(data_file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ReadOther | QFileDevice::ReadGroup);

    TTableRec orders =
        Table("ORDERS", 3, {Col("ID", "NUMBER", true), Col("NAME", "VARCHAR2")}, "(ID)");
    orders.file_copy = data_file;
    TTableRec items = Table("ITEMS", 40, {Col("ID", "NUMBER", true), Col("QTY", "NUMBER")}, "(ID)");
    items.file_copy = dir.filePath("gone.txt");  // no such file: copied by statements
    // A renamed key column: the target has only the new name, and so has its sequence.
    items.fields[0].change_name = "ITEM_ID";
    const QString script =
        "CREATE TABLE orders (id SERIAL PRIMARY KEY, name varchar(20));"
        "CREATE TABLE items (item_id SERIAL PRIMARY KEY, qty integer);";
    auto rig = NewRig({orders, items}, 0, 1000);
    CreateTargetFor(*rig, script);
    EXPECT_EQ(RunToEnd(*rig), 3);
    EXPECT_EQ(rig->engine.Journal()[2], "Copy from " + data_file);
    EXPECT_TRUE(rig->engine.Journal()[3].startsWith("Таблица ORDERS загружена из файла за "))
        << rig->engine.Journal()[3].toStdString();
    EXPECT_EQ(rig->engine.Journal()[6], "40 [0]");
    EXPECT_TRUE(rig->engine.Journal()[7].startsWith("Таблица ITEMS скопирована: строк 40 за "));
    EXPECT_EQ(PgValue(kTarget,
                      "SELECT string_agg(id || coalesce(name, '-'), ',' ORDER BY id) "
                      "FROM orders"),
              "5first,9-,17it's second");
    EXPECT_EQ(PgValue(kTarget, "SELECT nextval('orders_id_seq')"), "18");
    EXPECT_EQ(PgValue(kTarget, "SELECT nextval('items_item_id_seq')"), "121");
    EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM items"), "40");

    // A file the server cannot read fails at once and the table is not counted as done.
    rig->tables[0].file_copy = shared.path();  // a folder
    CreateTargetFor(*rig, script);
    EXPECT_THROW(rig->engine.CopyData(), TDbError);
    EXPECT_EQ(rig->engine.IndTable(), 0);
}

TEST_F(CopyEngineTest, OracleLoaderIsAwaitedBeforeTheSequenceMoves) {
    // The target statements of an Oracle target that PostgreSQL also understands (MAX and
    // ALTER SEQUENCE ... RESTART START WITH) run against the test bed; a stand-in for the
    // loader inserts its rows late, so a sequence set before it ends would be behind.
    testbed::CreateDatabase(kTarget);
    PgExec(kTarget, {"CREATE TABLE loaded (id integer)", "CREATE SEQUENCE seq_loaded"});
    const QString args_file = dir.filePath("args.txt");
    const QString loader = dir.filePath("loader.sh");
    {
        QFile file(loader);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args_file +
                    "'\nsleep 1\nset -a\n. \"$SKERROW_TESTBED/testbed.env\"\nset +a\n"
                    "psql -X -q -d " +
                    kTarget + " -c 'INSERT INTO loaded VALUES (41), (42)'\n")
                       .toUtf8());
    }
    QFile::setPermissions(loader,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString control = dir.filePath("LOADED.ctl");
    {
        QFile file(control);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    TTableRec loaded = Table("LOADED", 2, {Col("ID", "NUMBER", true)});
    loaded.file_copy = control;
    auto rig = NewRig({loaded}, 0, 1000);
    rig->to.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", kTarget));
    rig->to.Open();
    TCopySettings& s = rig->engine.Settings();
    s.db_to = kDbOracle;
    s.connect_to = "Provider=OraOLEDB.Oracle.1;User ID=SYSTEM;Data Source=XE;Password=adm";
    s.user = "NEWU";
    s.password = "p w";
    s.loader_program = loader;
    s.render.file_param = dir.filePath("param.tmp");
    s.oracle_vers = "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";
    rig->engine.PrepareCopy(0);
    EXPECT_EQ(RunToEnd(*rig), 1);
    EXPECT_EQ(PgValue(kTarget, "SELECT nextval('seq_loaded')"), "43");
    QFile args(args_file);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    // The login goes through a parameter file that is gone afterwards, not the command line.
    const QString par_file = dir.filePath("param_loader.tmp");
    EXPECT_EQ(QString::fromUtf8(args.readAll()).toStdString(),
              ("parfile=" + par_file + "\ncontrol=" + control + "\nerrors=100\nbad=" + dir.path() +
               "/LOADED.log\n")
                  .toStdString());
    EXPECT_FALSE(QFile::exists(par_file));

    // A loader that fails stops the copy with what it said; the table is not done.
    const QString failing = dir.filePath("failing.sh");
    {
        QFile file(failing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\necho 'SQL*Loader-350: Syntax error at line 1.'\nexit 1\n");
    }
    QFile::setPermissions(failing,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    s.loader_program = failing;
    rig->engine.PrepareCopy(0);
    try {
        rig->engine.CopyData();
        ADD_FAILURE() << "a failed load counted as done";
    } catch (const TError& e) {
        EXPECT_TRUE(e.Message().contains("SQL*Loader-350: Syntax error at line 1."))
            << e.Message().toStdString();
    }
    EXPECT_EQ(rig->engine.IndTable(), 0);
}

TEST_F(CopyEngineTest, ResumeIntoOracleTargetLogsInAsTheNewUser) {
    if (!OraEmulLoad().isEmpty()) {
        GTEST_SKIP() << "Oracle emulation not loadable";
    }
    const QString file_temp = dir.filePath("Skerrow.tmp");
    const qint64 items = PgValue("ora_src", "SELECT count(*) FROM skerrow_one.items").toLongLong();
    TTableRec table = Table("ITEMS", items, {Col("ITEM_ID", "NUMBER")}, "(ITEM_ID)");
    SaveTmpFile(file_temp, TCheckpoint{0, items, "ITEMS"}, TCodePage());
    auto rig = NewRig({table}, 0, 100);
    TCopySettings& s = rig->engine.Settings();
    s.db_to = kDbOracle;
    // The operator's administrative login; the copy belongs in the new user's schema.
    s.connect_to = OraEmulConnectString(kOraEmulSrc);
    s.user = QLatin1String(kOraEmulOne.user);
    s.password = QLatin1String(kOraEmulOne.password);
    rig->engine.LoadFromTmpFile(file_temp);
    rig->query_to.SetText("SELECT current_user");
    rig->query_to.Open();
    EXPECT_EQ(rig->query_to.Field(0).AsString(), s.user);
    rig->query_to.Close();
    // The statement forms go by the target's version, read in this run.
    EXPECT_TRUE(rig->engine.TargetVersion().startsWith("Oracle Database 19c"))
        << rig->engine.TargetVersion().toStdString();
}

}  // namespace
