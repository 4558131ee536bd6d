#include "transfer/copy_statements.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "ddl/target_create.h"
#include "transfer/bulk_load.h"
#include "util/error.h"

namespace {

class TMemField : public TDbField {
public:
    TMemField(QString name, QString text, bool is_null = false, QByteArray bytes = {})
        : name_(std::move(name)), text_(std::move(text)), null_(is_null), bytes_(bytes) {}

    QString Name() const override { return name_; }
    TFieldCategory Category() const override {
        return bytes_.isNull() ? TFieldCategory::Other : TFieldCategory::LargeBinary;
    }
    bool IsNull() const override { return null_; }
    QString AsString() const override { return null_ ? QString() : text_; }
    qint64 AsInteger() const override { return text_.toLongLong(); }
    QDateTime AsDateTime() const override { return {}; }
    QByteArray AsBytes() const override { return bytes_.isNull() ? text_.toUtf8() : bytes_; }
    void SaveToFile(const QString& path) const override {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            throw TFileError(path);
        }
        file.write(AsBytes());
    }

private:
    QString name_;
    QString text_;
    bool null_;
    QByteArray bytes_;
};

// Rows held in memory, read forward like a source reader.
class TMemRows : public TDbRowSet {
public:
    void AddRow(std::vector<TMemField> row) { rows_.push_back(std::move(row)); }
    size_t Position() const { return pos_; }

    bool Eof() const override { return pos_ >= rows_.size(); }
    void Next() override { ++pos_; }
    int FieldCount() const override { return int(rows_.at(pos_).size()); }
    const TDbField& Field(int index) const override { return rows_.at(pos_).at(index); }
    const TDbField& FieldByName(const QString& name) const override {
        for (const TMemField& field : rows_.at(pos_)) {
            if (field.Name().compare(name, Qt::CaseInsensitive) == 0) {
                return field;
            }
        }
        throw TError("no column " + name);
    }

private:
    std::vector<std::vector<TMemField>> rows_;
    size_t pos_ = 0;
};

TFieldRec Column(const QString& name, const QString& type, bool autoinc = false) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.autoinc = autoinc;
    return field;
}

TTableRec TableT() {
    TTableRec table;
    table.name = "T";
    table.fields = {Column("ID", "NUMBER"), Column("NAME", "VARCHAR2")};
    return table;
}

void AddExampleRows(TMemRows& rows) {
    rows.AddRow({TMemField("ID", "1"), TMemField("NAME", "a")});
    rows.AddRow({TMemField("ID", "2"), TMemField("NAME", "", true)});
}

}  // namespace

TEST(CopyStatements, BothInsertFormsOfTheExample) {
    TRenderOptions options;
    TParamFiles params;

    TMemRows rows;
    AddExampleRows(rows);
    TBuiltInsert all = BuildInsert(TInsertForm::InsertAll, TableT(), rows, 1000, options, params);
    EXPECT_EQ(all.sql,
              "INSERT ALL  INTO T(ID,NAME) VALUES (1,'a')  INTO T(ID,NAME) VALUES (2,null)  "
              "SELECT * FROM dual");
    EXPECT_EQ(all.rows, 2);
    EXPECT_TRUE(rows.Eof());

    TMemRows again;
    AddExampleRows(again);
    TBuiltInsert values = BuildInsert(TInsertForm::Values, TableT(), again, 1000, options, params);
    EXPECT_EQ(values.sql, "INSERT INTO T(ID,NAME) VALUES (1,'a'),(2,null)");

    // The write portion bounds the statement; the reader stays on the next row.
    TMemRows third;
    AddExampleRows(third);
    values = BuildInsert(TInsertForm::Values, TableT(), third, 1, options, params);
    EXPECT_EQ(values.sql, "INSERT INTO T(ID,NAME) VALUES (1,'a')");
    EXPECT_EQ(third.Position(), 1u);

    // An addition makes every INSERT ALL statement hold one row.
    TTableRec with_addi = TableT();
    with_addi.query_addi = "WHERE ID > 0";
    TMemRows fourth;
    AddExampleRows(fourth);
    all = BuildInsert(TInsertForm::InsertAll, with_addi, fourth, 1000, options, params);
    EXPECT_EQ(all.sql, "INSERT ALL  INTO T(ID,NAME) VALUES (1,'a')  SELECT * FROM dual");
}

