#include <gtest/gtest.h>

#include "ddl/type_mapping.h"

namespace {

TFieldRec Field(const QString& type, int size, bool is_null = true, const QString& def = {},
                bool autoinc = false, int scale = 0) {
    TFieldRec field;
    field.name = "C";
    field.data_type = type;
    field.size = size;
    field.scale = scale;
    field.is_null = is_null;
    field.default_ = def;
    field.autoinc = autoinc;
    return field;
}

QString ToPg(const TFieldRec& field, int int_type_index = 0) {
    return GetTypeField(field, kDbOracle, kDbPostgres, int_type_index);
}

QString ToOra(const TFieldRec& field) {
    return GetTypeField(field, kDbOracle, kDbOracle, 0);
}

}  // namespace

TEST(TypeMapping, WorkedExamples) {
    EXPECT_EQ(ToPg(Field("NUMBER", 10, false, {}, true)), "BIGSERIAL NOT NULL,");
    // The catalog keeps a string default with its apostrophes.
    EXPECT_EQ(ToPg(Field("VARCHAR2", 100, true, "'N'")), "VARCHAR(100) DEFAULT 'N',");
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "SYSDATE")), "TIMESTAMP DEFAULT now(),");
    EXPECT_EQ(ToOra(Field("NUMBER", 38)), "NUMBER(38),");
    EXPECT_EQ(ToOra(Field("DATE", 7, true, "sysdate")), "DATE DEFAULT sysdate,");
}

TEST(TypeMapping, PostgresTypes) {
    EXPECT_EQ(ToPg(Field("NUMBER", 10)), "BIGINT,");
    EXPECT_EQ(ToPg(Field("NUMBER", 10), 1), "INTEGER,");
    EXPECT_EQ(ToPg(Field("NUMBER", 10, true, {}, true), 1), "SERIAL,");
    EXPECT_EQ(ToPg(Field("NUMBER", 38)), "BIGINT,");
    // Oracle's default FLOAT keeps 38 decimal digits; a double keeps 15.
    EXPECT_EQ(ToPg(Field("FLOAT", 126)), "NUMERIC,");
    EXPECT_EQ(ToPg(Field("FLOAT", 50)), "NUMERIC,");
    EXPECT_EQ(ToPg(Field("FLOAT", 49)), "DOUBLE PRECISION,");
    EXPECT_EQ(ToPg(Field("FLOAT", 1)), "DOUBLE PRECISION,");
    EXPECT_EQ(ToPg(Field("DATE", 7, false)), "TIMESTAMP NOT NULL,");
    EXPECT_EQ(ToPg(Field("DATE", 7, true, {}, true)), "TIMESTAMP DEFAULT now(),");
    EXPECT_EQ(ToPg(Field("NVARCHAR2", 30)), "VARCHAR(30),");
    EXPECT_EQ(ToPg(Field("VARCHAR", 5)), "VARCHAR(5),");
    EXPECT_EQ(ToPg(Field("BLOB", 4000)), "BYTEA,");
    EXPECT_EQ(ToPg(Field("LONG RAW", 0)), "BYTEA,");
    EXPECT_EQ(ToPg(Field("TIMESTAMP(6)", 11)), "TIMESTAMP(6),");
    EXPECT_EQ(ToPg(Field("TIMESTAMP(6) WITH TIME ZONE", 13)), "TIMESTAMP(6) WITH TIME ZONE,");
    EXPECT_EQ(ToPg(Field("number", 10)), "number,");
    EXPECT_EQ(ToPg(Field("SDO_GEOMETRY", 1)), "SDO_GEOMETRY,");
}

