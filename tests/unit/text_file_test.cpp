#include "util/text_file.h"
#include "util/code_page.h"
#include "util/error.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

}  // namespace

TEST(TextFile, SplitLines) {
    EXPECT_EQ(SplitLines(QString()), QStringList());
    EXPECT_EQ(SplitLines(QStringLiteral("a")), QStringList({"a"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\n")), QStringList({"a"}));
    EXPECT_EQ(SplitLines(QStringLiteral("\r\n")), QStringList({""}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\n\r\n")), QStringList({"a", ""}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\nb\rc\r\nd")), QStringList({"a", "b", "c", "d"}));
    // LF CR is two line ends, CR CR LF too.
    EXPECT_EQ(SplitLines(QStringLiteral("a\n\rb")), QStringList({"a", "", "b"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\r\nb")), QStringList({"a", "", "b"}));
    EXPECT_EQ(SplitLines(QStringLiteral(" x \t")), QStringList({" x \t"}));
}

TEST(TextFile, ReadDecodesByByteOrderMarkElseCodePage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TCodePage cp1251;
    const QString path = dir.filePath(QStringLiteral("addi.dat"));
    const QStringList expected = {QStringLiteral("Таблица"), QStringLiteral("WHERE id > 1")};

    WriteBytes(path, "\xD2\xE0\xE1\xEB\xE8\xF6\xE0\r\nWHERE id > 1\r\n");
    EXPECT_EQ(ReadTextLines(path, cp1251), expected);

    WriteBytes(path, "\xEF\xBB\xBF" + QStringLiteral("Таблица\nWHERE id > 1").toUtf8());
    EXPECT_EQ(ReadTextLines(path, cp1251), expected);

    const QString text = QStringLiteral("Таблица\rWHERE id > 1\r");
    QByteArray le("\xFF\xFE");
    QByteArray be("\xFE\xFF");
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        le.append(char(u & 0xFF)).append(char(u >> 8));
        be.append(char(u >> 8)).append(char(u & 0xFF));
    }
    WriteBytes(path, le);
    EXPECT_EQ(ReadTextLines(path, cp1251), expected);
    WriteBytes(path, be);
    EXPECT_EQ(ReadTextLines(path, cp1251), expected);

    WriteBytes(path, QByteArray());
    EXPECT_EQ(ReadTextLines(path, cp1251), QStringList());
}

TEST(TextFile, WriteUsesCodePageAndCrLfAndReplacesWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TCodePage cp1251;
    const QString path = dir.filePath(QStringLiteral("Skerrow.tmp"));

    WriteTextLines(path, {QStringLiteral("12"), QStringLiteral("-3"), QStringLiteral("Ж\u4E2D")},
                   cp1251);
    EXPECT_EQ(ReadBytes(path), QByteArray("12\r\n-3\r\n\xC6?\r\n"));

    // A shorter list replaces the file whole; no tail of the old one remains.
    WriteTextLines(path, {QStringLiteral("7")}, cp1251);
    EXPECT_EQ(ReadBytes(path), QByteArray("7\r\n"));
    EXPECT_EQ(ReadTextLines(path, cp1251), QStringList({"7"}));

    WriteTextLines(path, {}, cp1251);
    EXPECT_EQ(ReadBytes(path), QByteArray());
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"Skerrow.tmp"}));
}

TEST(TextFile, FailuresNameTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TCodePage cp1251;
    const QString missing = dir.filePath(QStringLiteral("missing.dat"));
    try {
        ReadTextLines(missing, cp1251);
        FAIL() << "reading a missing file succeeded";
    } catch (const TFileError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Не удалось прочитать файл ") + missing))
            << e.Message().toStdString();
    }
    const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/x.log"));
    try {
        WriteTextLines(unwritable, {QStringLiteral("x")}, cp1251);
        FAIL() << "writing into a missing folder succeeded";
    } catch (const TFileError& e) {
        EXPECT_TRUE(
            e.Message().startsWith(QStringLiteral("Не удалось записать файл ") + unwritable))
            << e.Message().toStdString();
    }
    // A folder in place of the file cannot be read either.
    EXPECT_THROW(ReadTextLines(dir.path(), cp1251), TFileError);
}