TEST(CopyStatements, LargeBinaryRowEndsTheStatementAndKeepsEveryValue) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TRenderOptions options;
    options.file_param = dir.filePath("param.tmp");
    TParamFiles params;
    TTableRec table;
    table.name = "DOCS";
    table.fields = {Column("ID", "NUMBER"), Column("A", "BLOB"), Column("B", "BLOB")};

    TMemRows rows;
    rows.AddRow({TMemField("ID", "1"), TMemField("A", "", true), TMemField("B", "", true)});
    rows.AddRow({TMemField("ID", "2"), TMemField("A", "", false, QByteArray("first", 5)),
                 TMemField("B", "", false, QByteArray("\0second", 7))});
    rows.AddRow({TMemField("ID", "3"), TMemField("A", "", true), TMemField("B", "", true)});

    const TBuiltInsert built = BuildInsert(TInsertForm::Values, table, rows, 1000, options, params);
    EXPECT_EQ(built.sql, "INSERT INTO DOCS(ID,A,B) VALUES (1,null,null),(2,:param,:param2)");
    EXPECT_EQ(built.rows, 2);
    ASSERT_EQ(params.Params().size(), 2);
    QFile second(params.Params()[1].path);
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(second.readAll(), QByteArray("\0second", 7));

    // The next statement starts with an empty parameter list.
    const TBuiltInsert next = BuildInsert(TInsertForm::Values, table, rows, 1000, options, params);
    EXPECT_EQ(next.sql, "INSERT INTO DOCS(ID,A,B) VALUES (3,null,null)");
    EXPECT_TRUE(params.Empty());
}

// Oracle refuses a LOB bound inside INSERT ALL: such a row goes alone as a plain INSERT, and
// the row before it ends the INSERT ALL without it.
TEST(CopyStatements, OracleRowsWithBindsGoAsPlainInserts) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TRenderOptions options;
    options.db_to = kDbOracle;
    options.file_param = dir.filePath("param.tmp");
    TParamFiles params;
    TTableRec table;
    table.name = "DOCS";
    table.fields = {Column("ID", "NUMBER"), Column("A", "BLOB"), Column("NOTE", "CLOB")};
    const QString long_note(4001, u'n');
    TMemRows rows;
    rows.AddRow({TMemField("ID", "1"), TMemField("A", "", true), TMemField("NOTE", "x")});
    rows.AddRow({TMemField("ID", "2"), TMemField("A", "", false, QByteArray("\x01\x02", 2)),
                 TMemField("NOTE", "y")});
    rows.AddRow({TMemField("ID", "3"), TMemField("A", "", true), TMemField("NOTE", long_note)});
    rows.AddRow({TMemField("ID", "4"), TMemField("A", "", true), TMemField("NOTE", "z")});

    TBuiltInsert built = BuildInsert(TInsertForm::InsertAll, table, rows, 1000, options, params);
    EXPECT_EQ(built.sql,
              "INSERT ALL  INTO DOCS(ID,A,NOTE) VALUES (1,null,'x')  SELECT * FROM dual");
    EXPECT_EQ(built.rows, 1);
    EXPECT_TRUE(params.Empty());
    EXPECT_EQ(rows.Position(), 1u);

    built = BuildInsert(TInsertForm::InsertAll, table, rows, 1000, options, params);
    EXPECT_EQ(built.sql, "INSERT INTO DOCS(ID,A,NOTE) VALUES (2,:param,'y')");
    ASSERT_EQ(params.Size(), 1);
    EXPECT_EQ(params.Params()[0].path, options.file_param);

    built = BuildInsert(TInsertForm::InsertAll, table, rows, 1000, options, params);
    EXPECT_EQ(built.sql, "INSERT INTO DOCS(ID,A,NOTE) VALUES (3,null,:param)");
    ASSERT_EQ(params.Size(), 1);
    EXPECT_EQ(params.Params()[0].text, long_note);

    built = BuildInsert(TInsertForm::InsertAll, table, rows, 1000, options, params);
    EXPECT_EQ(built.sql,
              "INSERT ALL  INTO DOCS(ID,A,NOTE) VALUES (4,null,'z')  SELECT * FROM dual");
    EXPECT_TRUE(rows.Eof());
}

