// The COPY text of rows: escapes, UTF-8 beyond the basic plane, NULL, the bytea form, the
// numbers as the statements check them, and the column list without the target's computed
// columns.

#include <gtest/gtest.h>

#include "db/copy_text.h"
#include "memory_row.h"
#include "transfer/copy_writer.h"
#include "util/error.h"

namespace {

QByteArray Escaped(const QString& text) {
    QByteArray out;
    AppendCopyText(out, text);
    return out;
}

TEST(CopyText, EscapesAndUtf8) {
    EXPECT_EQ(Escaped("a\tb\nc\r\\d \\N"), "a\\tb\\nc\\r\\\\d \\\\N");
    EXPECT_EQ(Escaped(QString::fromUtf8("Ж€😀")), QByteArray("Ж€😀"));
    // A lone surrogate is no character.
    EXPECT_EQ(Escaped(QString(QChar(0xD800)) + "x"), QByteArray("\xEF\xBF\xBDx"));
    EXPECT_EQ(CopyTextEscaped(u"x\ty"), "x\\ty");
    QByteArray bytes;
    AppendCopyBytea(bytes, QByteArray("\x00\xff\\", 3));
    AppendCopyHex(bytes, u"AB0c");
    EXPECT_EQ(bytes, "\\\\x00ff5c\\\\xab0c");
    QByteArray ascii;
    AppendCopyAscii(ascii, u"12.50");
    AppendCopyAscii(ascii, u"\tNaN");
    EXPECT_EQ(ascii, "12.50\\tNaN");
}

TEST(CopyText, LinesReadBackIntoTheirFields) {
    const QString text = QString::fromUtf8("tab\there\\ 😀\r\n");
    QByteArray line;
    AppendCopyText(line, text);
    line += '\t';
    AppendCopyNull(line);
    line += "\t\t";
    AppendCopyText(line, u"\\N");
    EXPECT_EQ(SplitCopyLine(line, "NULL"), (QStringList{text, "NULL", "", "\\N"}));
}

TEST(CopyText, HeadsOfFieldsAgreeWithTheWholeFieldsAndCountTheirLength) {
    const QString big = QString(150, u'Я') + QStringLiteral("😀\t") + QString(300, u'€');
    const QStringList values{"short\ttab", big, QString(201, u'a'), QString(200, u'a'), "", "😀"};
    QByteArray line;
    for (const QString& value : values) {
        AppendCopyText(line, value);
        line += '\t';
    }
    AppendCopyNull(line);
    const QStringList whole = SplitCopyLine(line, "NULL");
    const std::vector<TCopyFieldHead> heads = SplitCopyLineHeads(line, 200);
    ASSERT_EQ(heads.size(), size_t(whole.size()));
    for (size_t i = 0; i < heads.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(heads[i].null, i == heads.size() - 1);
        if (heads[i].null) {
            continue;
        }
        EXPECT_EQ(heads[i].chars, whole[qsizetype(i)].size());
        EXPECT_EQ(heads[i].head, whole[qsizetype(i)].left(200));
    }
    // Only the head is kept however long the field.
    EXPECT_EQ(SplitCopyLineHeads(QByteArray(5'000'000, 'z'), 10).front().head, "zzzzzzzzzz");
}

TFieldRec Field(const QString& name, const QString& type, int scale = 0) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.scale = scale;
    return field;
}

TEST(CopyText, RowsOfEveryKind) {
    TTableRec table;
    table.name = "Old Orders";
    table.fields = {
        Field("ID", "NUMBER"),    Field("AMOUNT", "NUMBER", 2), Field("R", "BINARY_DOUBLE"),
        Field("D", "DATE"),       Field("B", "BLOB"),           Field("RAW1", "RAW"),
        Field("TXT", "VARCHAR2"), Field("N", "VARCHAR2"),       Field("TOTAL", "NUMBER")};
    table.fields[6].change_name = "NOTE";
    table.fields[8].is_virtual = true;
    table.fields[8].virtual_expr = "\"ID\"*2";
    EXPECT_EQ(CopyInSql(table), "COPY \"Old Orders\" (ID,AMOUNT,R,D,B,RAW1,NOTE,N) FROM STDIN");

    TMemoryRow row;
    row.Text("ID", "-0012")
        .Text("AMOUNT", "12.50")
        .Add(TMemoryField("R", TFieldCategory::Float, false, "1,5e+300"))
        .Text("D", "0044-03-15 12:00:00 BC")
        .Add(TMemoryField("B", TFieldCategory::LargeBinary, false, "", QByteArray("\x01\n", 2)))
        .Text("RAW1", "\\xDEAD")
        .Text("TXT", "it's\ta")
        .Null("N")
        .Text("TOTAL", "99");
    TRenderOptions options;
    options.table_name = "Old Orders";
    QByteArray out;
    AppendCopyRow(out, PlanCopyColumns(table, row, options), row, options);
    EXPECT_EQ(
        out, "-12\t12.50\t1.5e+300\t0044-03-15 12:00:00 BC\t\\\\x010a\t\\\\xdead\tit's\\ta\t\\N\n");

    // A fraction for an integer column is refused, as the statements refuse it.
    TMemoryRow bad;
    bad.Text("ID", "1.5")
        .Text("AMOUNT", "1")
        .Text("R", "1")
        .Text("D", "x")
        .Text("B", "")
        .Text("RAW1", "")
        .Text("TXT", "")
        .Text("N", "");
    EXPECT_THROW(AppendCopyRow(out, PlanCopyColumns(table, bad, options), bad, options),
                 TConvertError);
}

}  // namespace
