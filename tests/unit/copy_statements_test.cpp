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
    table.fields[1].virtual_expr = "\"OFFSET\"*2";
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

    // PostgreSQL made a column of an expression it does not take a plain one: it gets its
    // values, or they would be lost.
    table.fields[1].virtual_expr = "TO_CHAR(\"OFFSET\")";
    options.db_to = kDbPostgres;
    TMemRows third;
    third.AddRow({TMemField("OFFSET", "2"), TMemField("TOTAL", "99"), TMemField("ITEM#", "c")});
    EXPECT_EQ(BuildInsert(TInsertForm::Values, table, third, 1000, options, params).sql,
              "INSERT INTO \"LIMIT\"(\"OFFSET\",TOTAL,\"ITEM#\") VALUES (2,99,'c')");
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

TFieldRec Nullable(const QString& name, const QString& type) {
    TFieldRec field = Column(name, type);
    field.is_null = true;
    return field;
}

TEST(CopyStatements, PortionsFollowTheKeyAndKeepTheAddition) {
    TTableRec table = TableT();
    table.primary_key = {QStringLiteral("PK_T"), QStringLiteral("(ID)"), true};
    TReadPlan plan = PlanReading(table, 100000);
    ASSERT_EQ(plan.mode, TReadMode::KeyPortions);
    TReadQuery first = ReadQuery(table, plan, {}, 100000);
    EXPECT_EQ(first.lines, QStringList({"SELECT ID,NAME FROM T", "", "ORDER BY ID",
                                        "FETCH NEXT 100000 ROWS ONLY"}));
    EXPECT_TRUE(first.params.isEmpty());
    // The next portion starts after the last key, whatever lies before it now.
    TReadQuery next = ReadQuery(table, plan, {"200000"}, 100000);
    EXPECT_EQ(next.lines[0],
              "SELECT ID,NAME FROM (SELECT ID,NAME FROM T WHERE (ID > :skerrow_key1)) T");
    EXPECT_EQ(next.lines.mid(1), QStringList({"", "ORDER BY ID", "FETCH NEXT 100000 ROWS ONLY"}));
    EXPECT_EQ(next.params, (QList<TKeyParam>{{"skerrow_key1", TKeyType::Number, "200000"}}));
    // Without paging the rest of the table comes in one query, still in key order.
    EXPECT_EQ(ReadQuery(table, plan, {"7"}, 0).lines.last(), "ORDER BY ID");

    // A composite key over text, a number and a date: no row-value comparison, text as a
    // literal, the others bound.
    TTableRec lines;
    lines.name = "Order Lines";
    lines.fields = {Column("GRP", "VARCHAR2"), Column("SEQ", "NUMBER"), Column("D", "DATE"),
                    Nullable("NOTE", "VARCHAR2")};
    lines.primary_key = {QStringLiteral("PK_OL"), QStringLiteral("(GRP,SEQ,D)"), true};
    plan = PlanReading(lines, 10);
    next = ReadQuery(lines, plan, {"it's", "5", "2024-01-05 10:07:09"}, 10);
    EXPECT_EQ(next.lines[0],
              "SELECT GRP,SEQ,D,NOTE FROM (SELECT GRP,SEQ,D,NOTE FROM \"Order Lines\" WHERE (GRP "
              ">= 'it''s' AND (GRP > "
              "'it''s' OR SEQ >= :skerrow_key2 AND (SEQ > :skerrow_key2 OR D > :skerrow_key3)))) "
              "\"Order Lines\"");
    EXPECT_EQ(next.lines[2], "ORDER BY GRP,SEQ,D");
    EXPECT_EQ(next.params.size(), 2);

    // Additions: WHERE and AND both keep working, on the rows after the key whatever their
    // own ORs; an addition with ORDER BY reads the table in one pass in its own order.
    table.query_addi = "WHERE NAME = 'a' OR NAME = 'b'";
    EXPECT_EQ(
        ReadQuery(table, PlanReading(table, 5), {"9"}, 5).lines,
        QStringList({"SELECT ID,NAME FROM (SELECT ID,NAME FROM T WHERE (ID > :skerrow_key1)) T",
                     "WHERE NAME = 'a' OR NAME = 'b'", "ORDER BY ID", "FETCH NEXT 5 ROWS ONLY"}));
    table.query_addi = "  and NAME <> 'a' OR ID = 3";
    EXPECT_EQ(ReadQuery(table, PlanReading(table, 5), {}, 5).lines,
              QStringList({"SELECT ID,NAME FROM T", "WHERE 1=1", "  and NAME <> 'a' OR ID = 3",
                           "ORDER BY ID", "FETCH NEXT 5 ROWS ONLY"}));
    table.query_addi = "ANDERSON_FLAG = 1";  // a word, not the key word
    EXPECT_EQ(ReadQuery(table, PlanReading(table, 5), {}, 5).lines[1], "ANDERSON_FLAG = 1");
    table.query_addi = "where ID > 1 order by NAME";
    plan = PlanReading(table, 5);
    EXPECT_EQ(plan.mode, TReadMode::OnePassQuery);
    EXPECT_TRUE(plan.why_no_key.contains("ORDER BY"));
    EXPECT_EQ(ReadQuery(table, plan, {}, 5).lines,
              QStringList({"SELECT ID,NAME FROM T", "where ID > 1 order by NAME"}));

    // Without a key: never paged; the whole-table reader unless there is an addition to apply.
    TTableRec keyless = TableT();
    EXPECT_EQ(PlanReading(keyless, 100000).mode, TReadMode::WholeTable);
    keyless.query_addi = "WHERE ID > 0";
    EXPECT_EQ(PlanReading(keyless, 100000).mode, TReadMode::OnePassQuery);
    EXPECT_EQ(ReadQuery(keyless, PlanReading(keyless, 100000), {}, 100000).lines,
              QStringList({"SELECT ID,NAME FROM T", "WHERE ID > 0"}));
    EXPECT_EQ(PlanReading(keyless, 0).mode, TReadMode::WholeTable);

    EXPECT_EQ(InsertFormFor(kDbOracle, "Oracle Database 19c Enterprise Edition Release 19.0"),
              TInsertForm::InsertAll);
    EXPECT_EQ(InsertFormFor(kDbOracle, "Oracle Database 23ai Free Release 23.0.0.0.0"),
              TInsertForm::Values);
    EXPECT_EQ(InsertFormFor(kDbPostgres, "Oracle Database 11g"), TInsertForm::Values);
}