TEST(CopyStatements, InsertAllStaysWithinOraclesValueCount) {
    TRenderOptions options;
    options.db_to = kDbOracle;
    TParamFiles params;
    TTableRec wide;
    wide.name = "W";
    std::vector<TMemField> row;
    for (int i = 0; i < 10; ++i) {
        wide.fields.append(Column(QStringLiteral("C%1").arg(i), "NUMBER"));
        row.emplace_back(QStringLiteral("C%1").arg(i), QString::number(i));
    }
    TMemRows rows;
    for (int r = 0; r < 250; ++r) {
        rows.AddRow(row);
    }
    // 99 rows of 10 values each.
    EXPECT_EQ(BuildInsert(TInsertForm::InsertAll, wide, rows, 1000, options, params).rows, 99);
    EXPECT_EQ(BuildInsert(TInsertForm::InsertAll, wide, rows, 50, options, params).rows, 50);
    // The multi-row VALUES form of Oracle 23 knows no such count.
    EXPECT_EQ(BuildInsert(TInsertForm::Values, wide, rows, 1000, options, params).rows, 101);

    // A row of more values than the count goes as a plain INSERT.
    TTableRec widest;
    widest.name = "X";
    std::vector<TMemField> big_row;
    for (int i = 0; i < 1000; ++i) {
        widest.fields.append(Column(QStringLiteral("C%1").arg(i), "NUMBER"));
        big_row.emplace_back(QStringLiteral("C%1").arg(i), "7");
    }
    TMemRows big;
    big.AddRow(big_row);
    big.AddRow(big_row);
    const TBuiltInsert built =
        BuildInsert(TInsertForm::InsertAll, widest, big, 1000, options, params);
    EXPECT_EQ(built.rows, 1);
    EXPECT_TRUE(built.sql.startsWith("INSERT INTO X(C0,C1,"));
    EXPECT_TRUE(built.sql.endsWith(",7,7)"));
}

// A statement takes rows while its text stays within the bound; a row larger than the bound
// goes alone.
TEST(CopyStatements, StatementsAreBoundedBySize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const TInsertForm form : {TInsertForm::Values, TInsertForm::InsertAll}) {
        SCOPED_TRACE(form == TInsertForm::Values ? "values" : "insert all");
        TRenderOptions options;
        options.db_to = form == TInsertForm::Values ? kDbPostgres : kDbOracle;
        options.max_statement_chars = 300;
        options.file_param = dir.filePath("param.tmp");
        TParamFiles params;
        TTableRec table;
        table.name = "T";
        table.fields = {Column("ID", "NUMBER"), Column("NAME", "VARCHAR2"), Column("B", "BLOB")};
        TMemRows rows;
        const QList<int> sizes{40, 40, 40, 40, 500, 40, 40, 40, 40, 40, 40, 40};
        for (int i = 0; i < sizes.size(); ++i) {
            // The fifth row is too large for any statement, the sixth brings a binary value.
            rows.AddRow({TMemField("ID", QString::number(i + 1)),
                         TMemField("NAME", QString(sizes[i], u'a')),
                         TMemField("B", "", i != 5, QByteArray("b"))});
        }
        QList<qint64> counts;
        qint64 total = 0;
        while (!rows.Eof()) {
            const TBuiltInsert built = BuildInsert(form, table, rows, 1000, options, params);
            counts << built.rows;
            total += built.rows;
            if (built.rows > 1) {
                EXPECT_LE(built.sql.size(), 300) << built.sql.toStdString();
            }
            // A row taken out again leaves no parameter behind.
            EXPECT_EQ(params.Size(), built.sql.contains(":param") ? 1 : 0);
        }
        EXPECT_EQ(total, sizes.size());
        if (form == TInsertForm::Values) {
            EXPECT_EQ(counts, (QList<qint64>{4, 1, 1, 5, 1}));
        } else {
            EXPECT_EQ(counts, (QList<qint64>{3, 1, 1, 1, 3, 3}));
        }
    }
}

