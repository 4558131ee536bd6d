#include <gtest/gtest.h>

#include "ddl/script_gen.h"

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

}  // namespace

TEST(ScriptGen, OrdersOnOracle) {
    TTables tables{Orders()};
    const QStringList expected{
        "CREATE TABLE ORDERS (",
        "ID NUMBER(10) NOT NULL,",
        "CUSTOMER_ID NUMBER(10),",
        "CONSTRAINT PK_ORDERS PRIMARY KEY(ID),",
        "CONSTRAINT FK_ORDERS_CUST FOREIGN KEY(CUSTOMER_ID) REFERENCES CUSTOMERS(ID)",
        kOracleEnd,
        "",
        "",
        "CREATE SEQUENCE NEWUSER.SEQ_ORDERS%",
        "CREATE OR REPLACE TRIGGER NEWUSER.ORDERS_TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW "
        "BEGIN IF :new.ID IS NULL THEN  SELECT SEQ_ORDERS.NEXTVAL INTO :new.ID FROM DUAL; END "
        "IF; END;%",
        "",
    };
    EXPECT_EQ(MakeScriptNew(tables, Oracle()), expected);
}

TEST(ScriptGen, OrdersOnPostgres) {
    TTables tables{Orders()};
    const QStringList expected{
        "CREATE TABLE ORDERS (",
        "ID BIGSERIAL NOT NULL,",
        "CUSTOMER_ID BIGINT,",
        "CONSTRAINT PK_ORDERS PRIMARY KEY(ID),",
        "CONSTRAINT FK_ORDERS_CUST FOREIGN KEY(CUSTOMER_ID) REFERENCES CUSTOMERS(ID)",
        ");",
        "",
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
    EXPECT_EQ(script[1], "ID BIGINT NOT NULL");
    EXPECT_EQ(script[2], ");");
}

TEST(ScriptGen, ConstraintLinesAndTrailingComma) {
    TTableRec tb;
    tb.name = "T";
    tb.fields = {Column("A", "VARCHAR2", 5), Column("B", "CHAR", 2)};
    tb.unique_key = {{"UK_T1", "(A)"}, {"UK_T2", "(A,B)"}};
    tb.f_key = {{"FK_T", "(B)", "SYS_C001234"}};
    TTables tables{tb};
    EXPECT_EQ(
        MakeScriptNew(tables, Oracle()),
        QStringList({"CREATE TABLE T (", "A VARCHAR2(5),", "B CHAR(2),",
                     "CONSTRAINT UK_T1 UNIQUE(A),", "CONSTRAINT UK_T2 UNIQUE(A,B)", kOracleEnd,
                     kLeftOut.arg("CONSTRAINT FK_T FOREIGN KEY(B) REFERENCES SYS_C001234"), ""}));

    // On PostgreSQL too, and the key before it loses its comma.
    tb.unique_key.clear();
    TTables pg{tb};
    EXPECT_EQ(
        MakeScriptNew(pg, Postgres()),
        QStringList({"CREATE TABLE T (", "A VARCHAR(5),", "B CHAR(2)", ");",
                     kLeftOut.arg("CONSTRAINT FK_T FOREIGN KEY(B) REFERENCES SYS_C001234"), ""}));

    // A table without columns keeps its opening line as it is.
    TTableRec empty;
    empty.name = "E";
    TTables only_empty{empty};
    EXPECT_EQ(MakeScriptNew(only_empty, Postgres()), QStringList({"CREATE TABLE E (", ");", ""}));
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
    EXPECT_TRUE(list[2].startsWith("CREATE OR REPLACE TRIGGER NEWUSER.TRIGGER_kolvans BEFORE"));
    EXPECT_TRUE(list[6].startsWith("CREATE OR REPLACE TRIGGER NEWUSER.KOLVANS2_TRIGGER BEFORE"));

    TTableRec log;
    log.name = "NODE_ALERTS";
    log.fields = {Column("NOTE", "VARCHAR2", 5), Column("CREATED", "DATE", 7, true, true),
                  Column("ID", "NUMBER", 10, false, true)};
    list.clear();
    AddOraTrig(log, list, Oracle());
    EXPECT_EQ(list, QStringList({"",
                                 "CREATE OR REPLACE TRIGGER NEWUSER.TRIGGER_NODE_ALERTS BEFORE "
                                 "INSERT ON NODE_ALERTS FOR EACH ROW BEGIN IF :new.CREATED IS "
                                 "NULL THEN  SELECT sysdate INTO :new.CREATED FROM DUAL; END IF; "
                                 "END;%",
                                 ""}));

    list.clear();
    AddOraTrig(log, list, Postgres());
    AddOraTrig(Customers(), list, Oracle());
    EXPECT_TRUE(list.isEmpty());
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
        "CONSTRAINT UK_ORDERS UNIQUE(IDX,ORDER_NO),",
        "CONSTRAINT FK_ORDERS_CUST FOREIGN KEY(CUSTOMER_ID) REFERENCES CUSTOMERS(CUST_NO),",
        "CONSTRAINT FK_SELF FOREIGN KEY(ORDER_NO) REFERENCES ORDERS(ORDER_NO,IDX)",
        kOracleEnd,
        kLeftOut.arg("CONSTRAINT FK_OUT FOREIGN KEY(ORDER_NO) REFERENCES PK_ELSEWHERE"),
        "",
        "",
        "CREATE SEQUENCE NEWUSER.SEQ_ORDERS%",
        "CREATE OR REPLACE TRIGGER NEWUSER.ORDERS_TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW "
        "BEGIN IF :new.ORDER_NO IS NULL THEN  SELECT SEQ_ORDERS.NEXTVAL INTO :new.ORDER_NO FROM "
        "DUAL; END IF; END;%",
        "",
    };
    EXPECT_EQ(script, expected);
}
