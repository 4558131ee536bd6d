#include "transfer/checkpoint.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "util/code_page.h"
#include "util/error.h"

namespace {

class CheckpointTest : public ::testing::Test {
protected:
    QByteArray Bytes() {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    void Write(const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QString ErrorOf(const QByteArray& bytes) {
        Write(bytes);
        try {
            ReadTmpFile(path, code_page);
        } catch (const TConvertError& e) {
            return e.Message();
        }
        return QStringLiteral("no error");
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Skerrow.tmp"));
    TCodePage code_page;
};

TEST_F(CheckpointTest, WrittenAsLinesAndReadBack) {
    SaveTmpFile(path, TCheckpoint{3, 250000, QStringLiteral("ЗАКАЗЫ")}, code_page);
    EXPECT_EQ(Bytes(), QByteArray("3\r\n250000\r\n\xc7\xc0\xca\xc0\xc7\xdb\r\n"));
    EXPECT_EQ(ReadTmpFile(path, code_page), (TCheckpoint{3, 250000, QStringLiteral("ЗАКАЗЫ")}));
    EXPECT_TRUE(QFile::exists(path));  // reading leaves the file in place

    // Replacing: no name, no third line; nothing of the old file remains.
    SaveTmpFile(path, TCheckpoint{5, 0, {}}, code_page);
    EXPECT_EQ(Bytes(), QByteArray("5\r\n0\r\n"));
    EXPECT_EQ(ReadTmpFile(path, code_page), (TCheckpoint{5, 0, {}}));

    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Skerrow.tmp")});
}

TEST_F(CheckpointTest, OlderTwoLineFilesStillRead) {
    Write("12\r\n7\r\n");
    EXPECT_EQ(ReadTmpFile(path, code_page), (TCheckpoint{12, 7, {}}));
    Write("1\n2");
    EXPECT_EQ(ReadTmpFile(path, code_page), (TCheckpoint{1, 2, {}}));
}

TEST_F(CheckpointTest, DamagedFilesFailClearly) {
    const QString short_file = ErrorOf("4\r\n");
    EXPECT_TRUE(short_file.contains(QStringLiteral("меньше двух строк")))
        << short_file.toStdString();
    EXPECT_TRUE(short_file.contains(QStringLiteral("Skerrow.tmp")));
    EXPECT_NE(ErrorOf(""), "no error");

    const QString not_number = ErrorOf("4\r\nabc\r\n");
    EXPECT_TRUE(not_number.contains(QStringLiteral("строка 2 («abc»)")))
        << not_number.toStdString();
    EXPECT_NE(ErrorOf("1.5\r\n0\r\n"), "no error");
    EXPECT_NE(ErrorOf("-1\r\n0\r\n"), "no error");
    EXPECT_NE(ErrorOf("99999999999999999999\r\n0\r\n"), "no error");
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(CheckpointTest, WriteFailureIsReported) {
    EXPECT_THROW(SaveTmpFile(dir.filePath(QStringLiteral("missing/Skerrow.tmp")),
                             TCheckpoint{1, 1, {}}, code_page),
                 TFileError);
    EXPECT_THROW(ReadTmpFile(path, code_page), TFileError);  // never written
}

}  // namespace