TEST(CopyStatements, NulInTextNamesTableRowAndColumn) {
    TRenderOptions options;
    TParamFiles params;
    TTableRec table;
    table.name = "LINES";
    table.fields = {Column("ID", "NUMBER"), Column("LINE", "NUMBER"), Column("NOTE", "VARCHAR2")};
    table.primary_key.column_names = "(ID,LINE)";
    const QString nul = QStringLiteral("x") + QChar(0);
    TMemRows rows;
    rows.AddRow({TMemField("ID", "5"), TMemField("LINE", "1"), TMemField("NOTE", "ok")});
    rows.AddRow({TMemField("ID", "5"), TMemField("LINE", "2"), TMemField("NOTE", nul)});
    try {
        BuildInsert(TInsertForm::Values, table, rows, 1000, options, params);
        ADD_FAILURE() << "no error";
    } catch (const TConvertError& error) {
        EXPECT_EQ(error.Message(),
                  "Таблица LINES, строка с ключом ID=5, LINE=2, столбец NOTE: текст содержит "
                  "символ с кодом 0, который PostgreSQL не принимает");
    }
    // Without a key the row is named by its number in the table.
    table.primary_key.column_names.clear();
    options.first_row = 40;
    TMemRows again;
    again.AddRow({TMemField("ID", "5"), TMemField("LINE", "1"), TMemField("NOTE", "ok")});
    again.AddRow({TMemField("ID", "5"), TMemField("LINE", "2"), TMemField("NOTE", nul)});
    try {
        BuildInsert(TInsertForm::Values, table, again, 1000, options, params);
        ADD_FAILURE() << "no error";
    } catch (const TConvertError& error) {
        EXPECT_TRUE(error.Message().startsWith("Таблица LINES, строка 42, столбец NOTE: "))
            << error.Message().toStdString();
    }
}

TEST(CopyStatements, NamesAsTheTargetReadsThemAndNoVirtualColumns) {
    TTableRec table;
    table.name = "LIMIT";
    table.fields = {Column("OFFSET", "NUMBER"), Column("TOTAL", "NUMBER"),
                    Column("ITEM#", "VARCHAR2")};
    table.fields[1].is_virtual = true;
    TTargetColumns target;
    target.Set("OFFSET", TTargetKind::Exact);
    target.Set("offset", TTargetKind::Exact);
    TRenderOptions options;
    options.target_columns = &target;
    TParamFiles params;
    TMemRows rows;
    rows.AddRow({TMemField("OFFSET", "1.5"), TMemField("TOTAL", "99"), TMemField("ITEM#", "a")});
    rows.AddRow({TMemField("OFFSET", "2"), TMemField("TOTAL", "99"), TMemField("ITEM#", "b")});
    EXPECT_EQ(BuildInsert(TInsertForm::Values, table, rows, 1000, options, params).sql,
              "INSERT INTO \"LIMIT\"(\"OFFSET\",\"ITEM#\") VALUES (1.5,'a'),(2,'b')");
    options.db_to = kDbOracle;
    TMemRows again;
    again.AddRow({TMemField("OFFSET", "1.5"), TMemField("TOTAL", "99"), TMemField("ITEM#", "a")});
    EXPECT_EQ(BuildInsert(TInsertForm::InsertAll, table, again, 1000, options, params).sql,
              "INSERT ALL  INTO LIMIT(OFFSET,ITEM#) VALUES (1.5,'a')  SELECT * FROM dual");
}

// Columns are looked up once per statement; the lookup must find what the row set's own
// FieldByName finds, and fail as it fails.
TEST(CopyStatements, ColumnsFoundAsTheRowSetFindsThem) {
    TRenderOptions options;
    TParamFiles params;
    TTableRec table;
    table.name = "T";
    table.fields = {Column("имя", "VARCHAR2"), Column("id", "NUMBER")};
    TMemRows rows;
    rows.AddRow({TMemField("ID", "7"), TMemField("ИМЯ", "x")});
    rows.AddRow({TMemField("ID", "8"), TMemField("ИМЯ", "y")});
    EXPECT_EQ(BuildInsert(TInsertForm::Values, table, rows, 10, options, params).sql,
              "INSERT INTO T(\"имя\",id) VALUES ('x',7),('y',8)");

    table.fields.append(Column("MISSING", "NUMBER"));
    TMemRows more;
    AddExampleRows(more);
    EXPECT_THROW(BuildInsert(TInsertForm::Values, table, more, 10, options, params), TError);
    // Without a row nothing is looked up.
    TMemRows none;
    EXPECT_EQ(BuildInsert(TInsertForm::Values, table, none, 10, options, params).rows, 0);
}

