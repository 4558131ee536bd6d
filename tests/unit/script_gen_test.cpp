#include <gtest/gtest.h>

#include "ddl/script_gen.h"
#include "ddl/target_names.h"

namespace {

TFieldRec Column(const QString& name, const QString& type, int size, bool is_null = true,
                 bool autoinc = false) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.size = size;
    field.is_null = is_null;
    field.autoinc = autoinc;
    return field;
}

TTableRec Orders() {
    TTableRec orders;
    orders.name = "ORDERS";
    orders.fields = {Column("ID", "NUMBER", 10, false, true), Column("CUSTOMER_ID", "NUMBER", 10)};
    orders.primary_key = {"PK_ORDERS", "(ID)"};
    orders.f_key = {{"FK_ORDERS_CUST", "(CUSTOMER_ID)", "CUSTOMERS(ID)"}};
    orders.master_tables = {"CUSTOMERS"};
    return orders;
}

TTableRec Customers() {
    TTableRec customers;
    customers.name = "CUSTOMERS";
    customers.fields = {Column("ID", "NUMBER", 10, false)};
    return customers;
}

TScriptOptions Oracle() {
    return TScriptOptions{.db_from = kDbOracle, .db_to = kDbOracle, .user = "NEWUSER"};
}

TScriptOptions Postgres() {
    return TScriptOptions{.db_from = kDbOracle, .db_to = kDbPostgres, .user = "NEWUSER"};
}

const QString kOracleEnd = ") TABLESPACE USERS STORAGE (INITIAL 64K MAXEXTENTS UNLIMITED) LOGGING%";
const QString kLeftOut =
    QString::fromUtf8("-- %1 (не создается: ключ ссылается на ограничение вне переносимой схемы)");

QString U(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

TEST(ScriptGen, OrdersOnOracle) {
    TTables tables{Orders(), Customers()};
    const QStringList expected{
        "CREATE TABLE CUSTOMERS (",
        "ID NUMBER(10) NOT NULL",
        kOracleEnd,
        "",
        "CREATE TABLE ORDERS (",
        "ID NUMBER(10) NOT NULL,",
        "CUSTOMER_ID NUMBER(10),",
        "CONSTRAINT PK_ORDERS PRIMARY KEY(ID)",
        kOracleEnd,
        "",
        "",
        "CREATE SEQUENCE NEWUSER.SEQ_ORDERS%",
        "CREATE OR REPLACE TRIGGER NEWUSER.ORDERS_TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW "
        "BEGIN IF :new.ID IS NULL THEN  SELECT SEQ_ORDERS.NEXTVAL INTO :new.ID FROM DUAL; END "
        "IF; END;%",
        "",
        kAfterCopyMarker,
        "ALTER TABLE ORDERS ADD CONSTRAINT FK_ORDERS_CUST FOREIGN KEY(CUSTOMER_ID) REFERENCES "
        "CUSTOMERS(ID)%",
    };
    EXPECT_EQ(MakeScriptNew(tables, Oracle()), expected);
}

TEST(ScriptGen, OrdersOnPostgres) {
    TTables tables{Orders(), Customers()};
    const QStringList expected{
        "CREATE TABLE CUSTOMERS (",
        "ID BIGINT NOT NULL",
        ");",
        "",
        "CREATE TABLE ORDERS (",
        "ID BIGSERIAL NOT NULL,",
        "CUSTOMER_ID BIGINT,",
        "CONSTRAINT PK_ORDERS PRIMARY KEY(ID)",
        ");",
        "",
        kAfterCopyMarker,
        "ALTER TABLE ORDERS ADD CONSTRAINT FK_ORDERS_CUST FOREIGN KEY(CUSTOMER_ID) REFERENCES "
        "CUSTOMERS(ID);",
    };
    EXPECT_EQ(MakeScriptNew(tables, Postgres()), expected);
}

TEST(ScriptGen, TablesAreOrderedInPlace) {
    TTables tables{Orders(), Customers()};
    const QStringList script = MakeScriptNew(tables, Postgres());
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[0].name, "CUSTOMERS");
    EXPECT_EQ(script.indexOf("CREATE TABLE CUSTOMERS ("), 0);
    EXPECT_EQ(script.indexOf("CREATE TABLE ORDERS ("), 4);
}