TEST(CopyStatements, OnlyAKeyThatOrdersEveryRowUniquelyIsUsed) {
    TTableRec table;
    table.name = "T";
    table.fields = {Column("ID", "NUMBER"), Nullable("CODE", "VARCHAR2"), Column("K", "CHAR"),
                    Column("R", "FLOAT"), Column("N", "NVARCHAR2")};
    QString why;
    EXPECT_FALSE(ChoosePagingKey(table, &why).Usable());
    EXPECT_EQ(why, "нет первичного ключа; нет уникального ключа");

    // A primary key Oracle does not enforce may repeat values; a unique key must be enabled,
    // validated and over NOT NULL columns of types that compare exactly.
    table.primary_key = {QStringLiteral("PK_T"), QStringLiteral("(ID)"), false};
    table.unique_key = {{"UK_OFF", "(ID)", false, true},
                        {"UK_NOVAL", "(ID)", true, false},
                        {"UK_NULL", "(CODE)", true, true},
                        {"UK_FLOAT", "(R)", true, true},
                        {"UK_OK", "(K,N)", true, true}};
    const TPagingKey key = ChoosePagingKey(table, &why);
    EXPECT_EQ(key.constraint, "UK_OK");
    EXPECT_EQ(key.columns, QStringList({"K", "N"}));
    EXPECT_EQ(key.types, (QList<TKeyType>{TKeyType::Text, TKeyType::NationalText}));
    table.unique_key.removeLast();
    EXPECT_FALSE(ChoosePagingKey(table, &why).Usable());
    EXPECT_EQ(why,
              "первичный ключ PK_T включён без проверки строк (NOVALIDATE); уникальный ключ "
              "UK_OFF отключён; уникальный ключ UK_NOVAL включён без проверки строк "
              "(NOVALIDATE); столбец CODE уникального ключа UK_NULL допускает NULL; столбец R "
              "ключа UK_FLOAT имеет тип FLOAT, значения которого нельзя сравнивать точно");

    // A validated primary key wins; its columns may be renamed in the target.
    table.primary_key.validated = true;
    table.fields[0].change_name = "NEW_ID";
    const TPagingKey pk = ChoosePagingKey(table);
    EXPECT_EQ(pk.columns, QStringList({"ID"}));
    EXPECT_EQ(pk.target_columns, QStringList({"NEW_ID"}));

    // On the target the key is named as there, text compared byte-wise on PostgreSQL.
    QList<TKeyParam> params;
    const TPagingKey uk = key;
    EXPECT_EQ(KeyAfterCondition(TargetKeyTerms(kDbPostgres, uk, {"x", "ж"}, params, "p")),
              "(K COLLATE \"C\" >= 'x' AND (K COLLATE \"C\" > 'x' OR N COLLATE \"C\" > 'ж'))");
    EXPECT_EQ(KeyEqualCondition(TargetKeyTerms(kDbOracle, uk, {"x", "ж"}, params, "p")),
              "(K = 'x' AND N = N'ж')");
    EXPECT_TRUE(params.isEmpty());
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
    EXPECT_EQ(PgSetvalSql(orders.name, field),
              "SELECT setval(pg_get_serial_sequence('ORDERS', 'id'), CAST(GREATEST(MAX(ID), 0) + "
              "1 AS bigint), false) FROM ORDERS");
    // A quoted name goes into the first argument with its quotes, into the second as stored.
    EXPECT_EQ(PgSetvalSql("Old Orders", "Id"),
              "SELECT setval(pg_get_serial_sequence('\"Old Orders\"', 'Id'), "
              "CAST(GREATEST(MAX(\"Id\"), 0) + 1 AS bigint), false) FROM \"Old Orders\"");
    EXPECT_EQ(OraMaxSql(field, orders.name), "SELECT MAX(ID) FROM ORDERS");
    EXPECT_EQ(OraRestartSql(orders.name, 1042),
              "ALTER SEQUENCE SEQ_ORDERS RESTART START WITH 1042");
    // Before 18c there is no RESTART: a one-off increment moves the sequence.
    EXPECT_TRUE(OraCanRestartSequence("Oracle Database 18c Express Edition Release 18.0.0.0.0"));
    EXPECT_FALSE(OraCanRestartSequence("Oracle Database 12c Enterprise Edition Release 12.2"));
    EXPECT_FALSE(OraCanRestartSequence(""));
    EXPECT_EQ(OraNextvalSql(orders.name), "SELECT SEQ_ORDERS.NEXTVAL FROM dual");
    EXPECT_EQ(OraIncrementSql(orders.name, 1036), "ALTER SEQUENCE SEQ_ORDERS INCREMENT BY 1036");
    TTableRec identity;
    identity.fields = {Column("N", "NUMBER")};
    identity.fields[0].identity = true;
    QString column;
    EXPECT_TRUE(PgSerialColumn(identity, column));
    EXPECT_EQ(column, "N");
    // One rule with the script: the identity column is the one a generator feeds.
    identity.name = "EVENTS";
    EXPECT_TRUE(IsAutoincrement(identity, seq, field));
    EXPECT_EQ(field, "N");
    EXPECT_EQ(OraIdentityRestartSql("EVENTS", "N"),
              "ALTER TABLE EVENTS MODIFY (N GENERATED BY DEFAULT AS IDENTITY (START WITH LIMIT "
              "VALUE))");
    EXPECT_EQ(OraRestartSql("Order Notes", 5),
              "ALTER SEQUENCE \"SEQ_Order Notes\" RESTART START WITH 5");

    TTableRec plain;
    plain.fields = {Column("ID", "number", true), Column("N", "NUMBER")};
    seq = "kept";
    EXPECT_FALSE(IsAutoincrement(plain, seq, field));
    EXPECT_EQ(seq, "kept");

    // The path is one literal whatever it holds; the data file is UTF-8.
    EXPECT_EQ(PgCopySql("T", {"ID", "Name"}, "/srv/it's here/t.txt"),
              "COPY T (ID,\"Name\") FROM '/srv/it''s here/t.txt' WITH (ENCODING 'UTF8')");
    EXPECT_EQ(PgCopySql("Old Orders", {}, "C:\\load\\x';DROP TABLE t;--.txt"),
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

TEST(CopyStatements, LoaderVerdict) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList args =
        LoaderArguments(dir.filePath("param_loader.tmp"), dir.filePath("T.ctl"), "T");
    EXPECT_EQ(CheckLoaderRun({0, false, {}}, "sqlldr", args, "T"), 0);
    // Rows rejected: a warning with their count, the records of the bad file.
    EXPECT_EQ(CheckLoaderRun({2, false, {}}, "sqlldr", args, "T"), -1);
    QFile bad(dir.filePath("T.log"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("1,a\n2,b\n3,c");
    bad.close();
    EXPECT_EQ(CheckLoaderRun({2, false, {}}, "sqlldr", args, "T"), 3);
    // A failed run stops the copy with what the loader said.
    for (const TLoaderRun& run : {TLoaderRun{1, false, "SQL*Loader-350: Syntax error"},
                                  TLoaderRun{3, false, "ORA-01017: invalid username/password"},
                                  TLoaderRun{0, true, "killed"}}) {
        try {
            CheckLoaderRun(run, "sqlldr", args, "T");
            ADD_FAILURE() << run.exit_code;
        } catch (const TError& e) {
            EXPECT_TRUE(e.Message().contains(run.output)) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains("таблицу T")) << e.Message().toStdString();
        }
    }
}
