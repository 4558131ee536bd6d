// The catalog reader on the schema of a real application (owner SKERROW_REAL of the
// emulation): every kind of name, object and constraint state, the profile of number columns,
// the owner test against owners with similar names, the fallbacks for users without extra
// grants, and the emulation's second mode, which answers as Oracle's driver does under a
// Russian client.

#include <gtest/gtest.h>

#include "catalog_expect.h"
#include "db/odbc.h"
#include "ora_emulation.h"

namespace {

const bool N = false;
const bool Y = true;

TTables ExpectedReal() {
    return {
        TT("ACC$LEDGER", 2,
           {TF("ENTRY_ID", "NUMBER", 10, N).Profile(N, "2"),
            TF("ACC$CODE", "VARCHAR2", 10, Y).Chars("B"), TF("AMOUNT", "NUMBER", 12, Y, 2)})
            .Pk("PK_ACC_LEDGER", "(ENTRY_ID)"),
        TT("AMOUNTS", 4,
           {TF("ID", "NUMBER", 10, N).Profile(N, "4"),
            TF("RATE", "NUMBER", 38, Y).Profile(Y, "3.75"),
            TF("BIG", "NUMBER", 38, Y).Profile(N, "99999999999999999999999999999999999999"),
            TF("COUNTER", "NUMBER", 38, Y).Profile(N, "7"),
            TF("WHOLE", "NUMBER", 38, Y).Profile(N, "9223372036854775808"),
            TF("DEC", "NUMBER", 12, Y, 2)})
            .Pk("PK_AMOUNTS", "(ID)"),
        TT("ASSIGNMENTS", 2,
           {TF("ASSIGN_ID", "NUMBER", 10, N).Profile(N, "2"),
            TF("EMP_ID", "NUMBER", 6, Y).Profile(N, "999"),
            TF("TASK", "VARCHAR2", 100, Y).Chars("C"),
            TF("DEPT_ID", "NUMBER", 6, Y).Profile(N, "20")})
            .Pk("PK_ASSIGNMENTS", "(ASSIGN_ID)")
            // The key of another owner keeps its bare name, though ours has the same.
            .Fk({FK("FK_ASSIGN_EMP", "(EMP_ID)", "EMP(EMP_ID)", Y, N),
                 FK("FK_ASSIGN_REAL_DEPT", "(DEPT_ID)", "PK_DEPT")},
                {"EMP"}),
        TT("CALENDAR", 5,
           {TF("ID", "NUMBER", 5, N).Profile(N, "5"), TF("D", "DATE", 7, Y),
            TF("TS", "TIMESTAMP(6)", 11, Y), TF("TS_TZ", "TIMESTAMP(6) WITH TIME ZONE", 13, Y),
            TF("TS_LTZ", "TIMESTAMP(6) WITH LOCAL TIME ZONE", 11, Y)})
            .Pk("PK_CALENDAR", "(ID)"),
        TT("DEPT", 3,
           {TF("DEPT_ID", "NUMBER", 6, N).Profile(N, "30"),
            TF("NAME", "VARCHAR2", 50, N).Chars("C"), TF("CODE", "VARCHAR2", 10, Y).Chars("B"),
            TF("MANAGER_ID", "NUMBER", 6, Y).Profile(N, "3")})
            .Pk("PK_DEPT", "(DEPT_ID)")
            .Uk({UK("UK_DEPT_CODE", "(CODE)", N, N)})
            .Fk({FK("FK_DEPT_MGR", "(MANAGER_ID)", "EMP(EMP_ID)", Y, Y, "SET NULL")}, {"EMP"})
            .Indexes({IX("UX_DEPT_NAME", "(NAME)", Y)}),
        TT("DOC_DEFAULTS", 2,
           {TF("ID", "NUMBER", 10, N).Profile(N, "2"),
            TF("CREATED", "DATE", 7, Y).Default("SYSDATE"),
            TF("DAY", "DATE", 7, Y).Default("trunc(sysdate)"),
            TF("STAMP", "TIMESTAMP(6) WITH TIME ZONE", 13, Y).Default("SYSTIMESTAMP"),
            TF("STAMP2", "TIMESTAMP(6) WITH TIME ZONE", 13, Y).Default("CURRENT_TIMESTAMP"),
            TF("AUTHOR", "VARCHAR2", 128, Y).Chars("B").Default("USER"),
            TF("GUID", "RAW", 16, Y).Default("SYS_GUID()"),
            TF("QTY", "NUMBER", 10, Y, 2).Default("1.5"),
            TF("NEG", "NUMBER", 10, Y).Default("-1").Profile(N, "1"),
            TF("STATE", "VARCHAR2", 10, Y).Chars("C").Default("'new'"),
            TF("NOTE", "VARCHAR2", 20, Y).Chars("B").Default("NULL"),
            TF("LOGIN", "VARCHAR2", 30, Y).Chars("B").Default("SYS_CONTEXT('USERENV','OS_USER')")})
            .Pk("PK_DOC_DEFAULTS", "(ID)"),
        TT("EMP", 3,
           {TF("EMP_ID", "NUMBER", 6, N).Profile(N, "3"),
            TF("NAME", "VARCHAR2", 100, N).Chars("C").Comment("Полное имя"),
            TF("DEPT_ID", "NUMBER", 6, Y).Profile(N, "20"),
            TF("MGR_ID", "NUMBER", 6, Y).Profile(N, "3"),
            TF("SALARY", "NUMBER", 10, Y, 2).Comment("Monthly, in roubles"),
            TF("HIRED", "DATE", 7, Y)})
            .Pk("PK_EMP", "(EMP_ID)")
            .Fk({FK("FK_EMP_DEPT", "(DEPT_ID)", "DEPT(DEPT_ID)"),
                 FK("FK_EMP_MGR", "(MGR_ID)", "EMP(EMP_ID)")},
                {"DEPT", "EMP"})
            // The NOT NULL checks of EMP_ID and NAME are the columns' nullability.
            .Checks({CK("CK_EMP_HIRED", "HIRED > DATE '1990-01-01'"),
                     CK("CK_EMP_NAME", "NAME = UPPER(NAME)", N, N),
                     CK("CK_EMP_SALARY", "salary >= 0", Y, N)})
            .Indexes({IX("IX_EMP_DEPT_NAME", "(DEPT_ID,NAME)"), IX("IX_EMP_NAME", "(NAME)"),
                      IX("IX_EMP_UPPER_NAME", "(SYS_NC00007$,EMP_ID)", N, {"UPPER(\"NAME\")", ""})})
            .Comment("Сотрудники, включая O'Brien"),
        TT("EVENTS", 3,
           {TF("EVENT_ID", "NUMBER", 38, N).Identity().Profile(N, "3"),
            TF("TITLE", "VARCHAR2", 200, Y).Chars("C"), TF("PAYLOAD", "CLOB", 4000, Y)})
            .Pk("PK_EVENTS", "(EVENT_ID)"),
        TT("FLOATS", 5,
           {TF("ID", "NUMBER", 5, N).Profile(N, "5"), TF("BD", "BINARY_DOUBLE", 8, Y),
            TF("BF", "BINARY_FLOAT", 4, Y)})
            .Pk("PK_FLOATS", "(ID)"),
        TT("IOT_CODES", 2,
           {TF("CODE", "VARCHAR2", 10, N).Chars("B"), TF("LABEL", "VARCHAR2", 100, Y).Chars("C")})
            .Pk("PK_IOT_CODES", "(CODE)"),
        TT("LIMIT", 2,
           {TF("ID", "NUMBER", 10, N).Profile(N, "2"),
            TF("OFFSET", "NUMBER", 10, Y).Profile(N, "10").Comment("A word PostgreSQL reserves"),
            TF("DO", "VARCHAR2", 10, Y).Chars("B"), TF("ANALYSE", "VARCHAR2", 20, Y).Chars("B"),
            TF("VERBOSE", "CHAR", 1, Y).Chars("B"), TF("ILIKE", "VARCHAR2", 30, Y).Chars("C"),
            TF("ITEM#", "NUMBER", 5, Y).Profile(N, "7"),
            TF("ACC$LEDGER", "VARCHAR2", 20, Y).Chars("B")})
            .Pk("PK_LIMIT", "(ID)"),
        TT("LINES", 3,
           {TF("LINE_ID", "NUMBER", 10, N).Profile(N, "3"), TF("QTY", "NUMBER", 10, N, 3),
            TF("PRICE", "NUMBER", 12, N, 2),
            TF("AMOUNT", "NUMBER", 38, Y).Virtual("\"QTY\"*\"PRICE\"").Profile(Y, "99.99999")})
            .Pk("PK_LINES", "(LINE_ID)"),
        TT("Order Notes", 2,
           {TF("id", "NUMBER", 10, N).Profile(N, "2"),
            TF("Note Text", "VARCHAR2", 200, Y).Chars("C"), TF("CREATED", "DATE", 7, Y)})
            .Pk("PK_ORDER_NOTES", "(id)"),
        TT("PART_SALES", 2,
           {TF("SALE_ID", "NUMBER", 10, N).Profile(N, "2"), TF("AMOUNT", "NUMBER", 12, Y, 2)}),
        TT("STOCK#", 2,
           {TF("ITEM#", "NUMBER", 6, N).Profile(N, "2"),
            TF("QTY$", "NUMBER", 8, Y).Profile(N, "10")})
            .Pk("PK_STOCK", "(ITEM#)"),
        // Byte and character semantics give the declared length either way.
        TT("TEXTS", 2,
           {TF("ID", "NUMBER", 5, N).Profile(N, "2"), TF("B", "VARCHAR2", 12, Y).Chars("B"),
            TF("C", "VARCHAR2", 6, Y).Chars("C"), TF("FIXED", "CHAR", 4, Y).Chars("C"),
            TF("NB", "NVARCHAR2", 10, Y).Chars("C"), TF("NC", "NCHAR", 2, Y).Chars("C")})
            .Pk("PK_TEXTS", "(ID)"),
        TT("TICKETS", 3,
           {TF("TICKET_NO", "NUMBER", 10, N, 2).Autoinc(),
            TF("SUBJECT", "VARCHAR2", 100, Y).Chars("C")})
            .Pk("PK_TICKETS", "(TICKET_NO)"),
    };
}

const QStringList kRealTypes = {"NUMBER",
                                "VARCHAR2",
                                "DATE",
                                "TIMESTAMP(6)",
                                "TIMESTAMP(6) WITH TIME ZONE",
                                "TIMESTAMP(6) WITH LOCAL TIME ZONE",
                                "RAW",
                                "CLOB",
                                "BINARY_DOUBLE",
                                "BINARY_FLOAT",
                                "CHAR",
                                "NVARCHAR2",
                                "NCHAR"};

TSequences ExpectedSequences() {
    return {SEQ("SEQ_COUNTDOWN", "-999999999999999999999999999", "-1", "-5", "-25", "0", true),
            SEQ("SEQ_TICKETS", "1", "9999999999999999999999999999", "1", "4", "20", false)};
}

void ExpectModel(const TStructRead& read, const TTables& expected) {
    ASSERT_EQ(Names(read.tables), Names(expected));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Dump(read.tables[i]), Dump(expected[i]));
        EXPECT_TRUE(read.tables[i] == expected[i]) << expected[i].name.toStdString();
    }
}

class CatalogReaderRealTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        const QString error = OraEmulLoad();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    // Opens `connect_text` and reads the schema with that text as the connection string.
    void Read(const QString& connect_text, TStructRead& result) {
        connection_.Close();
        connection_.SetConnectionString(connect_text);
        connection_.Open();
        ReadStructFrom(query_, 1, connect_text, result);
    }

    void Switch(const char* name, const char* value) {
        const QString error = OraEmulExec(
            QStringLiteral("UPDATE ora_meta.settings SET value = '%1' WHERE name = '%2'")
                .arg(QLatin1String(value), QLatin1String(name)));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    // The first column of every row of `sql` on the open connection.
    QStringList Values(const QString& sql) {
        QStringList values;
        query_.SetText(sql);
        query_.Open();
        for (; !query_.Eof(); query_.Next()) {
            values << query_.Field(0).AsString();
        }
        query_.Close();
        return values;
    }

    TDbConnection connection_;
    TDbQuery query_{connection_};
};

TEST_F(CatalogReaderRealTest, ReadsEveryObjectOfTheSchema) {
    TStructRead read;
    Read(OraEmulConnectString(kOraEmulReal), read);
    EXPECT_EQ(read.owner, "skerrow_real");
    EXPECT_TRUE(read.notes.isEmpty()) << read.notes.join('\n').toStdString();
    EXPECT_FALSE(read.disable_portion_read);
    // Secondary objects listed in user_tables (an IOT overflow segment, a nested table, a text
    // index's table, a dropped table) are no tables to read; the partitioned table is one.
    ExpectModel(read, ExpectedReal());
    EXPECT_EQ(read.types, kRealTypes);
    EXPECT_EQ(Dump(read.sequences), Dump(ExpectedSequences()));
}