TEST(CopyStatements, ReadingQueriesAndForms) {
    TTableRec table = TableT();
    table.primary_key.column_names = "(ID)";
    EXPECT_EQ(PortionQueryLines(table, 0, 100000),
              QStringList({"SELECT * FROM T", "", "ORDER BY ID",
                           "OFFSET 0 ROWS FETCH NEXT 100000 ROWS ONLY"}));
    EXPECT_EQ(PortionQueryLines(table, 200000, 100000).last(),
              "OFFSET 200000 ROWS FETCH NEXT 100000 ROWS ONLY");
    table.query_addi = "where x=1 order by name";
    EXPECT_EQ(PortionQueryLines(table, 0, 0),
              QStringList({"SELECT * FROM T", "where x=1 order by name"}));
    EXPECT_FALSE(UsesWholeTableReader(table, 0));
    table.query_addi = "WHERE X=1";
    EXPECT_TRUE(UsesWholeTableReader(table, 0));
    EXPECT_FALSE(UsesWholeTableReader(table, 10));

    EXPECT_EQ(InsertFormFor(kDbOracle, "Oracle Database 19c Enterprise Edition Release 19.0"),
              TInsertForm::InsertAll);
    EXPECT_EQ(InsertFormFor(kDbOracle, "Oracle Database 23ai Free Release 23.0.0.0.0"),
              TInsertForm::Values);
    EXPECT_EQ(InsertFormFor(kDbPostgres, "Oracle Database 11g"), TInsertForm::Values);
}

TEST(CopyStatements, SequencesBulkLoadAndLoaderArguments) {
    TTableRec orders;
    orders.name = "ORDERS";
    TFieldRec id = Column("ID", "NUMBER", true);
    id.change_name = "ORDER_ID";
    orders.fields = {Column("D", "DATE", true), id, Column("ID2", "NUMBER", true)};
    QString seq = "old";
    QString field = "old";
    // A renamed column is known in the target, and names its serial sequence, by its new name.
    ASSERT_TRUE(IsAutoincrement(orders, seq, field));
    EXPECT_EQ(seq, "ORDERS_ORDER_ID_SEQ");
    EXPECT_EQ(field, "ORDER_ID");
    orders.fields[1].change_name.clear();
    ASSERT_TRUE(IsAutoincrement(orders, seq, field));
    EXPECT_EQ(seq, "ORDERS_ID_SEQ");
    EXPECT_EQ(field, "ID");
    EXPECT_EQ(PgSetvalSql(seq, field, orders.name),
              "SELECT setval('ORDERS_ID_SEQ',MAX(ID)) FROM ORDERS");
    EXPECT_EQ(OraMaxSql(field, orders.name), "SELECT MAX(ID) FROM ORDERS");
    EXPECT_EQ(OraRestartSql(orders.name, 1042),
              "ALTER SEQUENCE SEQ_ORDERS RESTART START WITH 1042");

    TTableRec plain;
    plain.fields = {Column("ID", "number", true), Column("N", "NUMBER")};
    seq = "kept";
    EXPECT_FALSE(IsAutoincrement(plain, seq, field));
    EXPECT_EQ(seq, "kept");

    EXPECT_EQ(PgCopySql("T", "/srv/it's here/t.txt"), "COPY T FROM '/srv/it''s here/t.txt'");
    EXPECT_EQ(LoaderArguments("NEWU", "p w", "ORCL", "C:\\load\\T.ctl", "T"),
              QStringList({"userid=NEWU/p w@ORCL", "control=C:\\load\\T.ctl", "errors=100",
                           "bad=C:\\load\\T.log"}));
    EXPECT_EQ(FolderOf("/data/x/T.ctl"), "/data/x/");
    EXPECT_EQ(FolderOf("T.ctl"), "");
}

TEST(CopyStatements, LoaderRunsWithoutShellAndIsAwaited) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath("args.txt");
    const QString program = dir.filePath("fake loader");
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    // Sleeps first: the arguments file is there only if the run was awaited.
    script.write(
        ("#!/bin/sh\nsleep 0.3\nprintf '%s\\n' \"$@\" > '" + out + "'\nexit 2\n").toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QStringList args = LoaderArguments("u", "it's $HOME", "DB", "/x y/T.ctl", "T");
    const TLoaderRun run = RunLoader(program, args);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_FALSE(run.crashed);
    QFile result(out);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(result.readAll()), args.join('\n') + "\n");

    EXPECT_THROW(RunLoader(dir.filePath("no such loader"), args), TError);
}