TEST(ScriptGen, ConstraintLinesAndTrailingComma) {
    TTableRec tb;
    tb.name = "T";
    tb.fields = {Column("A", "VARCHAR2", 5), Column("B", "CHAR", 2)};
    tb.unique_key = {{"UK_T1", "(A)"}, {"UK_T2", "(A,B)"}};
    tb.f_key = {{"FK_T", "(B)", "SYS_C001234"}};
    TTables tables{tb};
    EXPECT_EQ(MakeScriptNew(tables, Oracle()),
              QStringList({"CREATE TABLE T (", "A VARCHAR2(5),", "B CHAR(2),",
                           "CONSTRAINT UK_T1 UNIQUE(A),", "CONSTRAINT UK_T2 UNIQUE(A,B)",
                           kOracleEnd, "", kAfterCopyMarker,
                           kLeftOut.arg("CONSTRAINT FK_T FOREIGN KEY(B) REFERENCES SYS_C001234")}));

    // On PostgreSQL too, and the last column loses its comma.
    tb.unique_key.clear();
    TTables pg{tb};
    EXPECT_EQ(
        MakeScriptNew(pg, Postgres()),
        QStringList({"CREATE TABLE T (", "A VARCHAR(5),", "B CHAR(2)", ");", "", kAfterCopyMarker,
                     kLeftOut.arg("CONSTRAINT FK_T FOREIGN KEY(B) REFERENCES SYS_C001234")}));

    // A table without columns keeps its opening line as it is.
    TTableRec empty;
    empty.name = "E";
    TTables only_empty{empty};
    EXPECT_EQ(MakeScriptNew(only_empty, Postgres()),
              QStringList({"CREATE TABLE E (", ");", "", kAfterCopyMarker}));
}

TEST(ScriptGen, TriggerNamesAndDateColumns) {
    TTableRec kolvans;
    kolvans.name = "kolvans";
    kolvans.fields = {Column("ID", "NUMBER", 10, false, true)};
    TTableRec other = kolvans;
    other.name = "KOLVANS2";
    QStringList list;
    AddOraTrig(kolvans, list, Oracle());
    AddOraTrig(other, list, Oracle());
    ASSERT_EQ(list.size(), 8);
    EXPECT_EQ(list[1], "CREATE SEQUENCE NEWUSER.\"SEQ_kolvans\"%");
    EXPECT_TRUE(
        list[2].startsWith("CREATE OR REPLACE TRIGGER NEWUSER.\"TRIGGER_kolvans\" BEFORE "
                           "INSERT ON \"kolvans\" FOR EACH ROW BEGIN IF :new.ID IS NULL "
                           "THEN  SELECT \"SEQ_kolvans\".NEXTVAL"))
        << list[2].toStdString();
    EXPECT_TRUE(list[6].startsWith("CREATE OR REPLACE TRIGGER NEWUSER.KOLVANS2_TRIGGER BEFORE"));

    // A DATE column alone gets the current time and no sequence.
    TTableRec log;
    log.name = "NODE_ALERTS";
    log.fields = {Column("NOTE", "VARCHAR2", 5), Column("CREATED", "DATE", 7, true, true)};
    list.clear();
    AddOraTrig(log, list, Oracle());
    EXPECT_EQ(list, QStringList({"",
                                 "CREATE OR REPLACE TRIGGER NEWUSER.TRIGGER_NODE_ALERTS BEFORE "
                                 "INSERT ON NODE_ALERTS FOR EACH ROW BEGIN IF :new.CREATED IS "
                                 "NULL THEN  SELECT sysdate INTO :new.CREATED FROM DUAL; END IF; "
                                 "END;%",
                                 ""}));
    // With a NUMBER column after it, that column gets its sequence too, in the same trigger:
    // the sequence the copy resets after the rows is the one the script made.
    log.fields.append(Column("ID", "NUMBER", 10, false, true));
    list.clear();
    AddOraTrig(log, list, Oracle());
    EXPECT_EQ(list, QStringList({"", "CREATE SEQUENCE NEWUSER.SEQ_NODE_ALERTS%",
                                 "CREATE OR REPLACE TRIGGER NEWUSER.TRIGGER_NODE_ALERTS BEFORE "
                                 "INSERT ON NODE_ALERTS FOR EACH ROW BEGIN IF :new.CREATED IS "
                                 "NULL THEN  SELECT sysdate INTO :new.CREATED FROM DUAL; END IF; "
                                 "IF :new.ID IS NULL THEN  SELECT SEQ_NODE_ALERTS.NEXTVAL INTO "
                                 ":new.ID FROM DUAL; END IF; END;%",
                                 ""}));

    list.clear();
    AddOraTrig(log, list, Postgres());
    AddOraTrig(Customers(), list, Oracle());
    EXPECT_TRUE(list.isEmpty());
}