TEST(TypeMapping, OracleTypes) {
    EXPECT_EQ(ToOra(Field("NUMBER", 10, false)), "NUMBER(10) NOT NULL,");
    EXPECT_EQ(ToOra(Field("NUMBER", 10, true, {}, true)), "NUMBER(10),");
    EXPECT_EQ(ToOra(Field("FLOAT", 126)), "FLOAT(126),");
    EXPECT_EQ(ToOra(Field("VARCHAR2", 20)), "VARCHAR2(20),");
    EXPECT_EQ(ToOra(Field("NVARCHAR2", 20)), "NVARCHAR2(20),");
    EXPECT_EQ(ToOra(Field("DATE", 7, true, {}, true)), "DATE,");
    EXPECT_EQ(ToOra(Field("BLOB", 4000)), "BLOB,");
    EXPECT_EQ(ToOra(Field("CLOB", 4000)), "CLOB,");
    EXPECT_EQ(ToOra(Field("TIMESTAMP(6) WITH LOCAL TIME ZONE", 11)),
              "TIMESTAMP(6) WITH LOCAL TIME ZONE,");
    // Other server pairs leave the type alone.
    EXPECT_EQ(GetTypeField(Field("NUMBER", 10), kDbPostgres, kDbPostgres, 0), "NUMBER,");
    EXPECT_EQ(GetTypeField(Field("NUMBER", 10), kDbOracle, kDbUnknown, 0), "NUMBER,");
}

TEST(TypeMapping, Defaults) {
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "Sysdate")), "TIMESTAMP DEFAULT now(),");
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "SYSTIMESTAMP")), "TIMESTAMP DEFAULT now(),");
    EXPECT_EQ(ToPg(Field("NUMBER", 1, false, "0")), "BIGINT DEFAULT 0 NOT NULL,");
    EXPECT_EQ(ToPg(Field("CHAR", 1, true, "'Y'")), "CHAR(1) DEFAULT 'Y',");
    EXPECT_EQ(ToPg(Field("CLOB", 4000, true, "'x'")), "TEXT DEFAULT 'x',");
    // An expression is never quoted, NULL is no default at all.
    EXPECT_EQ(ToPg(Field("VARCHAR2", 30, true, "USER")), "VARCHAR(30) DEFAULT current_user,");
    EXPECT_EQ(ToPg(Field("VARCHAR2", 30, true, "NULL")), "VARCHAR(30),");
    EXPECT_EQ(ToOra(Field("VARCHAR2", 30, true, "NULL")), "VARCHAR2(30),");
    // What the target cannot read the same way is left out of the definition.
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "sysdate()")), "TIMESTAMP,");
    // On Oracle the catalog's text stands as it is, quoted or not.
    EXPECT_EQ(ToOra(Field("NCHAR", 2, true, "'Y'")), "NCHAR(2) DEFAULT 'Y',");
    EXPECT_EQ(ToOra(Field("NVARCHAR2", 4, true, "sysdate")), "NVARCHAR2(4) DEFAULT sysdate,");
    // A string default the catalog already quotes is not quoted twice.
    EXPECT_EQ(ToPg(Field("VARCHAR2", 1, false, "'N'")), "VARCHAR(1) DEFAULT 'N' NOT NULL,");
    // An autoincrement DATE with a default of its own gets that default only, or the current
    // time when its own cannot be written.
    EXPECT_EQ(ToPg(Field("DATE", 7, false, "SYSDATE", true)), "TIMESTAMP DEFAULT now() NOT NULL,");
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "TO_DATE('2000-01-01')", true)),
              "TIMESTAMP DEFAULT now(),");
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "TO_DATE('01.02.2000','DD.MM.YYYY')", true)),
              "TIMESTAMP DEFAULT '2000-02-01 00:00:00',");
}

TEST(TypeMapping, ScaleAndFixedLength) {
    EXPECT_EQ(ToPg(Field("NUMBER", 10, true, {}, false, 2)), "NUMERIC(10,2),");
    EXPECT_EQ(ToPg(Field("NUMBER", 10, true, {}, false, 2), 1), "NUMERIC(10,2),");
    EXPECT_EQ(ToOra(Field("NUMBER", 10, false, {}, false, 2)), "NUMBER(10,2) NOT NULL,");
    EXPECT_EQ(ToPg(Field("NUMBER", 38, true, {}, false, 0)), "BIGINT,");
    EXPECT_EQ(ToOra(Field("NUMBER", 5, true, {}, false, -2)), "NUMBER(5,-2),");
    EXPECT_EQ(ToPg(Field("NUMBER", 5, true, {}, false, -2)), "BIGINT,");
    // A sequence-fed column with a scale keeps it: a serial type would round its fractions.
    // The script gives it a sequence of its own as its default.
    EXPECT_EQ(ToPg(Field("NUMBER", 10, false, {}, true, 2)), "NUMERIC(10,2) NOT NULL,");

    EXPECT_EQ(ToPg(Field("CHAR", 3)), "CHAR(3),");
    EXPECT_EQ(ToOra(Field("CHAR", 3)), "CHAR(3),");
    EXPECT_EQ(ToPg(Field("NCHAR", 4)), "CHAR(4),");
    EXPECT_EQ(ToOra(Field("NCHAR", 4)), "NCHAR(4),");
}