TEST(TargetCreateTexts, OracleSequenceAndScript) {
    const QList<TSqlStep> steps = OraCreateUserSteps("NEWU", "pw");
    ASSERT_EQ(steps.size(), 8);
    EXPECT_EQ(steps[0], (TSqlStep{"alter session set \"_oracle_script\"=true", true}));
    EXPECT_TRUE(
        steps[1].sql.startsWith("CREATE PROFILE c##qor_prof LIMIT CPU_PER_SESSION "
                                "UNLIMITED CPU_PER_CALL UNLIMITED CONNECT_TIME"));
    EXPECT_TRUE(
        steps[1].sql.endsWith("FAILED_LOGIN_ATTEMPTS UNLIMITED PASSWORD_LOCK_TIME "
                              "UNLIMITED"));
    EXPECT_TRUE(steps[1].ignore_error);
    EXPECT_EQ(steps[2], (TSqlStep{"DROP USER NEWU CASCADE", true}));
    EXPECT_EQ(steps[3],
              (TSqlStep{"CREATE USER NEWU IDENTIFIED BY \"pw\" DEFAULT TABLESPACE USERS "
                        "TEMPORARY TABLESPACE TEMP PROFILE c##qor_prof ACCOUNT UNLOCK QUOTA "
                        "UNLIMITED ON USERS",
                        false}));
    EXPECT_EQ(steps[4].sql, "GRANT CREATE SESSION TO NEWU");
    EXPECT_EQ(steps[5].sql, "GRANT UNLIMITED TABLESPACE TO NEWU");
    EXPECT_EQ(steps[6].sql, "GRANT DBA TO NEWU");
    EXPECT_EQ(steps[7], (TSqlStep{"ALTER USER NEWU DEFAULT ROLE ALL", false}));

    EXPECT_EQ(SplitOraScript("CREATE TABLE A (X NUMBER)%\r\n\r\nCREATE TABLE B (D VARCHAR2(5) "
                             "DEFAULT '5%')%\r\nCREATE TABLE C (Y NUMBER)"),
              QStringList({"CREATE TABLE A (X NUMBER)",
                           "\r\n\r\nCREATE TABLE B (D VARCHAR2(5) "
                           "DEFAULT '5",
                           "')"}));
    EXPECT_TRUE(SplitOraScript("no separator").isEmpty());

    EXPECT_EQ(OraTargetConnectionString(
                  "Provider=OraOLEDB.Oracle.1;user id=SYSTEM;Password=adm;Data Source=ORCL", "NEWU",
                  "pw"),
              "Provider=OraOLEDB.Oracle.1;user id=NEWU;Password=pw;Data Source=ORCL");
}

TEST(TargetCreateTexts, PostgresStatements) {
    const QStringList create = PgCreateStatements("newdb", "secret", QString());
    ASSERT_EQ(create.size(), 4);
    EXPECT_EQ(create[0], "DROP DATABASE IF EXISTS newdb");
    EXPECT_EQ(create[1], "DROP ROLE IF EXISTS newdb");
    EXPECT_EQ(create[2],
              "CREATE ROLE newdb WITH LOGIN NOSUPERUSER INHERIT NOCREATEDB NOCREATEROLE "
              "NOREPLICATION PASSWORD 'secret'");
    EXPECT_EQ(create[3],
              "CREATE DATABASE newdb WITH OWNER = newdb ENCODING = 'UTF8' LC_COLLATE = "
              "'Russian_Russia.1251' LC_CTYPE = 'Russian_Russia.1251' TABLESPACE = pg_default "
              "CONNECTION LIMIT = -1");
    EXPECT_EQ(PgCreateDatabaseSql("newdb", "C.UTF-8"),
              "CREATE DATABASE newdb WITH OWNER = newdb ENCODING = 'UTF8' LC_COLLATE = "
              "'C.UTF-8' LC_CTYPE = 'C.UTF-8' TEMPLATE = template0 TABLESPACE = pg_default "
              "CONNECTION LIMIT = -1");
    EXPECT_TRUE(IsWindowsServer("PostgreSQL 15.4, compiled by Visual C++ build 1914, 64-bit"));
    EXPECT_TRUE(IsWindowsServer("PostgreSQL 9.6 on x86_64-w64-mingw32, compiled by gcc"));
    EXPECT_FALSE(IsWindowsServer("PostgreSQL 15.4 (Debian 15.4-1) on x86_64-pc-linux-gnu"));

    // A name that begins with "postgres" still ends; the server stores it folded.
    EXPECT_EQ(
        PgTargetConnectionString(
            "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;DATABASE=postgres\"", "Postgres_New"),
        "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;DATABASE=postgres_new\"");
    EXPECT_EQ(PgTargetConnectionString("DSN=PG;Database=postgres", "x"),
              "DSN=PG;Database=postgres");
}
