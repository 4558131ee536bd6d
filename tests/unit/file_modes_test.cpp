// The rights of the files the program writes, whatever the umask: the checkpoint, the log, the
// settings and the values handed to the target are the owner's alone; a checkpoint is replaced
// as a whole, never overwritten in place.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "app/settings.h"
#include "db/odbc.h"
#include "transfer/checkpoint.h"
#include "transfer/copy_engine.h"
#include "util/code_page.h"
#include "util/error.h"
#include "util/text_file.h"

namespace {

class FileModes : public ::testing::TestWithParam<mode_t> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        old_umask_ = ::umask(GetParam());
    }
    void TearDown() override { ::umask(old_umask_); }

    QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

    static unsigned Mode(const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
    }
    static void MakeWide(const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\nUser=old\n");
        file.close();
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
    }

    QTemporaryDir dir_;
    mode_t old_umask_ = 022;
    TCodePage code_page_;
};

TEST_P(FileModes, PrivateFilesAreTheOwnersWhateverTheUmask) {
    // New, and existing with wider rights: both end 0600.
    const QString checkpoint = Path("Skerrow.tmp");
    SaveTmpFile(checkpoint, TCheckpoint{3, 120, "ORDERS"}, code_page_);
    EXPECT_EQ(Mode(checkpoint), 0600u);
    MakeWide(checkpoint);
    SaveTmpFile(checkpoint, TCheckpoint{4, 0, "LINES"}, code_page_);
    EXPECT_EQ(Mode(checkpoint), 0600u);

    TTables tables;
    TDbConnection from;
    TDbConnection to;
    TDbQuery query_from(from);
    TDbTable table_from(from);
    TDbQuery query_to(to);
    TCopyEngine engine(tables, from, query_from, table_from, to, query_to);
    const QString log = Path("Skerrow.log");
    MakeWide(log);
    engine.SaveLog(log);
    EXPECT_EQ(Mode(log), 0600u);

    const QString param = Path("param1.tmp");
    WriteFileBytes(param, QByteArray("\x00\x01", 2));
    EXPECT_EQ(Mode(param), 0600u);

    const QString settings_file = Path("Skerrow.ini");
    {
        QSettings settings(settings_file, QSettings::IniFormat);
        TSettingsValues values;
        values.password = "secret";
        ASSERT_TRUE(SaveSettings(settings, values));
    }
    EXPECT_EQ(Mode(settings_file), 0600u);
    MakeWide(settings_file);
    {
        QSettings settings(settings_file, QSettings::IniFormat);
        ASSERT_TRUE(SaveSettings(settings, TSettingsValues()));
    }
    EXPECT_EQ(Mode(settings_file), 0600u);

    const QString made = Path("new.ini");
    MakeOwnerOnlyFile(made);
    EXPECT_EQ(Mode(made), 0600u);
    EXPECT_EQ(QFile(made).size(), 0);
}

TEST_P(FileModes, FilesForOtherProgramsKeepWhatTheUmaskGives) {
    const QString control = Path("T.ctl");
    WriteTextLines(control, {"LOAD DATA"}, code_page_, TFileAccess::Default);
    EXPECT_EQ(Mode(control), 0666u & ~unsigned(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Umask, FileModes, ::testing::Values(mode_t(022), mode_t(002)));

TEST(CheckpointReplace, IsANewFileNotAnOverwrite) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TCodePage code_page;
    const QString path = dir.filePath("Skerrow.tmp");
    const QString link = dir.filePath("before.tmp");
    SaveTmpFile(path, TCheckpoint{2, 500, "ORDERS"}, code_page);
    const QStringList before = ReadTextLines(path, code_page);
    // A second name of the same file: an overwrite in place would change what it shows.
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
    struct stat old_st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &old_st), 0);

    SaveTmpFile(path, TCheckpoint{3, 0, "ORDER_LINES"}, code_page);
    struct stat new_st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &new_st), 0);
    EXPECT_NE(new_st.st_ino, old_st.st_ino);
    EXPECT_EQ(ReadTextLines(link, code_page), before);
    EXPECT_EQ(ReadTmpFile(path, code_page), (TCheckpoint{3, 0, "ORDER_LINES"}));

    // A write that cannot finish leaves the last checkpoint as it was (root writes anyway).
    if (::geteuid() == 0) {
        return;
    }
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0500), 0);
    EXPECT_THROW(SaveTmpFile(path, TCheckpoint{9, 9, "X"}, code_page), TFileError);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_EQ(ReadTmpFile(path, code_page), (TCheckpoint{3, 0, "ORDER_LINES"}));
}

}  // namespace
