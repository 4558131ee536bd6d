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