TEST_F(CatalogReaderRealTest, OwnersWithSimilarNamesLendNothing) {
    // Owners REAL and SKERROW are contained in the connection string (and in our name),
    // SKERROW_REAL_OLD contains our name; each has tables EMP and DEPT with defaults, keys
    // and indexes of its own, and we own insert triggers and an index on their tables.
    TStructRead read;
    Read(OraEmulConnectString(kOraEmulReal), read);
    const TTables expected = ExpectedReal();
    const int emp = Names(expected).indexOf("EMP");
    const int dept = Names(expected).indexOf("DEPT");
    ASSERT_EQ(Names(read.tables), Names(expected));
    EXPECT_EQ(Dump(read.tables[emp]), Dump(expected[emp]));
    EXPECT_EQ(Dump(read.tables[dept]), Dump(expected[dept]));

    // The user named in another letter case, or as the target of a proxy login, is the same.
    TStructRead upper;
    ReadStructFrom(query_, 1,
                   QStringLiteral("Provider=OraOLEDB.Oracle.1;User ID=proxy_app[SKERROW_REAL];"
                                  "Data Source=ORA_EMUL"),
                   upper);
    EXPECT_EQ(upper.owner, "SKERROW_REAL");
    ExpectModel(upper, expected);
}

TEST_F(CatalogReaderRealTest, DataSourceWithTheLoginReadsKeysAndDefaults) {
    // The credentials are in the data source: the string names no user, so the owner comes
    // from the session.
    TStructRead read;
    Read(OraEmulConnectStringWithoutUser(), read);
    EXPECT_EQ(read.owner, "skerrow_real");
    ASSERT_EQ(read.notes.size(), 1);
    EXPECT_TRUE(read.notes[0].contains("SELECT USER FROM dual")) << read.notes[0].toStdString();
    ExpectModel(read, ExpectedReal());

    // "/" is the operating system's login: the server names the user as well.
    TStructRead os_login;
    ReadStructFrom(query_, 1, OraEmulConnectStringWithoutUser() + ";User ID=/", os_login);
    EXPECT_EQ(os_login.owner, "skerrow_real");
    ExpectModel(os_login, ExpectedReal());
}

