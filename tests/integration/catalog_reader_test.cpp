// The catalog reader against the Oracle dictionary emulation of the test bed, reached through
// an Oracle-form connection string, so that the real detection, translation and reading paths
// run.

#include "schema/catalog_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/odbc.h"
#include "ora_emulation.h"

namespace {

TFieldRec F(const char* name, const char* type, int size, bool is_null, int scale = 0,
            const char* default_text = "", bool autoinc = false) {
    TFieldRec f;
    f.name = QLatin1String(name);
    f.data_type = QLatin1String(type);
    f.size = size;
    f.scale = scale;
    f.is_null = is_null;
    f.default_ = QLatin1String(default_text);
    f.autoinc = autoinc;
    return f;
}

// A character column and the unit of its length: "B" bytes, "C" characters.
TFieldRec C(TFieldRec f, const char* char_used) {
    f.char_used = QLatin1String(char_used);
    return f;
}

TTableRec T(const char* name, qint64 rows, QList<TFieldRec> fields, TPrimaryKey pk = {},
            QList<TUniqueKey> uk = {}, QList<TForeignKey> fk = {}, QStringList masters = {}) {
    TTableRec t;
    t.name = QLatin1String(name);
    t.rows = rows;
    t.fields = fields;
    t.primary_key = pk;
    t.unique_key = uk;
    t.f_key = fk;
    t.master_tables = masters;
    return t;
}

// The sample schema of owner SKERROW_SRC as the reader must leave it.
TTables ExpectedSample() {
    const bool N = false;
    const bool Y = true;
    return {
        T("CUSTOMERS", 4,
          {F("ID", "NUMBER", 10, N, 0, "", true), C(F("NAME", "VARCHAR2", 100, N), "C"),
           C(F("CITY", "NVARCHAR2", 50, Y), "C"), C(F("CODE", "VARCHAR2", 20, Y), "B"),
           C(F("STATUS", "CHAR", 1, Y, 0, "'N'"), "B"), F("BALANCE", "NUMBER", 12, Y, 2, "0"),
           F("CREATED", "DATE", 7, Y, 0, "sysdate"), F("RATING", "FLOAT", 126, Y),
           C(F("NOTE", "VARCHAR2", 4000, Y), "B"), F("PHOTO", "BLOB", 4000, Y)},
          {"PK_CUSTOMERS", "(ID)"},
          {{"UK_CUSTOMERS_CODE", "(CODE)"},
           {"UK_CUSTOMERS_NAME_CITY", "(NAME,CITY)", false, false}}),
        T("DOCUMENTS", 2,
          {F("DOC_ID", "NUMBER", 10, N), C(F("TITLE", "NVARCHAR2", 200, N), "C"),
           F("BODY", "BLOB", 4000, Y), F("THUMB", "BLOB", 4000, Y), F("SIGNED_AT", "DATE", 7, Y),
           F("PAGES", "NUMBER", 5, Y)}),
        T("EMPLOYEES", 3,
          {F("EMP_ID", "NUMBER", 6, N), C(F("FULL_NAME", "VARCHAR2", 150, N), "C"),
           F("MANAGER_ID", "NUMBER", 6, Y), F("SALARY", "NUMBER", 8, Y, 2),
           F("HIRED", "DATE", 7, Y)},
          {"PK_EMP", "(EMP_ID)"}, {}, {{"FK_EMP_MGR", "(MANAGER_ID)", "EMPLOYEES(EMP_ID)"}},
          {"EMPLOYEES"}),
        T("LINE_NOTES", 2,
          {F("ORDER_ID", "NUMBER", 10, N), F("LINE_NO", "NUMBER", 5, N),
           C(F("NOTE_TEXT", "VARCHAR2", 1000, Y), "C")},
          {}, {}, {{"FK_LN_OL", "(ORDER_ID,LINE_NO)", "ORDER_LINES(ORDER_ID,LINE_NO)"}},
          {"ORDER_LINES"}),
        T("ORDERS", 5,
          {F("ORDER_ID", "NUMBER", 38, N, 0, "", true), F("CUSTOMER_ID", "NUMBER", 10, N),
           C(F("CUSTOMER_CODE", "VARCHAR2", 20, Y), "B"), F("ORDER_DATE", "DATE", 7, N),
           F("TOTAL", "NUMBER", 12, Y, 2), C(F("CURRENCY", "CHAR", 3, Y), "C"),
           C(F("COMMENTS", "VARCHAR2", 2000, Y), "C")},
          {"PK_ORD", "(ORDER_ID)"}, {},
          {{"FK_ORD_CURRENCY", "(CURRENCY)", "PK_CURRENCIES"},
           {"FK_ORD_CUST", "(CUSTOMER_ID)", "CUSTOMERS(ID)"},
           {"FK_ORD_CUST_CODE", "(CUSTOMER_CODE)", "CUSTOMERS(CODE)", false, false}},
          {"CUSTOMERS", "CUSTOMERS"}),
        T("ORDER_LINES", 7,
          {F("ORDER_ID", "NUMBER", 10, N), F("LINE_NO", "NUMBER", 5, N),
           C(F("PRODUCT_CODE", "VARCHAR2", 30, N), "B"), F("QTY", "NUMBER", 10, N, 3),
           F("PRICE", "NUMBER", 12, Y, 2)},
          {"PK_OL", "(ORDER_ID,LINE_NO)"}, {{"UK_OL_PRODUCT", "(ORDER_ID,PRODUCT_CODE)"}},
          {{"FK_OL_ORD", "(ORDER_ID)", "ORDERS(ORDER_ID)"}}, {"ORDERS"}),
        T("PAYMENTS", 0,
          {F("ID", "NUMBER", 12, N), F("ORDER_ID", "NUMBER", 38, Y),
           F("AMOUNT", "NUMBER", 12, N, 2), F("CREATED", "DATE", 7, Y, 0, "", true),
           F("PAY_REF", "NUMBER", 12, Y, 0, "", true), F("ARCH_CUSTOMER_ID", "NUMBER", 10, Y)},
          {"PK_PAYMENTS", "(ID)"}, {},
          {{"FK_PAY_ARCH_CUST", "(ARCH_CUSTOMER_ID)", "PK_CUSTOMERS"},
           {"FK_PAY_ORD", "(ORDER_ID)", "ORDERS(ORDER_ID)"}},
          {"ORDERS"}),
    };
}

// Key lists as text, so that a failure shows what differs.
std::string Describe(const QString& name, const QString& columns, const QString& ref = {},
                     bool enabled = true, bool validated = true) {
    return (name + u' ' + columns + (ref.isEmpty() ? QString() : u' ' + ref) +
            (enabled ? QString() : QStringLiteral(" disabled")) +
            (validated ? QString() : QStringLiteral(" not validated")))
        .toStdString();
}
std::vector<std::string> Describe(QList<TUniqueKey> keys) {
    // Unique keys whose first columns share a position arrive in no defined order.
    std::sort(keys.begin(), keys.end(),
              [](const TUniqueKey& a, const TUniqueKey& b) { return a.name < b.name; });
    std::vector<std::string> out;
    for (const TUniqueKey& k : keys) {
        out.push_back(Describe(k.name, k.column_names, {}, k.enabled, k.validated));
    }
    return out;
}
std::vector<std::string> Describe(const QList<TForeignKey>& keys) {
    std::vector<std::string> out;
    for (const TForeignKey& k : keys) {
        out.push_back(Describe(k.name, k.fields, k.pk_name, k.enabled, k.validated));
    }
    return out;
}

void ExpectSameTable(const TTableRec& actual, const TTableRec& expected) {
    SCOPED_TRACE(expected.name.toStdString());
    EXPECT_EQ(actual.name.toStdString(), expected.name.toStdString());
    EXPECT_EQ(actual.rows, expected.rows);
    ASSERT_EQ(actual.fields.size(), expected.fields.size());
    for (qsizetype i = 0; i < expected.fields.size(); ++i) {
        const TFieldRec& a = actual.fields[i];
        const TFieldRec& e = expected.fields[i];
        SCOPED_TRACE(e.name.toStdString());
        EXPECT_EQ(a.name.toStdString(), e.name.toStdString());
        EXPECT_EQ(a.data_type.toStdString(), e.data_type.toStdString());
        EXPECT_EQ(a.size, e.size);
        EXPECT_EQ(a.scale, e.scale);
        EXPECT_EQ(a.is_null, e.is_null);
        EXPECT_EQ(a.default_.toStdString(), e.default_.toStdString());
        EXPECT_EQ(a.autoinc, e.autoinc);
        EXPECT_EQ(a.char_used.toStdString(), e.char_used.toStdString());
        EXPECT_FALSE(a.identity);
        EXPECT_FALSE(a.is_virtual);
        EXPECT_TRUE(a.change_name.isEmpty());
    }
    EXPECT_EQ(Describe(actual.primary_key.name, actual.primary_key.column_names),
              Describe(expected.primary_key.name, expected.primary_key.column_names));
    EXPECT_EQ(Describe(actual.unique_key), Describe(expected.unique_key));
    EXPECT_EQ(Describe(actual.f_key), Describe(expected.f_key));
    EXPECT_EQ(actual.master_tables.join(u',').toStdString(),
              expected.master_tables.join(u',').toStdString());
    // The NOT NULL checks are the columns' nullability; the key indexes come with the keys.
    EXPECT_TRUE(actual.checks.isEmpty());
    EXPECT_TRUE(actual.indexes.isEmpty());
    EXPECT_TRUE(actual.query_addi.isEmpty());
    EXPECT_TRUE(actual.file_copy.isEmpty());
}

class CatalogReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        const QString error = OraEmulLoad();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    // Connects as the given emulated owner and reads its schema.
    void Read(const TOraEmulUser& user, TStructRead& result) {
        connect_text_ = OraEmulConnectString(user);
        connection_.SetConnectionString(connect_text_);
        connection_.Open();
        ReadStructFrom(query_, 1, connect_text_, result);
    }

