// Values through the INSERT path of the copy, between two databases of the test bed: every
// kind of value arrives as its source holds it, numbers are written by the target's own column
// types, and statements keep within their size. The source columns of date-time values are
// read as the text forms the database layer gives (with fractions, offsets and the era form),
// so the rendering of those forms is what is tested here.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "copy_testbed.h"
#include "db/odbc.h"
#include "ddl/target_create.h"
#include "transfer/copy_engine.h"
#include "transfer/copy_statements.h"
#include "transfer/target_columns.h"
#include "util/error.h"

namespace {

const QString kSource = QStringLiteral("h9v_src");
const QString kTarget = QStringLiteral("postgres_h9v");

TFieldRec Col(const QString& name, const QString& type, int scale = 0) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.scale = scale;
    return field;
}

TTableRec Kinds() {
    TTableRec table;
    table.name = QStringLiteral("KINDS");
    table.rows = 5;
    table.primary_key.column_names = QStringLiteral("(ID)");
    table.fields = {Col("ID", "NUMBER"),
                    Col("N_BIG", "NUMBER"),
                    Col("N_FRAC", "NUMBER"),
                    Col("N_SCALED", "NUMBER", 2),
                    Col("F8", "BINARY_DOUBLE"),
                    Col("F4", "BINARY_FLOAT"),
                    Col("D", "DATE"),
                    Col("TS", "TIMESTAMP(6)"),
                    Col("TZ", "TIMESTAMP(6) WITH TIME ZONE"),
                    Col("TXT", "VARCHAR2"),
                    Col("R", "RAW"),
                    Col("B", "BLOB"),
                    Col("V", "NUMBER")};
    table.fields.last().is_virtual = true;
    table.fields.last().virtual_expr = "\"ID\"*10";
    return table;
}

// The target as the operator edited the script: the NUMBER columns without a scale that hold
// fractions and 38-digit values are NUMERIC. The target's sessions run east of UTC.
QString KindsScript(const QString& n_frac_type = QStringLiteral("numeric")) {
    return "SET TIME ZONE 'Asia/Tokyo';"
           "CREATE TABLE kinds (id integer PRIMARY KEY, n_big numeric(38), n_frac " +
           n_frac_type +
           ", n_scaled numeric(12,2), f8 float8, f4 real, d timestamp(0), ts timestamp(6), "
           "tz timestamptz, txt text, r bytea, b bytea, "
           "v integer GENERATED ALWAYS AS (id * 10) STORED);";
}

// Every value as text; the zoned column by its instant.
const QString kKindsRow =
    "id || '|' || coalesce(n_big::text, '~') || '|' || coalesce(n_frac::text, '~') || '|' || "
    "coalesce(n_scaled::text, '~') || '|' || coalesce(f8::text, '~') || '|' || "
    "coalesce(f4::text, '~') || '|' || coalesce(d::text, '~') || '|' || "
    "coalesce(ts::text, '~') || '|' || coalesce(extract(epoch FROM tz)::text, '~') || '|' || "
    "coalesce(txt, '~') || '|' || coalesce(encode(r, 'hex'), '~') || '|' || "
    "coalesce(encode(b, 'hex'), '~')";

QStringList Rows(const QString& database, const QString& table, const QString& row_text) {
    return PgColumn(database, "SELECT " + row_text + " FROM " + table + " ORDER BY id");
}

struct TRig {
    TDbConnection from;
    TDbConnection to;
    TDbQuery query_from{from};
    TDbTable table_from{from};
    TDbQuery query_to{to};
    TTables tables;
    TCopyEngine engine{tables, from, query_from, table_from, to, query_to};
};

class ValuesCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CopyTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        ASSERT_TRUE(dir_.isValid());
        testbed::CreateDatabase(kSource);
        // The source session runs in another zone than the target's.
        testbed::AdminExec("ALTER DATABASE " + kSource + " SET timezone = 'America/New_York'");
    }

    std::unique_ptr<TRig> NewRig(TTables tables, int portion_write) {
        auto rig = std::make_unique<TRig>();
        rig->from.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", kSource)
                                          .replace("UseDeclareFetch=0", "UseDeclareFetch=1"));
        rig->from.Open();
        rig->tables = std::move(tables);
        TCopySettings& s = rig->engine.Settings();
        s.db_to = kDbPostgres;
        s.portion_read = 0;
        s.portion_write = portion_write;
        s.connect_to = testbed::BridgeString();
        s.user = kTarget;
        s.password = "pw";
        s.render.file_param = dir_.filePath("param.tmp");
        return rig;
    }

    void CreateTargetFor(TRig& rig, const QString& script) {
        TTargetSpec spec;
        spec.db_to = kDbPostgres;
        spec.connect_to = rig.engine.Settings().connect_to;
        spec.user = kTarget;
        spec.password = "pw";
        spec.script = script;
        const TTargetResult result = CreateTarget(spec, rig.to, rig.query_to, [&] {
            rig.engine.SetCopyOff(0);
            rig.engine.PrepareCopy(0);
        });
        ASSERT_TRUE(result.ok) << result.error.toStdString();
    }

    static void RunToEnd(TRig& rig) {
        for (int calls = 0; calls < 1000 && !rig.engine.Progress().finished; ++calls) {
            rig.engine.CopyData();
        }
        ASSERT_TRUE(rig.engine.Progress().finished);
    }

    void CreateKinds() {
        PgExec(kSource,
               {"CREATE TABLE kinds_base (id integer PRIMARY KEY, n_big numeric(38), n_frac "
                "numeric, n_scaled numeric(12,2), f8 float8, f4 real, d timestamp(0), "
                "ts timestamp(6), tz timestamptz, txt text, r bytea, b bytea, v integer)",
                "INSERT INTO kinds_base VALUES "
                "(1, 123456789012345678901234567890, 1.5, 1234.56, '-0', '-0', "
                "'2024-01-05 13:07:09', '2024-01-05 00:00:00.5', '2024-01-05 10:07:09+00', "
                "E'O''Brien \\\\ back', '\\x00ff', '\\x000102', 7), "
                "(2, -99999999999999999999999999999999999999, 0.000000000000000000001, -0.01, "
                "'NaN', 'Infinity', '0044-03-15 12:00:00 BC', '0001-12-31 23:59:59.999999 BC', "
                "'2024-06-30 23:59:59.123456+05:30', E'line\\nbreak\\ttab', '\\x', NULL, 7), "
                "(3, 0, -7, 0, 1e-300, '-Infinity', '4712-01-01 00:00:00 BC', "
                "'9999-12-31 23:59:59.999999', '1900-01-01 00:00:00+03', 'Юникод 😀', NULL, "
                "'\\x27', 7), "
                "(4, NULL, NULL, NULL, NULL, NULL, '9999-12-31 23:59:59', '1999-12-31 23:59:59', "
                "NULL, NULL, NULL, NULL, NULL), "
                "(5, 1, 2, 3, 2.5, 0.25, '4712-01-01 00:00:00 BC', '2000-02-29 12:00:00', "
                "'2000-02-29 12:00:00-08', '', '\\xffff', NULL, 7)",
                // Date-time values in the text forms of the layer: both era forms of a date
                // before year 1 (the minus sign on even rows), fractions and offsets.
                "CREATE VIEW kinds AS SELECT id, n_big, n_frac, n_scaled, f8, f4, "
                "CASE WHEN id % 2 = 0 AND d < '0001-01-01' THEN '-' || to_char(d, "
                "'YYYY-MM-DD HH24:MI:SS') ELSE d::text END AS d, ts::text AS ts, "
                "tz::text AS tz, txt, r, b, v FROM kinds_base"});
    }

    QTemporaryDir dir_;
};

TEST_F(ValuesCopyTest, EveryValueKindArrivesAsTheSourceHoldsIt) {
    CreateKinds();
    ASSERT_EQ(PgValue(kSource, "SELECT d FROM kinds WHERE id = 2"), "-0044-03-15 12:00:00");
    auto rig = NewRig({Kinds()}, 2);
    CreateTargetFor(*rig, KindsScript());
    rig->query_to.SetText("SHOW timezone");
    rig->query_to.Open();
    EXPECT_EQ(rig->query_to.Field(0).AsString(), "Asia/Tokyo");
    rig->query_to.Close();
    RunToEnd(*rig);

    const QStringList source = Rows(kSource, "kinds_base", kKindsRow);
    ASSERT_EQ(source.size(), 5);
    EXPECT_EQ(Rows(kTarget, "kinds", kKindsRow), source);
    // The sign of zero, and the dates before year 1, as the server shows them.
    EXPECT_EQ(PgValue(kTarget, "SELECT f8::text || ' ' || f4::text FROM kinds WHERE id = 1"),
              "-0 -0");
    EXPECT_EQ(PgValue(kTarget, "SELECT d::text FROM kinds WHERE id = 5"), "4712-01-01 00:00:00 BC");
    // The virtual column was computed by the target.
    EXPECT_EQ(PgValue(kTarget, "SELECT string_agg(v::text, ',' ORDER BY id) FROM kinds"),
              "10,20,30,40,50");
}

