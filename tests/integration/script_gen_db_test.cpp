// The generated PostgreSQL script of a schema with every kind of object, run on the test bed as
// target creation and the copy run it: the part before the after-copy marker, a few rows
// (rows in any order, an orphan under a foreign key the source never validated, duplicates
// under a disabled unique key), then the part after it. The catalog is then compared with what
// the model says.

#include <gtest/gtest.h>

#include "copy_testbed.h"
#include "db/odbc.h"
#include "db/sql_text.h"
#include "ddl/script_gen.h"
#include "ddl/type_mapping.h"

namespace {

const QString kDb = QStringLiteral("skerrow_ddl_script");

TFieldRec Col(const QString& name, const QString& type, int size, bool is_null = true,
              const QString& def = {}, int scale = 0) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.size = size;
    field.scale = scale;
    field.is_null = is_null;
    field.default_ = def;
    return field;
}

TTables RichModel() {
    TTableRec dept;
    dept.name = "DEPT";
    dept.fields = {Col("ID", "NUMBER", 10, false), Col("NAME", "VARCHAR2", 30, false),
                   Col("MANAGER_ID", "NUMBER", 10), Col("CREATED", "DATE", 7, true, "SYSDATE"),
                   Col("DAY", "DATE", 7, true, "trunc( sysdate )")};
    dept.fields[1].char_used = "C";
    dept.fields[1].comment = QString::fromUtf8("Название, 100% заглавными");
    dept.comment = QString::fromUtf8("Отделы");
    dept.primary_key = {"PK_DEPT", "(ID)"};
    dept.f_key = {{"FK_DEPT_MGR", "(MANAGER_ID)", "EMP(ID)"}};
    dept.master_tables = {"EMP"};
    dept.checks = {{"CK_DEPT_NAME", "NAME = UPPER(NAME)"}};

    TTableRec emp;
    emp.name = "EMP";
    emp.fields = {
        Col("ID", "NUMBER", 10, false, "\"HR\".\"ISEQ$$_73111\".nextval"),
        Col("DEPT_ID", "NUMBER", 10),
        Col("BOSS_ID", "NUMBER", 10),
        Col("LOGIN", "VARCHAR2", 30, true, "USER"),
        Col("STAMP", "TIMESTAMP(6)", 11, true, "SYSTIMESTAMP"),
        Col("STAMP2", "TIMESTAMP(6)", 11, true, "CURRENT_TIMESTAMP "),
        Col("GUID", "RAW", 16, true, "SYS_GUID()"),
        Col("GUID_TEXT", "VARCHAR2", 32, true, "sys_guid()"),
        Col("NOTE", "VARCHAR2", 10, true, "NULL"),
        Col("FLAG", "CHAR", 1, false, "'Y'"),
        Col("QTY", "NUMBER", 5, true, "0"),
        Col("ODD", "DATE", 7, true, "SYSDATE + 1/24"),
        Col("SALARY", "NUMBER", 10, true, {}, 2),
        Col("BONUS", "NUMBER", 10, true, {}, 2),
        Col("TOTAL", "NUMBER", 38, true, "\"SALARY\"+NVL(\"BONUS\",0)"),
        Col("LABEL", "VARCHAR2", 40, true, "TO_CHAR(\"ID\")"),
    };
    emp.fields[0].identity = true;
    emp.fields[14].is_virtual = true;
    emp.fields[14].virtual_expr = emp.fields[14].default_;
    emp.fields[15].is_virtual = true;
    emp.fields[15].virtual_expr = emp.fields[15].default_;
    emp.primary_key = {"PK_EMP", "(ID)"};
    emp.unique_key = {{"UK_EMP_LOGIN", "(LOGIN)", false, false}};
    emp.f_key = {{"FK_EMP_DEPT", "(DEPT_ID)", "DEPT(ID)", true, true, "CASCADE"},
                 {"FK_EMP_BOSS", "(BOSS_ID)", "EMP(ID)"},
                 {"FK_EMP_BOSS_OFF", "(BOSS_ID)", "EMP(ID)", false, false}};
    emp.master_tables = {"DEPT", "EMP", "EMP"};
    emp.checks = {{"CK_EMP_QTY", "QTY >= 0", true, false},
                  {"CK_EMP_OFF", "QTY < 10", false, false},
                  {"CK_EMP_FLAG", "FLAG IN ('Y','N')"}};
    emp.indexes = {{"IX_EMP_DEPT", false, "(DEPT_ID)", {}},
                   {"UX_EMP_GUID", true, "(GUID_TEXT)", {}},
                   {"IX_EMP_UP", false, "(SYS_NC00017$)", {"UPPER(\"LOGIN\")"}}};

    TTableRec limit;
    limit.name = "LIMIT";
    limit.fields = {Col("OFFSET", "NUMBER", 10, false), Col("ITEM#", "NUMBER", 5),
                    Col("ACC$LEDGER", "VARCHAR2", 20),  Col("DO", "VARCHAR2", 5),
                    Col("AMOUNT", "NUMBER", 38),        Col("BIG", "NUMBER", 38),
                    Col("SMALL", "NUMBER", 38),         Col("LINE", "NUMBER", 10, false, {}, 2),
                    Col("RATE", "FLOAT", 126)};
    limit.fields[4].profile = {true, true, "12.5"};
    limit.fields[5].profile = {true, false, "123456789012345678901234567890"};
    limit.fields[6].profile = {true, false, "42"};
    limit.fields[7].autoinc = true;
    limit.primary_key = {"PK_LIMIT", "(OFFSET)"};

    TTableRec old;
    old.name = "Old Orders";
    old.fields = {Col("Id", "NUMBER", 10, false), Col("LIMIT_OFFSET", "NUMBER", 10),
                  Col("NO", "NUMBER", 10, true, "\"HR\".\"ORDER_SEQ\".nextval")};
    old.fields[0].change_name = "ID";
    old.primary_key = {"PK_OLD", "(Id)"};
    old.f_key = {{"FK_OLD_LIMIT", "(LIMIT_OFFSET)", "LIMIT(OFFSET)", true, false}};
    old.master_tables = {"LIMIT"};
    return {emp, dept, old, limit};
}

