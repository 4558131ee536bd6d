#include "transfer/copy_statements.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <vector>

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
              "INSERT INTO T(имя,id) VALUES ('x',7),('y',8)");

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

    // The path is one literal whatever it holds; the data file is UTF-8.
    EXPECT_EQ(PgCopySql("T", "/srv/it's here/t.txt"),
              "COPY T FROM '/srv/it''s here/t.txt' WITH (ENCODING 'UTF8')");
    EXPECT_EQ(PgCopySql("Old Orders", "C:\\load\\x';DROP TABLE t;--.txt"),
              "COPY \"Old Orders\" FROM E'C:\\\\load\\\\x'';DROP TABLE t;--.txt' WITH (ENCODING "
              "'UTF8')");
    // No login on the command line: it stands in the parameter file.
    EXPECT_EQ(LoaderArguments("/home/u/.local/share/param_loader.tmp", "C:\\load\\T.ctl", "T"),
              QStringList({"parfile=/home/u/.local/share/param_loader.tmp",
                           "control=C:\\load\\T.ctl", "errors=100", "bad=C:\\load\\T.log"}));
    EXPECT_EQ(LoaderParFileText("NEWU", "p w;x'", "ORCL"), "userid=NEWU/\"p w;x'\"@ORCL\n");
    EXPECT_EQ(LoaderParFileText("NEWU", "", ""), "userid=NEWU/\"\"\n");
    EXPECT_THROW(LoaderParFileText("NEWU", "a\"b", "ORCL"), TError);
    EXPECT_THROW(LoaderParFileText("NEWU", "a\ncontrol=/etc/x", "ORCL"), TError);
    EXPECT_THROW(LoaderParFileText("a/b@c", "p", "ORCL"), TError);
    EXPECT_EQ(LoaderParFilePath("/data/app/param.tmp"), "/data/app/param_loader.tmp");
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

    const QStringList args = LoaderArguments("/x y/param_loader.tmp", "/x y/T.ctl", "T");
    const TLoaderRun run = RunLoader(program, args);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_FALSE(run.crashed);
    QFile result(out);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(result.readAll()), args.join('\n') + "\n");

    EXPECT_THROW(RunLoader(dir.filePath("no such loader"), args), TError);
}

TEST(CopyStatements, OracleLoaderReadsItsLoginFromAPrivateFileThatGoes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString seen = dir.filePath("seen.txt");
    const QString program = dir.filePath("loader");
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    // Records its arguments, the rights and text of the parameter file, and whether its input
    // is closed (a loader that prompts for a password must not wait for ever).
    script.write(("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + seen +
                  "'\npar=${1#parfile=}\nstat -c %a \"$par\" >> '" + seen + "'\ncat \"$par\" >> '" +
                  seen + "'\ntimeout 5 cat > /dev/null && echo closed >> '" + seen + "'\nexit 0\n")
                     .toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    TTableRec table;
    table.name = "T";
    table.file_copy = dir.filePath("T.ctl");
    const QString par_file = LoaderParFilePath(dir.filePath("param.tmp"));
    const TLoaderRun run = RunOracleLoader(program, par_file, "newu", "s3cret; x", "ORCL", table);
    EXPECT_EQ(run.exit_code, 0);
    QFile result(seen);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(result.readAll()).split('\n');
    ASSERT_GE(lines.size(), 7);
    EXPECT_EQ(lines.mid(0, 4), LoaderArguments(par_file, table.file_copy, "T"));
    EXPECT_FALSE(lines.mid(0, 4).join(' ').contains("s3cret"));
    EXPECT_EQ(lines[4], "600");
    EXPECT_EQ(lines[5], "userid=newu/\"s3cret; x\"@ORCL");
    EXPECT_EQ(lines[6], "closed");
    EXPECT_FALSE(QFile::exists(par_file));

    // Gone also when the loader cannot start.
    EXPECT_THROW(RunOracleLoader(dir.filePath("none"), par_file, "U", "p", "DB", table), TError);
    EXPECT_FALSE(QFile::exists(par_file));
}