TEST(ScriptGen, LongTableNamesGetShortOracleNames) {
    TTableRec tb;
    tb.name = "CUSTOMER_ORDER_HISTORY_2024";  // 27 characters
    tb.fields = {Column("ID", "NUMBER", 10, false, true)};
    QStringList list;
    AddOraTrig(tb, list, Oracle());
    ASSERT_EQ(list.size(), 4);
    const QString sequence = OraSequenceName(tb.name);
    const QString trigger = OraTriggerName(tb.name);
    EXPECT_EQ(sequence.size(), 30);
    EXPECT_EQ(trigger.size(), 30);
    EXPECT_EQ(list[1], "CREATE SEQUENCE NEWUSER." + sequence + "%");
    EXPECT_TRUE(list[2].startsWith("CREATE OR REPLACE TRIGGER NEWUSER." + trigger + " "));
    EXPECT_TRUE(list[2].contains("SELECT " + sequence + ".NEXTVAL"));

    // A standalone sequence of that name (the one the source's trigger used) is created once,
    // with the standalone sequences.
    TScriptOptions options = Oracle();
    options.sequences = {{"SEQ_ORDERS", "1", "999", "1", "120", "20", false}};
    TTableRec orders = Orders();
    orders.f_key.clear();
    list.clear();
    AddOraTrig(orders, list, options);
    EXPECT_EQ(list.filter("CREATE SEQUENCE").size(), 0);
    EXPECT_EQ(list.filter("SELECT SEQ_ORDERS.NEXTVAL").size(), 1);
}

TEST(ScriptGen, RenamedColumnsReachKeysAndTrigger) {
    TTableRec customers = Customers();
    customers.fields[0].change_name = "CUST_NO";
    customers.primary_key = {"PK_CUST", "(ID)"};
    TTableRec orders = Orders();
    orders.fields[0].change_name = "ORDER_NO";
    orders.fields.append(Column("IDX", "NUMBER", 5));
    orders.primary_key = {"PK_ORDERS", "(ID,IDX)"};
    orders.unique_key = {{"UK_ORDERS", "(IDX,ID)"}};
    orders.f_key = {{"FK_ORDERS_CUST", "(CUSTOMER_ID)", "CUSTOMERS(ID)"},
                    {"FK_SELF", "(ID)", "ORDERS(ID,IDX)"},
                    {"FK_OUT", "(ID)", "PK_ELSEWHERE"}};
    orders.indexes = {{"IX_ORDERS", false, "(IDX,ID)", {}}};
    TTables tables{orders, customers};
    const QStringList script = MakeScriptNew(tables, Oracle());
    const QStringList expected{
        "CREATE TABLE CUSTOMERS (",
        "CUST_NO NUMBER(10) NOT NULL,",
        "CONSTRAINT PK_CUST PRIMARY KEY(CUST_NO)",
        kOracleEnd,
        "",
        "CREATE TABLE ORDERS (",
        "ORDER_NO NUMBER(10) NOT NULL,",
        "CUSTOMER_ID NUMBER(10),",
        "IDX NUMBER(5),",
        "CONSTRAINT PK_ORDERS PRIMARY KEY(ORDER_NO,IDX),",
        "CONSTRAINT UK_ORDERS UNIQUE(IDX,ORDER_NO)",
        kOracleEnd,
        "",
        "",
        "CREATE SEQUENCE NEWUSER.SEQ_ORDERS%",
        "CREATE OR REPLACE TRIGGER NEWUSER.ORDERS_TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW "
        "BEGIN IF :new.ORDER_NO IS NULL THEN  SELECT SEQ_ORDERS.NEXTVAL INTO :new.ORDER_NO FROM "
        "DUAL; END IF; END;%",
        "",
        kAfterCopyMarker,
        "CREATE INDEX IX_ORDERS ON ORDERS(IDX,ORDER_NO)%",
        "ALTER TABLE ORDERS ADD CONSTRAINT FK_ORDERS_CUST FOREIGN KEY(CUSTOMER_ID) REFERENCES "
        "CUSTOMERS(CUST_NO)%",
        "ALTER TABLE ORDERS ADD CONSTRAINT FK_SELF FOREIGN KEY(ORDER_NO) REFERENCES "
        "ORDERS(ORDER_NO,IDX)%",
        kLeftOut.arg("CONSTRAINT FK_OUT FOREIGN KEY(ORDER_NO) REFERENCES PK_ELSEWHERE"),
    };
    EXPECT_EQ(script, expected);
}

