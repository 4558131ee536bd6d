// The copy engine keeps every source row exactly once: portions by key whatever the query
// addition, one view of a source that changes meanwhile, a resume that checks the checkpoint
// against the target first, the after-copy section, and sequences that follow the keys. On the
// test bed, source and target both PostgreSQL databases.

#include <QRegularExpression>

#include "copy_rig.h"
#include "ddl/script_gen.h"
#include "transfer/checkpoint.h"
#include "util/error.h"

namespace {

const QString kState =
    QStringLiteral("SELECT count(*) FROM pg_class WHERE relname = 'skerrow_copy_state'");

QStringList Sorted(QStringList rows) {
    rows.sort();
    return rows;
}

class ExactEngineTest : public TCopyRigTest {
protected:
    // The message of what the call raises, or "no error".
    template <typename F>
    static std::string ErrorOf(F&& call) {
        try {
            call();
        } catch (const TError& e) {
            return e.Message().toStdString();
        }
        return "no error";
    }
};

TEST_F(ExactEngineTest, PortionsFollowTheKeyWhateverTheAddition) {
    PgExec(kSource, {"CREATE TABLE lines (grp varchar(10), seq integer, d timestamp(0), "
                     "note varchar(20), PRIMARY KEY (grp, seq, d))",
                     "INSERT INTO lines SELECT (ARRAY['A', 'B', 'a', 'b', 'Ж'])[g % 5 + 1], g % 7, "
                     "timestamp '2024-01-01' + g * interval '1 hour', 'n' || (g % 4) "
                     "FROM generate_series(1, 200) g"});
    TTableRec lines = Table(
        "LINES", 200,
        {Col("GRP", "VARCHAR2"), Col("SEQ", "NUMBER"), Col("D", "DATE"), Col("NOTE", "VARCHAR2")},
        "(GRP,SEQ,D)");
    lines.fields[3].is_null = true;
    const QString row = "grp || '|' || seq || '|' || d || '|' || note";
    struct TCase {
        QString addi;
        QString filter;  // the same rows as a condition of the test's own
    };
    const QList<TCase> cases{
        {"", "true"},
        {"WHERE grp <> 'b' OR seq = 3", "grp <> 'b' OR seq = 3"},
        {"AND seq <> 2 OR grp = 'Ж'", "seq <> 2 OR grp = 'Ж'"},
        {"where seq > 1 order by note, grp, seq, d", "seq > 1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.addi.toStdString());
        lines.query_addi = c.addi;
        auto rig = NewRig({lines}, 7, 3);
        CreateTargetFor(*rig,
                        "CREATE TABLE lines (grp varchar(10), seq integer, d timestamp, "
                        "note varchar(20), PRIMARY KEY (grp, seq, d))");
        ASSERT_GT(RunToEnd(*rig, 5000), 0);
        EXPECT_EQ(Sorted(PgColumn(kTarget, "SELECT " + row + " FROM lines")),
                  Sorted(PgColumn(kSource, "SELECT " + row + " FROM lines WHERE " + c.filter)));
    }
}

TEST_F(ExactEngineTest, DateKeysWithFractionsAreExactOrRefused) {
    PgExec(kSource, {"CREATE TABLE stamps (ts timestamp(3) PRIMARY KEY, v integer)",
                     "INSERT INTO stamps SELECT timestamp '2024-01-05 10:07:09' + g * interval "
                     "'1 millisecond', g FROM generate_series(1, 60) g"});
    auto rig = NewRig(
        {Table("STAMPS", 60, {Col("TS", "TIMESTAMP(3)"), Col("V", "NUMBER")}, "(TS)")}, 7, 3);
    CreateTargetFor(*rig, "CREATE TABLE stamps (ts timestamp(3), v integer)");
    // A key read without its fraction would start the next portion before rows already
    // taken: the copy refuses rather than doubling them.
    try {
        ASSERT_GT(RunToEnd(*rig), 0);
        EXPECT_EQ(Sorted(PgColumn(kTarget, "SELECT ts || ' ' || v FROM stamps")),
                  Sorted(PgColumn(kSource, "SELECT ts || ' ' || v FROM stamps")));
    } catch (const TConvertError& e) {
        EXPECT_TRUE(e.Message().contains("без долей секунды")) << e.Message().toStdString();
    }
}

TEST_F(ExactEngineTest, OneViewOfTheSourceForTheWholeCopy) {
    // Rows added after the structure was read but before the copy: in the view, and the journal
    // names the table whose count changed.
    PgExec(kSource, {"INSERT INTO big SELECT g, 'late', NULL FROM generate_series(3001, 3010) g"});
    const std::string at_start = Digest(kSource, "big", kBigRow);
    {
        auto rig = NewRig({Big(), Empty()}, 500, 100);
        CreateTargetFor(*rig,
                        "CREATE TABLE big (id integer PRIMARY KEY, name varchar(40), "
                        "d timestamp); CREATE TABLE empty_t (id integer);");
        for (int i = 0; i < 3; ++i) {
            rig->engine.CopyData();
        }
        // Meanwhile the source changes before and after the rows copied so far.
        PgExec(kSource,
               {"INSERT INTO big SELECT g, 'during', NULL FROM generate_series(4001, 4020) g",
                "DELETE FROM big WHERE id BETWEEN 2000 AND 2010 OR id < 10",
                "UPDATE big SET name = 'changed' WHERE id > 2400"});
        ASSERT_GT(RunToEnd(*rig), 0);
        EXPECT_EQ(Digest(kTarget, "big", kBigRow), at_start);
        EXPECT_NE(Digest(kSource, "big", kBigRow), at_start);
        const QString journal = rig->engine.Journal().join('\n');
        EXPECT_TRUE(
            journal.contains("Таблица BIG: перенесено строк 2510, а при чтении структуры "
                             "исходной БД их было 2500"))
            << journal.toStdString();
        EXPECT_FALSE(journal.contains("не удержан"));
    }

    // A source connection still reading for an export cannot start a view: the journal says
    // so, and the copy goes on.
    auto busy_rig = NewRig({Empty()}, 500, 100);
    TDbQuery busy(busy_rig->from);
    busy.SetText("SELECT * FROM big");
    busy.Open();
    CreateTargetFor(*busy_rig, "CREATE TABLE empty_t (id integer);");
    ASSERT_GT(RunToEnd(*busy_rig), 0);
    EXPECT_TRUE(busy_rig->engine.Journal().join('\n').contains(
        "Согласованный снимок исходной БД не удержан (соединение с исходной БД занято выгрузкой "
        "таблицы в файл)"))
        << busy_rig->engine.Journal().join('\n').toStdString();
    EXPECT_FALSE(busy.Eof());
}

TEST_F(ExactEngineTest, ResumeRefusesACheckpointThatDisagreesWithTheTarget) {
    PgExec(kSource, {"CREATE TABLE small (id integer PRIMARY KEY)",
                     "INSERT INTO small SELECT generate_series(1, 10)"});
    const TTables tables{Empty(), Big(), Table("SMALL", 10, {Col("ID", "NUMBER")}, "(ID)")};
    const QString file_temp = dir.filePath("Skerrow.tmp");
    const QString script =
        "CREATE TABLE empty_t (id integer); CREATE TABLE small (id integer);"
        "CREATE TABLE big (id integer CONSTRAINT no_1234 CHECK (id <> 1234), name varchar(40), "
        "d timestamp);";
    {
        auto rig = NewRig(tables, 1000, 100);
        rig->engine.Settings().file_temp = file_temp;
        CreateTargetFor(*rig, script);
        EXPECT_THROW(RunToEnd(*rig), TDbError);
    }
    PgExec(kTarget, {"ALTER TABLE big DROP CONSTRAINT no_1234"});
    const TCheckpoint good = ReadTmpFile(file_temp, TCodePage());
    ASSERT_EQ(good.position, TCopyPosition::Key);
    ASSERT_EQ(good.last_key, QStringList({"1200"}));
    auto write = [&](const QByteArray& bytes) {
        QFile file(file_temp);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    };
    auto load = [&](const QByteArray& bytes) {
        write(bytes);
        return ErrorOf([&] { NewRig(tables, 1000, 100)->engine.LoadFromTmpFile(file_temp); });
    };
    auto save = [&](const TCheckpoint& cp) {
        QString text;
        for (const QString& line : CheckpointLines(cp)) {
            text += line + "\r\n";
        }
        return text.toUtf8();
    };

    // With the state table in the target, the file is only a copy: a damaged one does not
    // matter.
    EXPECT_EQ(load("garbage"), "no error");
    EXPECT_EQ(load(save(TCheckpoint{1, 1500, "BIG"})), "no error");

    // Without it, every damaged form is refused, naming what the target holds.
    PgExec(kTarget, {"DROP TABLE skerrow_copy_state"});
    TCheckpoint past_rows = good;
    past_rows.copy_off = 1500;
    TCheckpoint lost_key = good;
    lost_key.last_key = {"1300"};
    TCheckpoint next_index = good;
    next_index.ind_table = 2;
    const std::string tail = "Продолжить копирование нельзя";
    for (const auto& [bytes, message] : std::vector<std::pair<QByteArray, std::string>>{
             {"", "меньше двух строк"},
             {"garbage\r\n0\r\n", "не является неотрицательным целым числом"},
             {"1\r\n-5\r\n", "не является неотрицательным целым числом"},
             {save(past_rows),
              "в таблице BIG сейчас строк 1200, а по контрольной точке их "
              "должно быть 1500"},
             {"1\r\n1500\r\nBIG\r\n",
              "в таблице BIG сейчас строк 1200, а по контрольной точке "
              "их должно быть 1500"},
             {save(lost_key),
              "последняя записанная строка таблицы BIG (ключ 1300) в ней не "
              "найдена"},
             {save(next_index),
              "остановилась на таблице BIG, а сейчас в списке таблиц (их 3) "
              "под номером 3 стоит таблица SMALL"},
             // Files of earlier versions: the index of the next table, past the last one.
             {"2\r\n0\r\n",
              "в таблице BIG сейчас строк 1200, а по контрольной точке их "
              "должно быть 2500"},
             {"3\r\n0\r\n",
              "в таблице SMALL сейчас строк 0, а по контрольной точке их должно "
              "быть 10"},
             {"4\r\n0\r\n", "под номером 5 таблицы нет"},
         }) {
        SCOPED_TRACE(bytes.toStdString());
        const std::string error = load(bytes);
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_TRUE(QFile::exists(file_temp));
    }
    EXPECT_NE(load(save(past_rows)).find(tail), std::string::npos);
    EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM big"), "1200");

    // Rows committed after the last checkpoint (a target without the state table) are removed
    // before the copy goes on after the last key.
    PgExec(kTarget, {"INSERT INTO big SELECT g, 'x', NULL FROM generate_series(1201, 1250) g"});
    write(save(good));
    auto rig = NewRig(tables, 1000, 100);
    rig->engine.Settings().file_temp = file_temp;
    rig->engine.LoadFromTmpFile(file_temp);
    EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM big"), "1200");
    ASSERT_GT(RunToEnd(*rig), 0);
    EXPECT_EQ(Digest(kTarget, "big", kBigRow), Digest(kSource, "big", kBigRow));
    EXPECT_TRUE(rig->engine.Journal().join('\n').contains(
        "Из таблицы BIG удалены строки, записанные после последней контрольной точки (после "
        "ключа 1200): 50"));
    EXPECT_FALSE(QFile::exists(file_temp));
}

TEST_F(ExactEngineTest, StateTableFindsTheCopyWhenTheFileIsGone) {
    const QString file_temp = dir.filePath("Skerrow.tmp");
    TTableRec big = Big();
    {
        auto rig = NewRig({big}, 1000, 100);
        rig->engine.Settings().file_temp = file_temp;
        CreateTargetFor(*rig,
                        "CREATE TABLE big (id integer CONSTRAINT no_1234 CHECK (id <> "
                        "1234), name varchar(40), d timestamp);");
        EXPECT_THROW(RunToEnd(*rig), TDbError);
    }
    PgExec(kTarget, {"ALTER TABLE big DROP CONSTRAINT no_1234"});
    ASSERT_TRUE(QFile::remove(file_temp));
    auto rig = NewRig({big}, 1000, 100);
    rig->engine.Settings().file_temp = file_temp;
    ASSERT_TRUE(rig->engine.FindUnfinished(file_temp));
    rig->engine.LoadFromTmpFile(file_temp);
    EXPECT_EQ(rig->engine.CopyOff(), 1200);
    ASSERT_GT(RunToEnd(*rig), 0);
    EXPECT_EQ(Digest(kTarget, "big", kBigRow), Digest(kSource, "big", kBigRow));
    EXPECT_EQ(PgValue(kTarget, kState), "0");
    EXPECT_FALSE(rig->engine.FindUnfinished(file_temp));

    // Declining the offer forgets the copy: the state table goes with the file.
    PgExec(kTarget, {"CREATE TABLE skerrow_copy_state (id integer, checkpoint text, "
                     "after_copy text)",
                     "INSERT INTO skerrow_copy_state VALUES (1, '0\n0', '')"});
    ASSERT_TRUE(rig->engine.FindUnfinished(file_temp));
    rig->engine.DiscardCheckpoint(file_temp);
    EXPECT_FALSE(rig->engine.FindUnfinished(file_temp));
}

TEST_F(ExactEngineTest, AfterCopySectionRunsWhenTheLastTableIsDoneAlsoAfterAResume) {
    // Rows that point at later rows: the foreign key can only be there after the data.
    PgExec(kSource, {"CREATE TABLE tree (id integer PRIMARY KEY, parent integer)",
                     "INSERT INTO tree SELECT g, CASE WHEN g < 300 THEN g + 1 END "
                     "FROM generate_series(1, 300) g"});
    const TTableRec tree =
        Table("TREE", 300, {Col("ID", "NUMBER"), Col("PARENT", "NUMBER")}, "(ID)");
    const QString file_temp = dir.filePath("Skerrow.tmp");
    const QString create = "CREATE TABLE tree (id integer PRIMARY KEY, parent integer);\r\n";
    const QString section =
        "ALTER TABLE tree ADD CONSTRAINT fk_tree FOREIGN KEY (parent) "
        "REFERENCES tree (id);\r\n";
    const QString fk = "SELECT count(*) FROM pg_constraint WHERE conname = 'fk_tree'";
    {
        auto rig = NewRig({tree}, 50, 7);
        rig->engine.Settings().file_temp = file_temp;
        CreateTargetFor(*rig, create + kAfterCopyMarker + "\r\n" + section);
        EXPECT_EQ(rig->engine.AfterCopy(), section);
        EXPECT_EQ(PgValue(kTarget, fk), "0");
        for (int i = 0; i < 10; ++i) {
            rig->engine.CopyData();
        }
    }
    // The run ends; the next finds the section beside the checkpoint (here without the state
    // table, which would hold it too).
    PgExec(kTarget, {"DROP TABLE skerrow_copy_state"});
    EXPECT_TRUE(QFile::exists(AfterCopyFile(file_temp)));
    auto rig = NewRig({tree}, 50, 7);
    rig->engine.Settings().file_temp = file_temp;
    rig->engine.LoadFromTmpFile(file_temp);
    EXPECT_EQ(rig->engine.AfterCopy(), section);
    ASSERT_GT(RunToEnd(*rig), 0);
    EXPECT_EQ(PgValue(kTarget, fk), "1");
    EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM tree"), "300");
    EXPECT_FALSE(QFile::exists(file_temp));
    EXPECT_FALSE(QFile::exists(AfterCopyFile(file_temp)));

    // A statement of the section that fails stops with its text; the data stays.
    rig.reset();
    auto failing = NewRig({tree}, 50, 100);
    CreateTargetFor(*failing, create + kAfterCopyMarker +
                                  "\r\nALTER TABLE tree ADD CONSTRAINT "
                                  "fk_gone FOREIGN KEY (parent) REFERENCES gone (id);");
    const std::string error = ErrorOf([&] { RunToEnd(*failing); });
    EXPECT_NE(error.find("после копирования данных (данные таблиц уже перенесены)"),
              std::string::npos)
        << error;
    EXPECT_TRUE(failing->query_to.Text().contains("REFERENCES gone"));
    EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM tree"), "300");

    // A section of comments only (every constraint left out) has nothing to run.
    failing.reset();
    auto comments = NewRig({tree}, 50, 100);
    CreateTargetFor(*comments, create + kAfterCopyMarker +
                                   "\r\n-- CONSTRAINT FK_TREE FOREIGN KEY(PARENT) (отключён)\r\n"
                                   "/* and a block */\r\n");
    EXPECT_GT(RunToEnd(*comments), 0);
}

TEST_F(ExactEngineTest, SequencesFollowTheLargestKeyUnderAnyName) {
    PgExec(kSource,
           {"CREATE TABLE neg (id integer PRIMARY KEY)", "INSERT INTO neg VALUES (-5), (0)",
            "CREATE TABLE none_t (id integer PRIMARY KEY)",
            "CREATE TABLE a_very_long_table_name_for_sequences_xx "
            "(a_very_long_column_name_id_xx integer PRIMARY KEY)",
            "INSERT INTO a_very_long_table_name_for_sequences_xx VALUES (1041)"});
    const TTables tables{
        Table("NEG", 2, {Col("ID", "NUMBER", true)}, "(ID)"),
        Table("NONE_T", 0, {Col("ID", "NUMBER", true)}, "(ID)"),
        Table("A_VERY_LONG_TABLE_NAME_FOR_SEQUENCES_XX", 1,
              {Col("A_VERY_LONG_COLUMN_NAME_ID_XX", "NUMBER", true)},
              "(A_VERY_LONG_COLUMN_NAME_ID_XX)"),
    };
    auto rig = NewRig(tables, 1000, 100);
    CreateTargetFor(*rig,
                    "CREATE TABLE neg (id serial PRIMARY KEY);"
                    "CREATE TABLE none_t (id bigserial PRIMARY KEY);"
                    "CREATE TABLE a_very_long_table_name_for_sequences_xx "
                    "(a_very_long_column_name_id_xx serial PRIMARY KEY);");
    ASSERT_GT(RunToEnd(*rig), 0);
    EXPECT_EQ(PgValue(kTarget, "INSERT INTO neg DEFAULT VALUES RETURNING id"), "1");
    EXPECT_EQ(PgValue(kTarget, "INSERT INTO none_t DEFAULT VALUES RETURNING id"), "1");
    // The server named this sequence itself, shortened; the copy asks it rather than guessing.
    EXPECT_NE(PgValue(kTarget,
                      "SELECT pg_get_serial_sequence('a_very_long_table_name_for_"
                      "sequences_xx', 'a_very_long_column_name_id_xx')"),
              "public.a_very_long_table_name_for_sequences_xx_a_very_long_column_name_id_xx_seq");
    EXPECT_EQ(PgValue(kTarget,
                      "INSERT INTO a_very_long_table_name_for_sequences_xx DEFAULT "
                      "VALUES RETURNING a_very_long_column_name_id_xx"),
              "1042");
}

}  // namespace

// Said once, with the first table's block.
TEST_F(ExactEngineTest, WhatTheSourceReadingFoundIsInTheJournal) {
    auto rig = NewRig({Empty()}, 500, 100);
    rig->engine.Settings().source_notes = {
        QStringLiteral("Драйвер Oracle: Oracle 21 ODBC driver"),
        QStringLiteral("Версия сервера прочитана из PRODUCT_COMPONENT_VERSION")};
    CreateTargetFor(*rig, "CREATE TABLE empty_t (id integer);");
    ASSERT_GT(RunToEnd(*rig), 0);
    const QStringList journal = rig->engine.Journal();
    const qsizetype driver = journal.indexOf("Драйвер Oracle: Oracle 21 ODBC driver");
    ASSERT_GE(driver, 0) << journal.join('\n').toStdString();
    EXPECT_EQ(journal.value(driver + 1), "Версия сервера прочитана из PRODUCT_COMPONENT_VERSION");
    EXPECT_EQ(journal.count("Драйвер Oracle: Oracle 21 ODBC driver"), 1);
}
