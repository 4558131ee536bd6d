#include "transfer/checkpoint.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
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

TEST_F(CheckpointTest, KeyPositionKeepsEveryValueExactly) {
    TCheckpoint cp;
    cp.ind_table = 2;
    cp.copy_off = 117500;
    // A name the code page cannot hold, and key values with the separators of the file.
    cp.table_name = QStringLiteral("ЗАКАЗЫ_表");
    cp.position = TCopyPosition::Key;
    cp.key_columns = {QStringLiteral("GRP"), QStringLiteral("Col,1"), QStringLiteral("D")};
    cp.last_key = {QStringLiteral("a,b%2C\r\nЖ ' \""), QString(),
                   QStringLiteral("2024-01-05 10:07:09.25")};
    cp.previous_rows = 250000;
    cp.after_copy_size = 42;
    SaveTmpFile(path, cp, code_page);
    EXPECT_EQ(ReadTmpFile(path, code_page), cp);
    const QByteArray bytes = Bytes();
    // The first lines keep the layout older versions read.
    EXPECT_TRUE(bytes.startsWith("2\r\n117500\r\n\xc7\xc0\xca\xc0\xc7\xdb_?\r\nposition=KEY\r\n"))
        << bytes.toStdString();
    EXPECT_TRUE(bytes.contains(
        "\r\nlast=a%2Cb%252C%0D%0A%D0%96%20%27%20%22,,2024-01-05%2010%3A07%3A09.25\r\n"))
        << bytes.toStdString();

    for (const TCopyPosition position :
         {TCopyPosition::Start, TCopyPosition::Restart, TCopyPosition::AfterCopy}) {
        TCheckpoint other = cp;
        other.position = position;
        other.copy_off = position == TCopyPosition::Start ? 0 : 5;
        other.last_key.clear();
        if (position != TCopyPosition::Start) {
            other.key_columns.clear();
        }
        SaveTmpFile(path, other, code_page);
        EXPECT_EQ(ReadTmpFile(path, code_page), other);
    }
}

TEST_F(CheckpointTest, DamagedPositionsAreRefused) {
    const QByteArray head = "1\r\n10\r\nT\r\n";
    for (const QByteArray& tail : {
             QByteArray("position=KEY\r\nkey=ID\r\n"),             // no last key
             QByteArray("position=KEY\r\nkey=A,B\r\nlast=1\r\n"),  // fewer values than columns
             QByteArray("position=KEY\r\nlast=1\r\n"),             // no key columns
             QByteArray("position=START\r\nkey=ID\r\n"),           // rows, yet from the start
             QByteArray("position=SIDEWAYS\r\n"),
             QByteArray("position=KEY\r\nkey=ID\r\nlast=%ZZ\r\n"),
             QByteArray("position=KEY\r\nkey=ID\r\nlast=%FF\r\n"),  // not UTF-8
             QByteArray("position=KEY\r\nkey=ID\r\nlast=1 2\r\n"),
             QByteArray("position=RESTART\r\nprevious=-2\r\n"),
             QByteArray("just some words\r\n"),
         }) {
        EXPECT_NE(ErrorOf(head + tail), "no error") << tail.toStdString();
    }
    // Names a later version may add are passed over.
    Write(head + "position=RESTART\r\nsomething_new=1\r\n");
    EXPECT_EQ(ReadTmpFile(path, code_page).position, TCopyPosition::Restart);
}

// Both ways of reaching the disk: written whole, renamed into place, owner only.
class CheckpointWriteTest : public CheckpointTest,
                            public ::testing::WithParamInterface<TFileSync> {};

TEST_P(CheckpointWriteTest, ReplacedWholeAndReadableByTheOwnerOnly) {
    const TFileSync sync = GetParam();
    // What a process that died while writing left beside (the cached way writes there first):
    // readable by all, half written.
    if (sync == TFileSync::Cached) {
        QFile left(path + QStringLiteral(".new"));
        ASSERT_TRUE(left.open(QIODevice::WriteOnly));
        left.write("7\r\n");
        left.setPermissions(left.permissions() | QFileDevice::ReadOther);
    }
    SaveTmpFile(path, TCheckpoint{1, 1, {}}, code_page, sync);
    EXPECT_EQ(Bytes(), QByteArray("1\r\n1\r\n"));
    // A reader of the old file still reads the old file: the new one took its name, it was not
    // written over it.
    QFile old_file(path);
    ASSERT_TRUE(old_file.open(QIODevice::ReadOnly));
    for (const mode_t mask : {mode_t(022), mode_t(002)}) {
        const mode_t previous = umask(mask);
        SaveTmpFile(path, TCheckpoint{7, 1234567, QStringLiteral("LONGER_NAME")}, code_page, sync);
        umask(previous);
        EXPECT_EQ(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    EXPECT_EQ(old_file.readAll(), QByteArray("1\r\n1\r\n"));

    // A file that was wider is narrowed; the section beside it is private too.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther);
    SaveTmpFile(path, TCheckpoint{7, 1, {}}, code_page, sync);
    EXPECT_EQ(ReadTmpFile(path, code_page), (TCheckpoint{7, 1, {}}));
    EXPECT_FALSE(QFile::permissions(path) & QFileDevice::ReadOther);
    const QString section = QStringLiteral("ALTER TABLE \"Заказы\" ADD CONSTRAINT fk_1 ...;\r\n");
    SaveAfterCopyFile(path, section);
    EXPECT_EQ(ReadAfterCopyFile(path), section);
    EXPECT_EQ(
        QFile::permissions(AfterCopyFile(path)) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
        QFileDevice::Permissions());
    RemoveTmpFiles(path);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

TEST_P(CheckpointWriteTest, WriteFailureIsReported) {
    EXPECT_THROW(SaveTmpFile(dir.filePath(QStringLiteral("missing/Skerrow.tmp")),
                             TCheckpoint{1, 1, {}}, code_page, GetParam()),
                 TFileError);
    EXPECT_THROW(ReadTmpFile(path, code_page), TFileError);  // never written
}

INSTANTIATE_TEST_SUITE_P(Sync, CheckpointWriteTest,
                         ::testing::Values(TFileSync::Durable, TFileSync::Cached));

}  // namespace
