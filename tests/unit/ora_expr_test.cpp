#include <gtest/gtest.h>

#include "ddl/default_rules.h"
#include "ddl/ora_expr.h"
#include "ddl/target_names.h"

namespace {

TFieldRec Col(const QString& name, const QString& type, const QString& change_name = {}) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.change_name = change_name;
    return field;
}

const QList<TFieldRec> kFields{
    Col("QTY", "NUMBER"),     Col("ITEM#", "NUMBER"), Col("OFFSET", "NUMBER"),
    Col("NAME", "VARCHAR2"),  Col("CODE", "CHAR"),    Col("OLD", "NUMBER", "NEW_NAME"),
    Col("Mixed", "VARCHAR2"), Col("PRICE", "NUMBER"), Col("HIRED", "DATE")};

// The PostgreSQL form, or "<none>" when the expression does not translate.
std::string Pg(const QString& expr) {
    QString out;
    if (!PgExpression(expr, kFields, TSqlNames(kDbPostgres), out)) {
        return "<none>";
    }
    return out.toStdString();
}

std::string Ora(const QString& expr) {
    return OraExpression(expr, kFields, TSqlNames(kDbOracle)).toStdString();
}

std::string PgDefault(const QString& def, const QString& type = "VARCHAR(40)",
                      const QStringList& sequences = {}) {
    TDefaultContext context;
    context.target_type = type;
    context.sequences = sequences;
    const TDefaultText result = TranslateDefault(def, context);
    switch (result.outcome) {
        case TDefaultOutcome::None:
            return "<none>";
        case TDefaultOutcome::Untranslated:
            return "<left out>";
        case TDefaultOutcome::Written:
            return result.text.toStdString();
    }
    return "";
}

std::string OraDefault(const QString& def, const QStringList& sequences = {}) {
    TDefaultContext context;
    context.db_to = kDbOracle;
    context.target_type = "NUMBER(10)";
    context.sequences = sequences;
    const TDefaultText result = TranslateDefault(def, context);
    return result.outcome == TDefaultOutcome::Written ? result.text.toStdString()
           : result.outcome == TDefaultOutcome::None  ? "<none>"
                                                      : "<left out>";
}

}  // namespace

TEST(OraExpr, ChecksAndComputedColumnsForPostgres) {
    // Columns by their target names, quoted where PostgreSQL needs it.
    EXPECT_EQ(Pg("QTY > 0"), "QTY > 0");
    EXPECT_EQ(Pg("ITEM# >= 1 AND \"OFFSET\" <> 0"), "\"ITEM#\" >= 1 AND \"OFFSET\" <> 0");
    EXPECT_EQ(Pg("old^=1"), "NEW_NAME<>1");
    EXPECT_EQ(Pg("\"Mixed\" IS NOT NULL"), "\"Mixed\" IS NOT NULL");
    EXPECT_EQ(Pg("code IN ('A', 'B''s')"), "CODE IN ('A', 'B''s')");
    EXPECT_EQ(Pg("QTY BETWEEN 1 AND 10 OR QTY IS NULL"), "QTY BETWEEN 1 AND 10 OR QTY IS NULL");
    EXPECT_EQ(Pg("CASE WHEN QTY > 0 THEN 1 ELSE 0 END = 1"),
              "CASE WHEN QTY > 0 THEN 1 ELSE 0 END = 1");
    EXPECT_EQ(Pg("NVL(QTY,0) + ABS(PRICE) > 1.5e1"), "COALESCE(QTY, 0) + abs(PRICE) > 1.5e1");
    EXPECT_EQ(Pg("ROUND(PRICE*QTY, 2)"), "round((PRICE*QTY)::numeric, 2)");
    EXPECT_EQ(Pg("UPPER(NAME) = NAME"), "upper(NAME) = NAME");
    EXPECT_EQ(Pg("NAME LIKE 'A%'"), "NAME LIKE 'A%'");
    // Oracle divides numbers exactly, PostgreSQL integers as integers.
    EXPECT_EQ(Pg("QTY / 2 > 1"), "QTY::numeric / 2::numeric > 1::numeric");
    // Concatenation keeps Oracle's reading of NULL as an empty string.
    EXPECT_EQ(Pg("NAME || ' ' || \"Mixed\""),
              "NULLIF(COALESCE(NAME, '') || ' ' || COALESCE(\"Mixed\", ''), '')");
    // '' is NULL in Oracle.
    EXPECT_EQ(Pg("NAME <> ''"), "NAME <> NULL");
    // Date and timestamp literals in the ISO form read alike on both servers.
    EXPECT_EQ(Pg("HIRED > DATE '1990-01-01' AND HIRED < timestamp '2100-01-01 00:00:00.5'"),
              "HIRED > DATE '1990-01-01' AND HIRED < TIMESTAMP '2100-01-01 00:00:00.5'");
}