// Names Oracle takes bare but PostgreSQL reserves, or reads only quoted.
TEST(ScriptGen, EveryNameGoesThroughTheTargetsRules) {
    TTableRec limit;
    limit.name = "LIMIT";
    limit.fields = {Column("OFFSET", "NUMBER", 10, false), Column("ITEM#", "NUMBER", 5),
                    Column("ACC$LEDGER", "VARCHAR2", 10), Column("Do", "VARCHAR2", 3)};
    limit.primary_key = {"PK_LIMIT", "(OFFSET)"};
    limit.unique_key = {{"UK$LIMIT", "(ITEM#,Do)"}};
    limit.comment = "it's the limit";
    limit.fields[1].comment = "5% off";
    TTableRec old;
    old.name = "Old Orders";
    old.fields = {Column("LIMIT_ID", "NUMBER", 10)};
    old.f_key = {{"FK_OLD", "(LIMIT_ID)", "LIMIT(OFFSET)"}};
    old.master_tables = {"LIMIT"};
    TTables tables{limit, old};
    const QStringList pg = MakeScriptNew(tables, Postgres());
    EXPECT_EQ(pg.mid(0, 12),
              QStringList({"CREATE TABLE \"LIMIT\" (", "\"OFFSET\" BIGINT NOT NULL,",
                           "\"ITEM#\" BIGINT,", "\"ACC$LEDGER\" VARCHAR(10),", "\"Do\" VARCHAR(3),",
                           "CONSTRAINT PK_LIMIT PRIMARY KEY(\"OFFSET\"),",
                           "CONSTRAINT \"UK$LIMIT\" UNIQUE(\"ITEM#\",\"Do\")", ");",
                           "COMMENT ON TABLE \"LIMIT\" IS 'it''s the limit';",
                           "COMMENT ON COLUMN \"LIMIT\".\"ITEM#\" IS '5% off';", "",
                           "CREATE TABLE \"Old Orders\" ("}));
    EXPECT_EQ(pg.last(),
              "ALTER TABLE \"Old Orders\" ADD CONSTRAINT FK_OLD FOREIGN KEY(LIMIT_ID) "
              "REFERENCES \"LIMIT\"(\"OFFSET\");");

    // The target server's own key words replace the kept list.
    TScriptOptions options = Postgres();
    options.pg_reserved_words = {"offset"};
    tables = {limit};
    const QStringList own = MakeScriptNew(tables, options);
    EXPECT_EQ(own[0], "CREATE TABLE LIMIT (");
    EXPECT_EQ(own[1], "\"OFFSET\" BIGINT NOT NULL,");

    // Oracle quotes what it does not store in upper case, and keeps "%" out of statements.
    tables = {limit, old};
    const QStringList ora = MakeScriptNew(tables, Oracle());
    EXPECT_TRUE(ora.contains("\"Do\" VARCHAR2(3),"));
    EXPECT_TRUE(ora.contains("CONSTRAINT UK$LIMIT UNIQUE(ITEM#,\"Do\")"));
    EXPECT_TRUE(ora.contains("COMMENT ON TABLE LIMIT IS 'it''s the limit'%"));
    EXPECT_TRUE(
        ora.contains("BEGIN EXECUTE IMMEDIATE ('COMMENT ON COLUMN LIMIT.ITEM# IS ''5'||"
                     "CHR(37)||' off'''); END;%"))
        << ora.join('\n').toStdString();
    EXPECT_TRUE(ora.contains("CREATE TABLE \"Old Orders\" ("));
    // Every "%" ends a statement.
    for (const QString& line : ora) {
        EXPECT_LE(line.count(u'%'), line.endsWith(u'%') ? 1 : 0) << line.toStdString();
    }
}