TEST_F(CatalogReaderRealTest, LengthsOfAMultiByteDatabaseGiveTheDeclaredSizes) {
    TStructRead multi_byte;
    Read(OraEmulConnectString(kOraEmulReal), multi_byte);
    ExpectModel(multi_byte, ExpectedReal());
    // As Oracle reports them in AL32UTF8: char_col_decl_length is derived from the bytes, so
    // it understates a byte-semantics column four times.
    EXPECT_EQ(Values("SELECT column_name || ':' || data_length || ':' || char_length || ':' || "
                     "char_col_decl_length || ':' || char_used FROM user_tab_cols WHERE "
                     "table_name = 'TEXTS' AND column_id > 1 ORDER BY column_id"),
              QStringList(
                  {"B:12:12:3:B", "C:24:6:6:C", "FIXED:16:4:4:C", "NB:20:10:10:C", "NC:4:2:2:C"}));

    // A single-byte database reports other byte lengths; the model is the same.
    Switch("charset", "CL8MSWIN1251");
    EXPECT_EQ(Values("SELECT column_name || ':' || data_length || ':' || char_col_decl_length "
                     "FROM user_tab_cols WHERE table_name = 'TEXTS' AND column_id IN (2, 3) "
                     "ORDER BY column_id"),
              QStringList({"B:12:12", "C:6:6"}));
    TStructRead read;
    ReadStructFrom(query_, 1, OraEmulConnectString(kOraEmulReal), read);
    ExpectModel(read, ExpectedReal());
}

