#include "transfer/query_addi.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "util/code_page.h"
#include "util/error.h"

namespace {

TTables Tables(std::initializer_list<const char*> names) {
    TTables tables;
    for (const char* name : names) {
        TTableRec table;
        table.name = QString::fromUtf8(name);
        table.query_addi = QStringLiteral("old");
        tables.append(table);
    }
    return tables;
}

class QueryAddiTest : public ::testing::Test {
protected:
    void Write(const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("addi.dat"));
    TCodePage code_page;
};

TEST_F(QueryAddiTest, MissingFileChangesNothing) {
    TTables tables = Tables({"A"});
    LoadQueryAddi(path, tables, code_page);
    EXPECT_EQ(tables[0].query_addi, "old");
}

TEST_F(QueryAddiTest, PairsApplyByNameWithoutLatinCase) {
    Write(
        "orders\r\nWHERE ID > 10\n"
        "Lines \r"  // trailing blank: no table
        "ORDER BY X\r\n"
        "Unknown\r\nWHERE 1=0\r\n"
        "ORDERS\r\nWHERE ID > 20\r\n"  // a later pair wins
        "ITEMS\r\n\r\n"                // empty addition clears
        "LINES\r\n");                  // no partner: ignored
    TTables tables = Tables({"ORDERS", "LINES", "ITEMS", "OTHER"});
    LoadQueryAddi(path, tables, code_page);
    EXPECT_EQ(tables[0].query_addi, "WHERE ID > 20");
    EXPECT_EQ(tables[1].query_addi, "old");
    EXPECT_EQ(tables[2].query_addi, "");
    EXPECT_EQ(tables[3].query_addi, "old");
}

TEST_F(QueryAddiTest, ThreeLinesApplyOnlyTheFirstPair) {
    Write("A\nWHERE 1=1\nB");
    TTables tables = Tables({"A", "B"});
    LoadQueryAddi(path, tables, code_page);
    EXPECT_EQ(tables[0].query_addi, "WHERE 1=1");
    EXPECT_EQ(tables[1].query_addi, "old");
}

TEST_F(QueryAddiTest, EncodingByByteOrderMarkElseCodePage) {
    // Only Latin letters are folded, so the Cyrillic name must match as written.
    const QString name = QStringLiteral("Счета");
    const QString addi = QStringLiteral("WHERE NAME = 'Ёж'");
    const QString text = name + QStringLiteral("\r\n") + addi + QStringLiteral("\r\n");

    QByteArray utf16le("\xff\xfe");
    QByteArray utf16be("\xfe\xff");
    for (const QChar c : text) {
        const char low = char(c.unicode() & 0xff);
        const char high = char(c.unicode() >> 8);
        utf16le.append(low).append(high);
        utf16be.append(high).append(low);
    }
    // "Счета\r\nWHERE NAME = 'Ёж'\r\n" in windows-1251.
    const QByteArray cp1251("\xd1\xf7\xe5\xf2\xe0\r\nWHERE NAME = '\xa8\xe6'\r\n");
    const QList<QByteArray> files{QByteArray("\xef\xbb\xbf") + text.toUtf8(), utf16le, utf16be,
                                  cp1251};
    for (qsizetype i = 0; i < files.size(); ++i) {
        Write(files[i]);
        TTables tables;
        tables.append(TTableRec{});
        tables[0].name = name;
        LoadQueryAddi(path, tables, code_page);
        EXPECT_EQ(tables[0].query_addi, addi) << "file " << i;
    }
}

TEST_F(QueryAddiTest, UnreadableFileFails) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("addi.dat")));
    TTables tables = Tables({"A"});
    EXPECT_THROW(LoadQueryAddi(path, tables, code_page), TFileError);
    EXPECT_EQ(tables[0].query_addi, "old");
}

}  // namespace