TEST(TypeMapping, PostgresEquivalents) {
    EXPECT_EQ(ToPg(Field("CLOB", 4000)), "TEXT,");
    EXPECT_EQ(ToPg(Field("NCLOB", 4000)), "TEXT,");
    EXPECT_EQ(ToPg(Field("LONG", 0)), "TEXT,");
    EXPECT_EQ(ToPg(Field("RAW", 16)), "BYTEA,");
    EXPECT_EQ(ToPg(Field("BINARY_FLOAT", 4)), "REAL,");
    EXPECT_EQ(ToPg(Field("BINARY_DOUBLE", 8)), "DOUBLE PRECISION,");
    EXPECT_EQ(ToPg(Field("TIMESTAMP(3) WITH LOCAL TIME ZONE", 11)), "TIMESTAMP(3) WITH TIME ZONE,");
    EXPECT_EQ(ToPg(Field("INTERVAL YEAR(2) TO MONTH", 5)), "INTERVAL YEAR TO MONTH,");
    EXPECT_EQ(ToPg(Field("INTERVAL DAY(2) TO SECOND(6)", 11)), "INTERVAL DAY TO SECOND(6),");
    EXPECT_EQ(ToPg(Field("ROWID", 10)), "VARCHAR,");
    EXPECT_EQ(ToPg(Field("UROWID", 4000)), "VARCHAR,");
    EXPECT_EQ(ToPg(Field("XMLTYPE", 2000, false)), "XML NOT NULL,");
    EXPECT_EQ(ToPg(Field("CLOB", 4000, true, "'x'")), "TEXT DEFAULT 'x',");
}

namespace {

TFieldRec Profiled(bool fraction, const QString& max_abs, int size = 38, bool autoinc = false) {
    TFieldRec field = Field("NUMBER", size, true, {}, autoinc);
    field.profile = {true, fraction, max_abs};
    return field;
}

}  // namespace

TEST(TypeMapping, NumbersDecidedByTheirData) {
    // Fractions, and integers past 64 bits, stay exact.
    EXPECT_EQ(ToPg(Profiled(true, "12.5")), "NUMERIC,");
    EXPECT_EQ(ToPg(Profiled(false, "9223372036854775808")), "NUMERIC,");
    EXPECT_EQ(ToPg(Profiled(false, "123456789012345678901", 22)), "NUMERIC(22),");
    EXPECT_EQ(ToPg(Profiled(false, "1E+40")), "NUMERIC,");
    // Integers take the narrowest type the width choice allows.
    EXPECT_EQ(ToPg(Profiled(false, "9223372036854775807")), "BIGINT,");
    EXPECT_EQ(ToPg(Profiled(false, "2147483647"), 1), "INTEGER,");
    EXPECT_EQ(ToPg(Profiled(false, "2147483648"), 1), "BIGINT,");
    EXPECT_EQ(ToPg(Profiled(false, "00042"), 1), "INTEGER,");
    EXPECT_EQ(ToPg(Profiled(false, "5")), "BIGINT,");
    // No rows: the declared rule.
    EXPECT_EQ(ToPg(Profiled(false, "")), "BIGINT,");
    EXPECT_EQ(ToPg(Profiled(false, ""), 1), "INTEGER,");
    // A sequence column too: SERIAL would overflow, and fractions keep their type.
    EXPECT_EQ(ToPg(Profiled(false, "3000000000", 38, true), 1), "BIGSERIAL,");
    EXPECT_EQ(ToPg(Profiled(false, "30", 38, true), 1), "SERIAL,");
    EXPECT_EQ(ToPg(Profiled(true, "1.5", 38, true)), "NUMERIC,");
    // On Oracle, NUMBER(38) would round the fractions of a NUMBER without precision.
    EXPECT_EQ(ToOra(Profiled(true, "1.5")), "NUMBER,");
    EXPECT_EQ(ToOra(Profiled(false, "15")), "NUMBER(38),");
}