TEST(ScriptGen, ConstraintStates) {
    TTableRec dept;
    dept.name = "DEPT";
    dept.fields = {Column("ID", "NUMBER", 10, false), Column("MANAGER_ID", "NUMBER", 10),
                   Column("CODE", "VARCHAR2", 5)};
    dept.primary_key = {"PK_DEPT", "(ID)"};
    dept.unique_key = {{"UK_DEPT_CODE", "(CODE)", false, false},
                       {"UK_DEPT_MGR", "(MANAGER_ID)", true, false}};
    dept.f_key = {{"FK_DEPT_MGR", "(MANAGER_ID)", "EMP(ID)", true, false},
                  {"FK_DEPT_GONE", "(MANAGER_ID)", "GONE(ID)"}};
    dept.master_tables = {"EMP", "GONE"};
    dept.checks = {{"CK_DEPT_CODE", "CODE = UPPER(CODE)", true, true},
                   {"CK_DEPT_ID", "ID > 0", true, false},
                   {"CK_DEPT_OFF", "ID < 100", false, false},
                   {"CK_DEPT_RE", "REGEXP_LIKE(CODE, '^D')", true, true}};
    TTableRec emp;
    emp.name = "EMP";
    emp.fields = {Column("ID", "NUMBER", 10, false), Column("DEPT_ID", "NUMBER", 10),
                  Column("BOSS_ID", "NUMBER", 10)};
    emp.primary_key = {"PK_EMP", "(ID)", false};
    emp.f_key = {{"FK_EMP_DEPT", "(DEPT_ID)", "DEPT(ID)", true, true, "CASCADE"},
                 {"FK_EMP_BOSS", "(BOSS_ID)", "EMP(ID)", false, true},
                 {"FK_EMP_SETNULL", "(BOSS_ID)", "EMP(ID)", true, true, "SET NULL"}};
    emp.master_tables = {"DEPT", "EMP", "EMP"};
    TTables tables{dept, emp};
    QStringList pg = MakeScriptNew(tables, Postgres());
    const qsizetype marker = pg.indexOf(kAfterCopyMarker);
    ASSERT_GT(marker, 0);
    const QStringList before = pg.mid(0, marker);
    // Only enforced, validated keys go into the tables; the unchecked primary key waits.
    EXPECT_TRUE(before.contains("CONSTRAINT PK_DEPT PRIMARY KEY(ID)"));
    EXPECT_FALSE(before.join('\n').contains("PK_EMP"));
    EXPECT_FALSE(before.join('\n').contains("CONSTRAINT UK_"));
    EXPECT_TRUE(
        before.contains(U("-- Ограничение UK_DEPT_CODE UNIQUE(CODE) отключено в "
                          "источнике и не создается")));
    const QStringList after_pg = pg.mid(marker + 1);
    EXPECT_EQ(
        after_pg,
        QStringList({
            // The cycle is broken at DEPT -> EMP, so EMP comes first.
            U("-- PK_EMP: в источнике ключ не проверен на имеющихся строках (NOVALIDATE)"),
            "ALTER TABLE EMP ADD CONSTRAINT PK_EMP PRIMARY KEY(ID);",
            U("-- UK_DEPT_MGR: в источнике ключ не проверен на имеющихся строках (NOVALIDATE)"),
            "ALTER TABLE DEPT ADD CONSTRAINT UK_DEPT_MGR UNIQUE(MANAGER_ID);",
            "ALTER TABLE EMP ADD CONSTRAINT FK_EMP_DEPT FOREIGN KEY(DEPT_ID) REFERENCES DEPT(ID) "
            "ON DELETE CASCADE;",
            U("-- Ограничение FK_EMP_BOSS FOREIGN KEY(BOSS_ID) REFERENCES EMP(ID) отключено в "
              "источнике и не создается"),
            "ALTER TABLE EMP ADD CONSTRAINT FK_EMP_SETNULL FOREIGN KEY(BOSS_ID) REFERENCES "
            "EMP(ID) ON DELETE SET NULL;",
            "ALTER TABLE DEPT ADD CONSTRAINT FK_DEPT_MGR FOREIGN KEY(MANAGER_ID) REFERENCES "
            "EMP(ID) NOT VALID;",
            U("-- CONSTRAINT FK_DEPT_GONE FOREIGN KEY(MANAGER_ID) REFERENCES GONE(ID) (не "
              "создается: таблица GONE не переносится)"),
            "ALTER TABLE DEPT ADD CONSTRAINT CK_DEPT_CODE CHECK (CODE = upper(CODE));",
            "ALTER TABLE DEPT ADD CONSTRAINT CK_DEPT_ID CHECK (ID > 0) NOT VALID;",
            U("-- Ограничение CK_DEPT_OFF CHECK (ID < 100) отключено в источнике и не "
              "создается"),
            U("-- Ограничение CK_DEPT_RE CHECK (REGEXP_LIKE(CODE, '^D')) не создается: условие "
              "не переводится для PostgreSQL"),
        }));

    tables = {dept, emp};
    const QStringList ora = MakeScriptNew(tables, Oracle());
    const QStringList after_ora = ora.mid(ora.indexOf(kAfterCopyMarker) + 1);
    EXPECT_EQ(after_ora.filter("ALTER TABLE"),
              QStringList({
                  "ALTER TABLE EMP ADD CONSTRAINT PK_EMP PRIMARY KEY(ID) USING INDEX (CREATE "
                  "INDEX PK_EMP ON EMP(ID)) ENABLE NOVALIDATE%",
                  "ALTER TABLE DEPT ADD CONSTRAINT UK_DEPT_MGR UNIQUE(MANAGER_ID) USING INDEX "
                  "(CREATE INDEX UK_DEPT_MGR ON DEPT(MANAGER_ID)) ENABLE NOVALIDATE%",
                  "ALTER TABLE EMP ADD CONSTRAINT FK_EMP_DEPT FOREIGN KEY(DEPT_ID) REFERENCES "
                  "DEPT(ID) ON DELETE CASCADE%",
                  "ALTER TABLE EMP ADD CONSTRAINT FK_EMP_SETNULL FOREIGN KEY(BOSS_ID) REFERENCES "
                  "EMP(ID) ON DELETE SET NULL%",
                  "ALTER TABLE DEPT ADD CONSTRAINT FK_DEPT_MGR FOREIGN KEY(MANAGER_ID) "
                  "REFERENCES EMP(ID) ENABLE NOVALIDATE%",
                  "ALTER TABLE DEPT ADD CONSTRAINT CK_DEPT_CODE CHECK (CODE = UPPER(CODE))%",
                  "ALTER TABLE DEPT ADD CONSTRAINT CK_DEPT_ID CHECK (ID > 0) ENABLE NOVALIDATE%",
                  "ALTER TABLE DEPT ADD CONSTRAINT CK_DEPT_RE CHECK (REGEXP_LIKE(CODE, "
                  "'^D'))%",
              }));
}

