#include "schema/catalog_reader.h"

#include <gtest/gtest.h>

TEST(CatalogReader, AddTypeKeepsFirstOccurrenceOrder) {
    QStringList types;
    AddType(types, QStringLiteral("VARCHAR2"));
    AddType(types, QStringLiteral("NUMBER"));
    AddType(types, QStringLiteral("VARCHAR2"));
    AddType(types, QStringLiteral("NVARCHAR2"));
    AddType(types, QStringLiteral("number"));  // exact comparison
    EXPECT_EQ(types, QStringList({"VARCHAR2", "NUMBER", "NVARCHAR2", "number"}));
}

TEST(CatalogReader, UserOfTheConnectionString) {
    EXPECT_EQ(UserFromConnectString(QStringLiteral(
                  "Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=scott;"
                  "Data Source=orcl;Password=tiger")),
              "scott");
    // Keys in any case, blanks around pairs and values.
    EXPECT_EQ(UserFromConnectString(QStringLiteral("Provider=MSDAORA.1;\r\n user id = HR ;")),
              "HR");
    // A proxy login works as the user in brackets.
    EXPECT_EQ(UserFromConnectString(QStringLiteral("User ID=app_proxy[Sales]")), "Sales");
    // No user: the credentials are in the data source, or the login is the system's.
    EXPECT_EQ(UserFromConnectString(QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=x")),
              "");
    EXPECT_EQ(UserFromConnectString(QStringLiteral("Provider=OraOLEDB.Oracle.1;User ID=/")), "");
    EXPECT_EQ(UserFromConnectString(
                  QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DSN=ORA;UID=scott\"")),
              "");
    EXPECT_EQ(UserFromConnectString(QStringLiteral("User ID=\"unclosed")), "");
}