TEST(TypeMapping, OracleLengthUnits) {
    TFieldRec chars = Field("VARCHAR2", 100);
    chars.char_used = "C";
    EXPECT_EQ(ToOra(chars), "VARCHAR2(100 CHAR),");
    EXPECT_EQ(ToPg(chars), "VARCHAR(100),");
    chars.char_used = "B";
    EXPECT_EQ(ToOra(chars), "VARCHAR2(100),");
    TFieldRec fixed = Field("CHAR", 3);
    fixed.char_used = "C";
    EXPECT_EQ(ToOra(fixed), "CHAR(3 CHAR),");
    EXPECT_EQ(ToPg(fixed), "CHAR(3),");
    // NVARCHAR2 counts characters already and takes no unit.
    TFieldRec national = Field("NVARCHAR2", 10);
    national.char_used = "C";
    EXPECT_EQ(ToOra(national), "NVARCHAR2(10),");
    EXPECT_EQ(ToOra(Field("RAW", 16)), "RAW(16),");
}

TEST(TypeMapping, IdentityAndVirtualColumns) {
    TFieldRec id = Field("NUMBER", 10, false, "\"HR\".\"ISEQ$$_7301\".nextval");
    id.identity = true;
    EXPECT_EQ(ToPg(id), "BIGINT GENERATED BY DEFAULT AS IDENTITY NOT NULL,");
    EXPECT_EQ(ToPg(id, 1), "INTEGER GENERATED BY DEFAULT AS IDENTITY NOT NULL,");
    EXPECT_EQ(ToOra(id), "NUMBER(10) GENERATED BY DEFAULT AS IDENTITY NOT NULL,");

    const TFieldRec price = Field("NUMBER", 10, true, {}, false, 2);
    TFieldRec qty = Field("NUMBER", 5);
    qty.name = "QTY";
    TFieldRec total = Field("NUMBER", 38, true, "\"PRICE\"*\"QTY\"");
    total.name = "TOTAL";
    total.is_virtual = true;
    total.virtual_expr = "\"PRICE\"*\"QTY\"";
    TFieldRec p = price;
    p.name = "PRICE";
    const QList<TFieldRec> fields{p, qty, total};
    TColumnContext pg;
    pg.fields = &fields;
    pg.table_name = "LINES";
    // No profile says what a computed column holds, so it stays exact; its expression is no
    // default.
    TColumnDef def = ColumnDefinition(total, pg);
    EXPECT_EQ(def.text, "NUMERIC GENERATED ALWAYS AS (PRICE*QTY) STORED,");
    EXPECT_TRUE(def.notes.isEmpty());
    EXPECT_TRUE(TargetComputes(total, fields, kDbPostgres));

    TColumnContext ora = pg;
    ora.db_to = kDbOracle;
    EXPECT_EQ(ColumnDefinition(total, ora).text,
              "NUMBER GENERATED ALWAYS AS (\"PRICE\"*\"QTY\") VIRTUAL,");

    total.virtual_expr = "TO_CHAR(\"PRICE\")";
    def = ColumnDefinition(total, pg);
    EXPECT_EQ(def.text, "NUMERIC,");
    ASSERT_EQ(def.notes.size(), 1);
    EXPECT_TRUE(def.notes[0].startsWith("-- LINES.TOTAL: ")) << def.notes[0].toStdString();
    EXPECT_TRUE(def.notes[0].endsWith("TO_CHAR(\"PRICE\")"));
    EXPECT_FALSE(TargetComputes(total, fields, kDbPostgres));
    EXPECT_TRUE(TargetComputes(total, fields, kDbOracle));
    EXPECT_FALSE(TargetComputes(p, fields, kDbOracle));
}

TEST(TypeMapping, NotesNameWhatWasLeftOut) {
    TColumnContext context;
    context.table_name = "T";
    TFieldRec field = Field("DATE", 7, false, "SYSDATE +\n1/24");
    field.change_name = "D";
    TColumnDef def = ColumnDefinition(field, context);
    EXPECT_EQ(def.text, "TIMESTAMP NOT NULL,");
    // One line, so that the rest of the script stays outside the comment.
    ASSERT_EQ(def.notes.size(), 1);
    EXPECT_EQ(def.notes[0],
              QString::fromUtf8("-- T.D: значение по умолчанию не перенесено (в целевой БД у "
                                "него нет равнозначного выражения): SYSDATE + 1/24"));
}