TEST(ScriptGen, IndexesSequencesAndSequenceColumns) {
    TTableRec tb;
    tb.name = "ITEMS";
    TFieldRec amount = Column("AMOUNT", "NUMBER", 10, false, true);
    amount.scale = 2;
    TFieldRec second = Column("NO", "NUMBER", 10, true, true);
    TFieldRec guid = Column("GUID", "RAW", 16);
    guid.default_ = "SYS_GUID()";
    tb.fields = {amount, second, guid, Column("NAME", "VARCHAR2", 20)};
    tb.indexes = {{"IX_ITEMS_NAME", false, "(NAME)", {}},
                  {"UX_ITEMS", true, "(NAME,NO)", {}},
                  {"IX_ITEMS_UP", false, "(SYS_NC00005$)", {"UPPER(\"NAME\")"}}};
    const TSequenceRec plain{"ORDER_SEQ", "1",  "9999999999999999999999999999", "1", "1042",
                             "20",        false};
    const TSequenceRec down{"DOWN_SEQ", "-99999999999999999999999999", "-1", "-5", "-100", "0",
                            true};
    const TSequenceRec huge{"HUGE_SEQ", "1",  "99999999999999999999", "1", "10000000000000000000",
                            "0",        false};
    TScriptOptions options = Postgres();
    options.sequences = {plain, down, huge};
    TTables tables{tb};
    QStringList pg = MakeScriptNew(tables, options);
    const QStringList expected{
        "CREATE SEQUENCE ORDER_SEQ INCREMENT BY 1 MINVALUE 1 MAXVALUE 9223372036854775807 START "
        "WITH 1042 CACHE 20 NO CYCLE;",
        "CREATE SEQUENCE DOWN_SEQ INCREMENT BY -5 MINVALUE -9223372036854775808 MAXVALUE -1 "
        "START WITH -100 CACHE 1 CYCLE;",
        U("-- Последовательность HUGE_SEQ не создается: ее значения не помещаются в "
          "последовательность целевой БД (следующее значение 10000000000000000000, шаг 1)"),
        "",
        // A sequence-fed column with fractions keeps its type and gets a sequence of its own,
        // which the server ties to the column as it does for serial columns.
        "CREATE SEQUENCE ITEMS_AMOUNT_SEQ;",
        "CREATE TABLE ITEMS (",
        "AMOUNT NUMERIC(10,2) DEFAULT nextval('ITEMS_AMOUNT_SEQ') NOT NULL,",
        "NO BIGINT,",
        "GUID BYTEA DEFAULT decode(replace(gen_random_uuid()::text, '-', ''), 'hex'),",
        "NAME VARCHAR(20)",
        ");",
        "ALTER SEQUENCE ITEMS_AMOUNT_SEQ OWNED BY ITEMS.AMOUNT;",
        U("-- ITEMS.NO: в источнике значения выдавал генератор; в целевой БД последовательность "
          "создается только для одного столбца таблицы, этот столбец заполняется только "
          "копированием"),
        "",
        kAfterCopyMarker,
        "CREATE INDEX IX_ITEMS_NAME ON ITEMS(NAME);",
        "CREATE UNIQUE INDEX UX_ITEMS ON ITEMS(NAME,NO);",
        U("-- Индекс IX_ITEMS_UP по выражению не создается: ITEMS(UPPER(\"NAME\"))"),
    };
    EXPECT_EQ(pg, expected);

    options = Oracle();
    options.sequences = {plain, down};
    tables = {tb};
    const QStringList ora = MakeScriptNew(tables, options);
    EXPECT_EQ(ora.mid(0, 3),
              QStringList({"CREATE SEQUENCE NEWUSER.ORDER_SEQ INCREMENT BY 1 MINVALUE 1 MAXVALUE "
                           "9999999999999999999999999999 START WITH 1042 CACHE 20 NOCYCLE%",
                           "CREATE SEQUENCE NEWUSER.DOWN_SEQ INCREMENT BY -5 MINVALUE "
                           "-99999999999999999999999999 MAXVALUE -1 START WITH -100 NOCACHE "
                           "CYCLE%",
                           ""}));
    EXPECT_TRUE(ora.contains("AMOUNT NUMBER(10,2) NOT NULL,"));
    EXPECT_TRUE(ora.contains("GUID RAW(16) DEFAULT SYS_GUID(),"));
    EXPECT_TRUE(ora.contains("CREATE UNIQUE INDEX UX_ITEMS ON ITEMS(NAME,NO)%"));
    EXPECT_EQ(ora.filter("SELECT SEQ_ITEMS.NEXTVAL INTO :new.AMOUNT").size(), 1);
}

TEST(ScriptGen, ScriptSections) {
    const QString script = "CREATE TABLE A (ID INT);\n\n" + kAfterCopyMarker +
                           "\nALTER TABLE A ADD CONSTRAINT X CHECK (ID > 0);\n-- edited";
    EXPECT_EQ(ScriptBeforeCopy(script), "CREATE TABLE A (ID INT);\n");
    EXPECT_EQ(ScriptAfterCopy(script), "ALTER TABLE A ADD CONSTRAINT X CHECK (ID > 0);\n-- edited");
    // A marker line the operator indented or ended with CR still counts.
    EXPECT_EQ(ScriptAfterCopy("A\r\n  " + kAfterCopyMarker + "\r\nB"), "B");
    EXPECT_EQ(ScriptBeforeCopy("A\nB"), "A\nB");
    EXPECT_EQ(ScriptAfterCopy("A\nB"), "");
}