TSequences Sequences() {
    return {{"ORDER_SEQ", "1", "9999999999999999999999999999", "1", "1042", "20", false},
            {"DOWN_SEQ", "-99999999999999999999999999", "-1", "-5", "-100", "0", true}};
}

class ScriptGenDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CopyTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        testbed::CreateDatabase(kDb);
        connection_.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", kDb));
        connection_.Open();
    }

    void TearDown() override {
        if (connection_.Connected()) {
            connection_.Close();
            testbed::DropDatabase(kDb);
        }
    }

    // The whole text at once, as target creation and the copy send it.
    void Run(const QString& text) {
        TDbQuery query(connection_);
        query.SetParamCheck(false);
        query.SetText(text);
        query.ExecSQL();
    }

    QString Value(const QString& sql) { return PgValue(kDb, sql); }
    QStringList Column(const QString& sql) { return PgColumn(kDb, sql); }

    TDbConnection connection_;
};

}  // namespace

TEST_F(ScriptGenDbTest, RichSchemaRunsAroundTheCopyAndMatchesTheModel) {
    TTables tables = RichModel();
    TScriptOptions options;
    options.user = "newdb";
    options.sequences = Sequences();
    {
        TDbQuery query(connection_);
        options.pg_reserved_words = ReadPgReservedWords(query);
    }
    const QString script = MakeScriptNew(tables, options).join(u'\n');
    const TSqlNames names(kDbPostgres);

    ASSERT_NO_THROW(Run(ScriptBeforeCopy(script))) << script.toStdString();
    // Rows in an order no foreign key would allow: each cycle member before its master, a
    // boss after the employee, an orphan under the key the source never validated, a
    // duplicate under the disabled unique key and a value under the unchecked check.
    ASSERT_NO_THROW(
        Run("INSERT INTO DEPT (ID, NAME, MANAGER_ID) VALUES (1, 'SALES', 10), (2, 'IT', 11);"
            "INSERT INTO EMP (ID, DEPT_ID, BOSS_ID, LOGIN, QTY, SALARY, BONUS, LABEL) VALUES "
            "(10, 1, 11, 'same', -1, 100.50, NULL, '10'), (11, 2, NULL, 'same', 3, 1, 0.25, '11');"
            "INSERT INTO \"Old Orders\" (ID, LIMIT_OFFSET) VALUES (1, 999);"
            "INSERT INTO \"LIMIT\" (\"OFFSET\", \"ITEM#\", \"ACC$LEDGER\", \"DO\", AMOUNT, BIG, "
            "SMALL, LINE, RATE) VALUES (1, 2, 'x', 'y', 12.5, 123456789012345678901234567890, 42, "
            "7.25, 0.1234567890123456789);"));
    ASSERT_NO_THROW(Run(ScriptAfterCopy(script))) << ScriptAfterCopy(script).toStdString();

    // Every column of the model, under its target name, nullable as the model says.
    for (const TTableRec& table : tables) {
        const QString relation = PgLiteral(names.Stored(table.name));
        for (const TFieldRec& field : table.fields) {
            const QString column = PgLiteral(names.Stored(field.TargetName()));
            const QString where =
                " FROM information_schema.columns WHERE table_name = " + relation +
                " AND column_name = " + column;
            EXPECT_EQ(Value("SELECT is_nullable" + where), field.is_null ? "YES" : "NO")
                << table.name.toStdString() << "." << field.name.toStdString();
            EXPECT_EQ(Value("SELECT is_identity" + where), field.identity ? "YES" : "NO");
            EXPECT_EQ(Value("SELECT is_generated" + where),
                      TargetComputes(field, table.fields, kDbPostgres) ? "ALWAYS" : "NEVER")
                << field.name.toStdString();
            EXPECT_EQ(Value("SELECT col_description(" + PgLiteral(names.Name(table.name)) +
                            "::regclass, ordinal_position::int)" + where),
                      field.comment);
        }
        EXPECT_EQ(Value("SELECT obj_description(" + PgLiteral(names.Name(table.name)) +
                        "::regclass, 'pg_class')"),
                  table.comment);

        // Constraints: created, NOT VALID, or absent, as their state in the source says.
        const auto state = [&](const QString& name) {
            return Value(
                "SELECT contype::text || CASE WHEN convalidated THEN '' ELSE ' not "
                "valid' END || ' ' || confdeltype::text FROM pg_constraint WHERE "
                "conname = " +
                PgLiteral(names.Stored(name)) +
                " AND conrelid = " + PgLiteral(names.Name(table.name)) + "::regclass");
        };
        if (!table.primary_key.name.isEmpty()) {
            EXPECT_EQ(state(table.primary_key.name), "p  ");
        }
        for (const TUniqueKey& key : table.unique_key) {
            EXPECT_EQ(state(key.name), key.enabled ? "u  " : "") << key.name.toStdString();
        }
        for (const TForeignKey& key : table.f_key) {
            const QString rule = key.delete_rule == "CASCADE" ? "c" : "a";
            EXPECT_EQ(state(key.name),
                      key.enabled ? "f" + QString(key.validated ? "" : " not valid") + " " + rule
                                  : QString())
                << key.name.toStdString();
        }
        for (const TCheckRec& check : table.checks) {
            EXPECT_EQ(state(check.name),
                      check.enabled ? "c" + QString(check.validated ? "" : " not valid") + "  "
                                    : QString())
                << check.name.toStdString();
        }
        for (const TIndexRec& index : table.indexes) {
            EXPECT_EQ(
                Value("SELECT indisunique::int FROM pg_index WHERE indexrelid = to_regclass(" +
                      PgLiteral(names.Name(index.name)) + ")"),
                index.expressions.isEmpty() ? (index.unique ? "1" : "0") : "")
                << index.name.toStdString();
        }
    }
    for (const TSequenceRec& sequence : Sequences()) {
        EXPECT_EQ(Value("SELECT start_value || ' ' || increment_by || ' ' || cache_size || ' ' || "
                        "cycle::int FROM pg_sequences WHERE sequencename = " +
                        PgLiteral(names.Stored(sequence.name))),
                  sequence.last_number + " " + sequence.increment_by + " " +
                      (sequence.cache_size == "0" ? "1" : sequence.cache_size) + " " +
                      (sequence.cycle ? "1" : "0"));
    }

    // Types the data decided, and the length of characters.
    const auto type = [&](const QString& table, const QString& column) {
        return Value("SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = " +
                     PgLiteral(names.Name(table)) +
                     "::regclass AND attname = " + PgLiteral(names.Stored(column)));
    };
    EXPECT_EQ(type("LIMIT", "AMOUNT"), "numeric");
    EXPECT_EQ(type("LIMIT", "BIG"), "numeric");
    EXPECT_EQ(type("LIMIT", "SMALL"), "bigint");
    EXPECT_EQ(type("LIMIT", "LINE"), "numeric(10,2)");
    EXPECT_EQ(type("LIMIT", "RATE"), "numeric");
    EXPECT_EQ(type("DEPT", "NAME"), "character varying(30)");
    EXPECT_EQ(type("EMP", "ID"), "bigint");
    EXPECT_EQ(Value("SELECT AMOUNT || ' ' || BIG || ' ' || LINE || ' ' || RATE FROM \"LIMIT\""),
              "12.5 123456789012345678901234567890 7.25 0.1234567890123456789");

    // Sequence-fed columns are found as the copy finds them to reset them.
    EXPECT_FALSE(Value("SELECT pg_get_serial_sequence('\"LIMIT\"', 'line')").isEmpty());
    EXPECT_FALSE(Value("SELECT pg_get_serial_sequence('emp', 'id')").isEmpty());

    // Defaults as the source gives them: nothing where the source writes NULL, the expression
    // where it has one, the sequence where it calls one.
    Run("INSERT INTO DEPT (ID, NAME) VALUES (3, 'NEW');"
        "INSERT INTO EMP (DEPT_ID, SALARY, BONUS) VALUES (3, 10, 2);"
        "INSERT INTO \"Old Orders\" (ID, LIMIT_OFFSET) VALUES (2, 1);"
        "INSERT INTO \"LIMIT\" (\"OFFSET\") VALUES (2);");
    EXPECT_EQ(
        Value("SELECT (CREATED IS NOT NULL)::int || ' ' || (DAY = CURRENT_DATE)::int FROM DEPT "
              "WHERE ID = 3"),
        "1 1");
    EXPECT_EQ(Value("SELECT LOGIN || ' ' || length(GUID) || ' ' || "
                    "(GUID_TEXT ~ '^[0-9A-F]{32}$')::int || ' ' || FLAG || ' ' || QTY || ' ' || "
                    "(NOTE IS NULL)::int || ' ' || (ODD IS NULL)::int || ' ' || TOTAL || ' ' || "
                    "(STAMP IS NOT NULL)::int || ' ' || (STAMP2 IS NOT NULL)::int FROM EMP "
                    "WHERE DEPT_ID = 3"),
              "postgres 16 1 Y 0 1 1 12.00 1 1");
    // The row the copy wrote first took the sequence's first value.
    EXPECT_EQ(Value("SELECT NO FROM \"Old Orders\" WHERE ID = 1"), "1042");
    EXPECT_EQ(Value("SELECT LINE FROM \"LIMIT\" WHERE \"OFFSET\" = 2"), "1.00");
    EXPECT_EQ(Value("SELECT TOTAL FROM EMP WHERE ID = 10"), "100.50");

    // Keys added NOT VALID still hold for new rows.
    EXPECT_ANY_THROW(Run("INSERT INTO \"Old Orders\" (ID, LIMIT_OFFSET) VALUES (3, 998)"));
    EXPECT_ANY_THROW(Run("INSERT INTO EMP (ID, QTY) VALUES (20, -5)"));
    EXPECT_NO_THROW(Run("INSERT INTO EMP (ID, QTY, LOGIN) VALUES (21, 50, 'same')"));
}