// The target's integer column still refuses a fraction, and says where.
TEST_F(ValuesCopyTest, FractionForAnIntegerColumnStops) {
    CreateKinds();
    auto rig = NewRig({Kinds()}, 100);
    CreateTargetFor(*rig, KindsScript("bigint"));
    try {
        rig->engine.CopyData();
        ADD_FAILURE() << "no error";
    } catch (const TConvertError& error) {
        EXPECT_EQ(error.Message(),
                  "Таблица KINDS, столбец N_FRAC: значение 1.5 не является целым числом");
    }
    EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM kinds"), "0");
}

TEST_F(ValuesCopyTest, TargetColumnKindsAsTheServerHasThem) {
    testbed::CreateDatabase(kTarget);
    PgExec(kTarget,
           {"CREATE DOMAIN money_cents AS bigint",
            "CREATE TABLE \"Mixed Case\" (a integer, \"B\" numeric(5,2), c float8, d text, "
            "e money_cents, f smallint, g timestamp)",
            "ALTER TABLE \"Mixed Case\" DROP COLUMN d"});
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", kTarget));
    connection.Open();
    TDbQuery query(connection);
    const TSqlNames names(kDbPostgres);
    const TTargetColumns columns = ReadTargetColumns(query, kDbPostgres, "Mixed Case", names);
    EXPECT_EQ(columns.KindOf("a"), TTargetKind::Integer);
    EXPECT_EQ(columns.KindOf("B"), TTargetKind::Exact);
    EXPECT_EQ(columns.KindOf("c"), TTargetKind::Float);
    EXPECT_EQ(columns.KindOf("d"), TTargetKind::Unknown);  // dropped
    EXPECT_EQ(columns.KindOf("e"), TTargetKind::Integer);
    EXPECT_EQ(columns.KindOf("f"), TTargetKind::Integer);
    EXPECT_EQ(columns.KindOf("g"), TTargetKind::Other);
    // A table the target does not have gives no columns, not an error.
    EXPECT_TRUE(ReadTargetColumns(query, kDbPostgres, "NO_SUCH", names).Empty());
}

// A table of large texts is written in several statements, none past the bound, and arrives
// whole.
TEST_F(ValuesCopyTest, LargeTextsGoInStatementsOfBoundedSize) {
    PgExec(kSource, {"CREATE TABLE big_texts (id integer PRIMARY KEY, body text)",
                     "INSERT INTO big_texts SELECT g, g || repeat('ж''x', 500000) "
                     "FROM generate_series(1, 36) g"});
    testbed::CreateDatabase(kTarget);
    PgExec(kTarget, {"CREATE TABLE big_texts (id integer, body text)"});
    TDbConnection from;
    from.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", kSource)
                                 .replace("UseDeclareFetch=0", "UseDeclareFetch=1"));
    from.Open();
    TDbConnection to;
    to.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", kTarget));
    to.Open();
    TDbQuery reader(from);
    reader.SetText("SELECT * FROM big_texts ORDER BY id");
    reader.Open();
    TTableRec table;
    table.name = "BIG_TEXTS";
    table.fields = {Col("ID", "NUMBER"), Col("BODY", "CLOB")};
    TRenderOptions options;
    TParamFiles params;
    TDbQuery writer(to);
    QList<qint64> rows;
    while (!reader.Eof()) {
        const TBuiltInsert built =
            BuildInsert(TInsertForm::Values, table, reader, 1000, options, params);
        EXPECT_LE(built.sql.size(), kMaxStatementChars);
        rows << built.rows;
        writer.SetText(built.sql);
        writer.ExecSQL();
    }
    // Each value is two million characters once its apostrophes are doubled: 8 of them fill a
    // statement.
    EXPECT_EQ(rows, (QList<qint64>{8, 8, 8, 8, 4}));
    const QString digest = "SELECT md5(string_agg(id || body, ',' ORDER BY id)) FROM big_texts";
    EXPECT_EQ(PgValue(kTarget, digest), PgValue(kSource, digest));
}

}  // namespace