TEST_F(CatalogReaderRealTest, VersionWithoutTheGrantOfVVersion) {
    TStructRead read;
    Switch("grant_v$version", "off");
    Read(OraEmulConnectString(kOraEmulReal), read);
    // The same banner, built from the product's row, which every user may read.
    EXPECT_EQ(read.oracle_vers,
              "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
    ASSERT_EQ(read.notes.size(), 1);
    EXPECT_TRUE(read.notes[0].contains("PRODUCT_COMPONENT_VERSION"));
    ExpectModel(read, ExpectedReal());

    Switch("grant_product_component_version", "off");
    ReadStructFrom(query_, 1, OraEmulConnectString(kOraEmulReal), read);
    EXPECT_EQ(read.oracle_vers, "Oracle Database 19.0.0.0.0");
    ASSERT_EQ(read.notes.size(), 1);
    EXPECT_TRUE(read.notes[0].contains("V$INSTANCE"));
    EXPECT_FALSE(read.disable_portion_read);

    // Nothing to read the version from: the refusal of V$VERSION comes out.
    Switch("grant_v$instance", "off");
    try {
        ReadStructFrom(query_, 1, OraEmulConnectString(kOraEmulReal), read);
        ADD_FAILURE() << "no error";
    } catch (const TDbError& error) {
        EXPECT_TRUE(error.Message().contains("ORA-00942")) << error.Message().toStdString();
    }
    EXPECT_TRUE(read.tables.isEmpty());

    // 11g through the fallback: the release still switches portioned reading off.
    Switch("grant_product_component_version", "on");
    Switch("version", "11g");
    ReadStructFrom(query_, 1, OraEmulConnectString(kOraEmulReal), read);
    EXPECT_EQ(read.oracle_vers,
              "Oracle Database 11g Enterprise Edition Release 11.2.0.4.0 - 64bit Production");
    EXPECT_TRUE(read.disable_portion_read);
}

TEST_F(CatalogReaderRealTest, ColumnsOfOlderReleases) {
    // 11g has neither user_tab_identity_cols nor the column identity_column, 10g not even
    // virtual_column (the emulation refuses them as those releases do); the read must not ask
    // for them.
    Switch("version", "11g");
    TStructRead old;
    Read(OraEmulConnectString(kOraEmulReal), old);
    EXPECT_TRUE(old.disable_portion_read);
    ASSERT_EQ(Names(old.tables), Names(ExpectedReal()));
    for (const TTableRec& t : old.tables) {
        for (const TFieldRec& f : t.fields) {
            EXPECT_FALSE(f.identity) << f.name.toStdString();
        }
    }
    EXPECT_TRUE(old.tables[Names(old.tables).indexOf("LINES")].fields[3].is_virtual);
    EXPECT_EQ(Dump(old.sequences), Dump(ExpectedSequences()));

    Switch("version", "10g");
    TStructRead older;
    ReadStructFrom(query_, 1, OraEmulConnectString(kOraEmulReal), older);
    EXPECT_EQ(older.oracle_vers,
              "Oracle Database 10g Enterprise Edition Release 10.2.0.5.0 - 64bi");
    EXPECT_TRUE(older.disable_portion_read);
    ASSERT_EQ(Names(older.tables), Names(ExpectedReal()));
    EXPECT_FALSE(older.tables[Names(older.tables).indexOf("LINES")].fields[3].is_virtual);

    // 23ai banners give 23.
    Switch("version", "23ai");
    TStructRead current;
    ReadStructFrom(query_, 1, OraEmulConnectString(kOraEmulReal), current);
    EXPECT_TRUE(current.oracle_vers.startsWith("Oracle Database 23ai Free Release 23."));
    EXPECT_FALSE(current.disable_portion_read);
    ExpectModel(current, ExpectedReal());
}

TEST_F(CatalogReaderRealTest, RussianClientModeReadsTheSameModel) {
    TStructRead plain;
    Read(OraEmulConnectString(kOraEmulReal), plain);

    TStructRead russian;
    Read(OraEmulConnectString(kOraEmulReal, kOraEmulRuDsn), russian);
    // The mode is on: numbers come with a decimal comma, the LONG columns as long text.
    EXPECT_EQ(Values("SELECT rate FROM amounts ORDER BY id"),
              QStringList({",125", "1,5", "-3,75", ""}));
    EXPECT_EQ(Values("SELECT value FROM nls_session_parameters WHERE parameter = "
                     "'NLS_NUMERIC_CHARACTERS'"),
              QStringList({", "}));
    const QStringList bodies =
        Values("SELECT trigger_body FROM user_triggers WHERE trigger_name = 'TRG_TICKETS_BI'");
    ASSERT_EQ(bodies.size(), 1);
    EXPECT_GT(bodies[0].size(), 40000);
    EXPECT_TRUE(bodies[0].endsWith("BEGIN :new.TICKET_NO := SEQ_TICKETS.NEXTVAL; END;"));

    ExpectModel(russian, ExpectedReal());
    EXPECT_EQ(russian.types, plain.types);
    EXPECT_EQ(Dump(russian.sequences), Dump(plain.sequences));
    EXPECT_EQ(russian.notes, plain.notes);
}

}  // namespace