    void Switch(const char* name, const char* value) {
        const QString error = OraEmulExec(
            QStringLiteral("UPDATE ora_meta.settings SET value = '%1' WHERE name = '%2'")
                .arg(QLatin1String(value), QLatin1String(name)));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    QString connect_text_;
    TDbConnection connection_;
    TDbQuery query_{connection_};
};

TEST_F(CatalogReaderTest, ReadsTheSampleSchema) {
    TStructRead result;
    Read(kOraEmulSrc, result);

    EXPECT_TRUE(result.version_read);
    EXPECT_EQ(result.oracle_vers,
              "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
    EXPECT_FALSE(result.disable_portion_read);
    EXPECT_EQ(result.types,
              QStringList({"NUMBER", "VARCHAR2", "NVARCHAR2", "CHAR", "DATE", "FLOAT", "BLOB"}));

    const TTables expected = ExpectedSample();
    QStringList names;
    for (const TTableRec& t : result.tables) {
        names.append(t.name);
    }
    QStringList expected_names;
    for (const TTableRec& t : expected) {
        expected_names.append(t.name);
    }
    // Views (also those sorting between tables) and other owners' tables are left out. The
    // other owner HR_ARCHIVE holds an older copy with the same constraint names: its keys must
    // neither double our key columns nor stand in for our disabled PK_DOCUMENTS.
    ASSERT_EQ(names, expected_names);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        ExpectSameTable(result.tables[i], expected[i]);
    }

    // A second read starts from nothing.
    result.tables[0].fields[0].change_name = QStringLiteral("X");
    result.types.append(QStringLiteral("OLD"));
    ReadStructFrom(query_, 1, connect_text_, result);
    ASSERT_EQ(result.tables.size(), expected.size());
    ExpectSameTable(result.tables[0], expected[0]);
    EXPECT_EQ(result.types.size(), 7);
}

TEST_F(CatalogReaderTest, OldServerSwitchesPortionReadingOff) {
    Switch("version", "11g");
    TStructRead result;
    Read(kOraEmulSrc, result);
    EXPECT_TRUE(result.oracle_vers.startsWith("Oracle Database 11g Enterprise Edition"));
    EXPECT_TRUE(result.disable_portion_read);
    EXPECT_EQ(result.tables.size(), 7);
}

TEST_F(CatalogReaderTest, NameNeedingQuotesIsCounted) {
    // The count statement quotes the name, as Oracle needs for a name in mixed case with a
    // blank, and finds the table.
    Switch("quoted_table", "on");
    TStructRead result;
    Read(kOraEmulSrc, result);
    ASSERT_EQ(result.tables.size(), 8);
    EXPECT_EQ(result.tables[5].name, "ORDER_LINES");
    EXPECT_EQ(result.tables[5].rows, 7);
    EXPECT_EQ(result.tables[6].name, "Old Orders");
    EXPECT_EQ(result.tables[6].rows, 0);
    ASSERT_EQ(result.tables[6].fields.size(), 1);
    EXPECT_EQ(result.tables[6].fields[0].name, "ID");
    EXPECT_EQ(result.types.size(), 7);
}

TEST_F(CatalogReaderTest, FailedStatementKeepsWhatWasRead) {
    // A table listed in the dictionary that no query can read stops the read with the
    // server's error; the connection stays usable for the next try.
    ASSERT_TRUE(OraEmulExec("DROP TABLE skerrow_src.orders CASCADE").isEmpty());
    TStructRead result;
    EXPECT_THROW(Read(kOraEmulSrc, result), TDbError);
    ASSERT_EQ(result.tables.size(), 7);
    EXPECT_EQ(result.tables[3].name, "LINE_NOTES");
    EXPECT_EQ(result.tables[3].rows, 2);
    EXPECT_EQ(result.tables[4].name, "ORDERS");
    EXPECT_EQ(result.tables[4].fields.size(), 7);
    EXPECT_TRUE(result.tables[0].primary_key.name.isEmpty());
    EXPECT_EQ(result.types.size(), 7);

    ASSERT_TRUE(OraEmulLoad().isEmpty());
    ReadStructFrom(query_, 1, connect_text_, result);
    EXPECT_EQ(result.tables.size(), 7);
    EXPECT_EQ(result.tables[4].rows, 5);
}

TEST_F(CatalogReaderTest, SingleTableBetweenViewsAndViewsOnly) {
    TStructRead one;
    Read(kOraEmulOne, one);
    ASSERT_EQ(one.tables.size(), 1);
    ExpectSameTable(one.tables[0], T("ITEMS", 3,
                                     {F("ITEM_ID", "NUMBER", 10, false, 0, "", true),
                                      C(F("LABEL", "VARCHAR2", 50, true), "C")},
                                     {"PK_ITEMS", "(ITEM_ID)"}));
    EXPECT_EQ(one.types, QStringList({"NUMBER", "VARCHAR2"}));

    connection_.Close();
    TStructRead none;
    Read(kOraEmulNoTables, none);
    EXPECT_TRUE(none.tables.isEmpty());
    EXPECT_TRUE(none.types.isEmpty());
    EXPECT_TRUE(none.version_read);
}

TEST_F(CatalogReaderTest, OwnerTestFollowsTheConnectionString) {
    connect_text_ = OraEmulConnectString(kOraEmulSrc);
    connection_.SetConnectionString(connect_text_);
    connection_.Open();
    // The user named in another letter case still passes; a text that names no user takes
    // the session's, and reads the same defaults, triggers and keys.
    TStructRead result;
    ReadStructFrom(query_, 1, connect_text_.toUpper(), result);
    ExpectSameTable(result.tables[4], ExpectedSample()[4]);

    ReadStructFrom(query_, 1, QStringLiteral("Data Source=ORA_EMUL"), result);
    EXPECT_EQ(result.owner, "skerrow_src");
    const TTables expected = ExpectedSample();
    ASSERT_EQ(result.tables.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        ExpectSameTable(result.tables[i], expected[i]);
    }
}

TEST_F(CatalogReaderTest, NonOracleSourceIssuesNoStatement) {
    // The connection is never opened: any statement would fail.
    TStructRead result;
    result.tables.append(TTableRec{});
    result.types.append(QStringLiteral("NUMBER"));
    result.oracle_vers = QStringLiteral("kept");
    for (int kind : {0, 2}) {
        ReadStructFrom(query_, kind, OraEmulConnectString(kOraEmulSrc), result);
        EXPECT_TRUE(result.tables.isEmpty());
        EXPECT_TRUE(result.types.isEmpty());
        EXPECT_FALSE(result.version_read);
        EXPECT_FALSE(result.disable_portion_read);
        EXPECT_EQ(result.oracle_vers, "kept");
    }
}

}  // namespace