TEST(OraExpr, WhatPostgresWouldReadDifferentlyIsRefused) {
    for (const char* expr :
         {"REGEXP_LIKE(NAME, '^A')", "SYSDATE > DATE '2000-01-01'", "NAME LIKE 'A\\_%'",
          "UNKNOWN_COL > 0", "QTY || NAME", "CODE || 'x'", "NAME || 'x' = 'y'", "T.QTY > 0",
          "QTY > 0 -- note", "QTY > (SELECT 1 FROM dual)", "UPPER(QTY, 1)", "QTY > :x",
          "NAME = 'open", "QTY > ()", "(QTY > 0", "HIRED > DATE '01-JAN-90'", "HIRED > DATE",
          "HIRED > TIMESTAMP '1990-01-01'"}) {
        EXPECT_EQ(Pg(expr), "<none>") << expr;
    }
}

TEST(OraExpr, OracleKeepsTheTextWithRenamesAndNoSeparator) {
    EXPECT_EQ(Ora("OLD > 0 AND \"OLD\" < 9 AND REGEXP_LIKE(NAME, '^A')"),
              "NEW_NAME > 0 AND NEW_NAME < 9 AND REGEXP_LIKE(NAME, '^A')");
    EXPECT_EQ(Ora("NAME LIKE 'A%' OR NAME LIKE N'%%b'"),
              "NAME LIKE ('A'||CHR(37)) OR NAME LIKE (NCHR(37)||NCHR(37)||N'b')");
    // Text that does not tokenize stays as the source has it.
    EXPECT_EQ(Ora("QTY > 0 -- old"), "QTY > 0 -- old");
    EXPECT_EQ(OraScriptLiteral("it's 5%"), "('it''s 5'||CHR(37))");
    EXPECT_EQ(CommentText("a\r\nb\tc 5%", kDbOracle), QString::fromUtf8("a b c 5％"));
    EXPECT_EQ(CommentText("a\nb 5%", kDbPostgres), "a b 5%");
}

