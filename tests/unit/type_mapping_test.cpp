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
    EXPECT_EQ(ToPg(Field("VARCHAR2", 100, true, "N")), "VARCHAR(100) DEFAULT 'N',");
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "SYSDATE")), "TIMESTAMP DEFAULT now(),");
    EXPECT_EQ(ToOra(Field("NUMBER", 38)), "NUMBER(38),");
    EXPECT_EQ(ToOra(Field("DATE", 7, true, "sysdate")), "DATE DEFAULT sysdate,");
}

TEST(TypeMapping, PostgresTypes) {
    EXPECT_EQ(ToPg(Field("NUMBER", 10)), "BIGINT,");
    EXPECT_EQ(ToPg(Field("NUMBER", 10), 1), "INTEGER,");
    EXPECT_EQ(ToPg(Field("NUMBER", 10, true, {}, true), 1), "SERIAL,");
    EXPECT_EQ(ToPg(Field("NUMBER", 38)), "BIGINT,");
    EXPECT_EQ(ToPg(Field("FLOAT", 126)), "FLOAT,");
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
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "sysdate()")), "TIMESTAMP DEFAULT sysdate(),");
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "SYSTIMESTAMP")), "TIMESTAMP DEFAULT SYSTIMESTAMP,");
    EXPECT_EQ(ToPg(Field("NUMBER", 1, false, "0")), "BIGINT DEFAULT 0 NOT NULL,");
    EXPECT_EQ(ToPg(Field("CHAR", 1, true, "Y")), "CHAR(1) DEFAULT 'Y',");
    EXPECT_EQ(ToOra(Field("NCHAR", 2, true, "Y")), "NCHAR(2) DEFAULT 'Y',");
    EXPECT_EQ(ToOra(Field("NVARCHAR2", 4, true, "sysdate")), "NVARCHAR2(4) DEFAULT 'sysdate',");
    // A string default the catalog already quotes is not quoted twice.
    EXPECT_EQ(ToPg(Field("VARCHAR2", 1, false, "'N'")), "VARCHAR(1) DEFAULT 'N' NOT NULL,");
    // An autoincrement DATE with a default of its own gets that default only.
    EXPECT_EQ(ToPg(Field("DATE", 7, false, "SYSDATE", true)), "TIMESTAMP DEFAULT now() NOT NULL,");
    EXPECT_EQ(ToPg(Field("DATE", 7, true, "TO_DATE('2000-01-01')", true)),
              "TIMESTAMP DEFAULT TO_DATE('2000-01-01'),");
}

TEST(TypeMapping, ScaleAndFixedLength) {
    EXPECT_EQ(ToPg(Field("NUMBER", 10, true, {}, false, 2)), "NUMERIC(10,2),");
    EXPECT_EQ(ToPg(Field("NUMBER", 10, true, {}, false, 2), 1), "NUMERIC(10,2),");
    EXPECT_EQ(ToOra(Field("NUMBER", 10, false, {}, false, 2)), "NUMBER(10,2) NOT NULL,");
    EXPECT_EQ(ToPg(Field("NUMBER", 38, true, {}, false, 0)), "BIGINT,");
    EXPECT_EQ(ToOra(Field("NUMBER", 38, true, {}, false, -2)), "NUMBER(38),");
    // Sequence-fed columns stay serial: the copy resets the server's sequence afterwards.
    EXPECT_EQ(ToPg(Field("NUMBER", 10, false, {}, true, 2)), "BIGSERIAL NOT NULL,");

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