TEST(DefaultRules, TheTableInEveryCaseAndSpacing) {
    EXPECT_EQ(PgDefault("SYSDATE", "TIMESTAMP"), "now()");
    EXPECT_EQ(PgDefault(" sysdate ", "TIMESTAMP"), "now()");
    EXPECT_EQ(PgDefault("SysDate\n", "TIMESTAMP"), "now()");
    EXPECT_EQ(PgDefault("trunc( sysdate )", "TIMESTAMP"), "CURRENT_DATE");
    EXPECT_EQ(PgDefault("TRUNC(SYSDATE, 'dd')", "TIMESTAMP"), "CURRENT_DATE");
    EXPECT_EQ(PgDefault("SYSTIMESTAMP", "TIMESTAMP(6)"), "now()");
    EXPECT_EQ(PgDefault("current_timestamp", "TIMESTAMP(6) WITH TIME ZONE"), "now()");
    EXPECT_EQ(PgDefault("USER"), "current_user");
    EXPECT_EQ(PgDefault("sys_context('userenv', 'session_user')"), "session_user");
    EXPECT_EQ(PgDefault("EMPTY_CLOB()", "TEXT"), "''");
    // SYS_GUID() gives 16 bytes; a text column holds them as 32 hexadecimal digits.
    EXPECT_EQ(PgDefault("SYS_GUID()", "BYTEA"),
              "decode(replace(gen_random_uuid()::text, '-', ''), 'hex')");
    EXPECT_EQ(PgDefault("sys_guid( )", "VARCHAR(32)"),
              "upper(replace(gen_random_uuid()::text, '-', ''))");
    EXPECT_EQ(PgDefault("SYS_GUID()", "BIGINT"), "<left out>");
    // Every rule of the table is one the translator finds.
    for (const TDefaultRule& rule : PgDefaultRules()) {
        EXPECT_EQ(NormalDefault(QString::fromLatin1(rule.oracle)), QLatin1String(rule.oracle));
    }
}

TEST(DefaultRules, LiteralsNullAndWhatIsLeftOut) {
    EXPECT_EQ(PgDefault("0", "BIGINT"), "0");
    EXPECT_EQ(PgDefault("(-1.5)", "NUMERIC"), "-1.5");
    EXPECT_EQ(PgDefault("2.5f", "REAL"), "2.5");
    EXPECT_EQ(PgDefault("'N' "), "'N'");
    EXPECT_EQ(PgDefault("'it''s'"), "'it''s'");
    EXPECT_EQ(PgDefault("'C:\\dir'"), "E'C:\\\\dir'");
    EXPECT_EQ(PgDefault("q'[it's]'"), "'it''s'");
    EXPECT_EQ(PgDefault("'0'", "BIGINT"), "0");
    EXPECT_EQ(PgDefault("'1,5'", "NUMERIC"), "<left out>");
    EXPECT_EQ(PgDefault("'2024-01-31'", "TIMESTAMP"), "'2024-01-31'");
    EXPECT_EQ(PgDefault("'31.01.2024'", "TIMESTAMP"), "<left out>");
    EXPECT_EQ(PgDefault("DATE '2024-01-31'", "TIMESTAMP"), "'2024-01-31'");
    EXPECT_EQ(PgDefault("'0A1b'", "BYTEA"), "E'\\\\x0A1b'");
    EXPECT_EQ(PgDefault("'xyz'", "BYTEA"), "<left out>");
    EXPECT_EQ(PgDefault("to_date('2000-12-31 23:59:58', 'yyyy-mm-dd hh24:mi:ss')", "TIMESTAMP"),
              "'2000-12-31 23:59:58'");
    EXPECT_EQ(PgDefault("TO_DATE('31-DEC-2000','DD-MON-YYYY')", "TIMESTAMP"), "<left out>");
    // NULL and the empty string (which is NULL in Oracle) write no default.
    EXPECT_EQ(PgDefault("NULL"), "<none>");
    EXPECT_EQ(PgDefault(" null "), "<none>");
    EXPECT_EQ(PgDefault("''"), "<none>");
    EXPECT_EQ(PgDefault(""), "<none>");
    for (const char* def : {"SYSDATE + 1", "sysdate()", "N", "UID", "SYS_CONTEXT('USERENV','IP')",
                            "dbms_random.value", "'open", "1 -- one"}) {
        EXPECT_EQ(PgDefault(def, "TIMESTAMP"), "<left out>") << def;
    }
}

TEST(DefaultRules, SequenceCalls) {
    EXPECT_EQ(PgDefault("\"HR\".\"ORDER_SEQ\".\"NEXTVAL\"", "BIGINT", {"ORDER_SEQ"}),
              "nextval('ORDER_SEQ')");
    EXPECT_EQ(PgDefault("order_seq.nextval", "BIGINT", {"ORDER_SEQ"}), "nextval('ORDER_SEQ')");
    EXPECT_EQ(PgDefault("\"Seq\".nextval", "BIGINT", {"Seq"}), "nextval('\"Seq\"')");
    // A sequence the script does not create (another owner's, an identity's) cannot be called.
    EXPECT_EQ(PgDefault("\"HR\".\"ISEQ$$_7301\".nextval", "BIGINT", {"ORDER_SEQ"}), "<left out>");
    EXPECT_EQ(OraDefault("\"HR\".\"ORDER_SEQ\".nextval", {"ORDER_SEQ"}), "ORDER_SEQ.NEXTVAL");
    EXPECT_EQ(OraDefault("HR.OTHER_SEQ.nextval", {"ORDER_SEQ"}), "<left out>");
    EXPECT_EQ(OraDefault("sysdate"), "sysdate");
    EXPECT_EQ(OraDefault("(NULL)"), "<none>");
    EXPECT_EQ(OraDefault("'5%'"), "('5'||CHR(37))");
}

TEST(TargetNames, OracleNamesFitThirtyBytes) {
    EXPECT_EQ(OraSequenceName("ORDERS"), "SEQ_ORDERS");
    EXPECT_EQ(OraTriggerName("ORDERS"), "ORDERS_TRIGGER");
    EXPECT_EQ(OraTriggerName("kolvans"), "TRIGGER_kolvans");
    EXPECT_EQ(OraSequenceName(QString(26, u'A')), "SEQ_" + QString(26, u'A'));
    EXPECT_EQ(OraTriggerName(QString(22, u'A')), QString(22, u'A') + "_TRIGGER");

    const QString long_a = "CUSTOMER_ORDER_HISTORY_ARCHIVE_A";
    const QString long_b = "CUSTOMER_ORDER_HISTORY_ARCHIVE_B";
    for (const QString& name : {OraSequenceName(long_a), OraTriggerName(long_a),
                                OraTriggerName(QString(23, u'T')), OraSequenceName(long_b)}) {
        EXPECT_EQ(name.toUtf8().size(), kOraNameBytes) << name.toStdString();
    }
    EXPECT_TRUE(OraSequenceName(long_a).startsWith("SEQ_CUSTOMER_ORDER_HIS"));
    EXPECT_TRUE(OraTriggerName(long_a).endsWith("_TRIGGER"));
    EXPECT_NE(OraSequenceName(long_a), OraSequenceName(long_b));
    EXPECT_EQ(OraSequenceName(long_a), OraSequenceName(long_a));
    // Bytes, not characters: Cyrillic letters take two.
    const QString cyrillic = QString::fromUtf8("ЗАКАЗЫ_ПОКУПАТЕЛЕЙ");
    const QString short_name = OraSequenceName(cyrillic);
    EXPECT_LE(short_name.toUtf8().size(), kOraNameBytes);
    EXPECT_TRUE(short_name.startsWith(QString::fromUtf8("SEQ_ЗАКАЗЫ")));
}

TEST(TargetNames, OneSequenceColumnPerTable) {
    TTableRec table;
    TFieldRec created = Col("CREATED", "DATE");
    created.autoinc = true;
    TFieldRec id = Col("ID", "NUMBER");
    id.autoinc = true;
    TFieldRec second = Col("NO", "NUMBER");
    second.autoinc = true;
    table.fields = {created, id, second};
    // A DATE before the NUMBER column has no sequence.
    ASSERT_NE(SequenceField(table), nullptr);
    EXPECT_EQ(SequenceField(table)->name, "ID");
    TFieldRec identity = Col("IDENT", "NUMBER");
    identity.identity = true;
    table.fields.append(identity);
    EXPECT_EQ(SequenceField(table)->name, "IDENT");
    table.fields = {created, Col("X", "NUMBER")};
    EXPECT_EQ(SequenceField(table), nullptr);
}
