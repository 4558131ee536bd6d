#include "app/demo_settings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "util/error.h"

namespace {

TDemoServer Server(int port) {
    TDemoServer server;
    server.port = port;
    server.admin_password = QStringLiteral("skerrow_demo");
    return server;
}

// The settings folder is the process's; it goes back to the user's when the test ends.
class TNativeSettingsFolder {
public:
    explicit TNativeSettingsFolder(const QString& folder) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    }
    ~TNativeSettingsFolder() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, user_folder_);
    }

private:
    QString user_folder_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
};

TEST(DemoSettingsTest, StringsAreTheDialogForms) {
    const TSettingsValues values = DemoSettingsValues(Server(24567));
    EXPECT_EQ(values.connect_from,
              QStringLiteral("Provider=OraOLEDB.Oracle.1;Persist Security Info=False;"
                             "User ID=skerrow_src;Data Source=ORA_EMUL;Password=src_pass"));
    EXPECT_TRUE(values.connect_to.startsWith(
        QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\""
                       "DSN=PostgreSQL_Test;SERVER=127.0.0.1;PORT=24567;UID=postgres;"
                       "PASSWORD=skerrow_demo;DATABASE=postgres;SSLmode=disable;")))
        << values.connect_to.toStdString();
    EXPECT_TRUE(values.connect_to.endsWith(QStringLiteral("XaOpt=1\"")));
    EXPECT_EQ(values.user, QStringLiteral("demo_target"));
    EXPECT_EQ(values.password, QStringLiteral("demo_pass"));
    EXPECT_EQ(values.portion_write, TSettingsValues().portion_write);
}

// The wizard opens QSettings(organisation, application) in the native format; the strings hold
// ';', '"' and '=' that the ini syntax has to carry through unchanged.
TEST(DemoSettingsTest, WizardReadsBackWhatIsWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TNativeSettingsFolder folder(dir.path());
    const QString org = QString::fromLatin1(kSettingsOrganisation);
    const QString app = QString::fromLatin1(kSettingsApplication);

    TSettingsValues written = DemoSettingsValues(Server(31000));
    written.password = QStringLiteral("p;w=\"x\", y\\z");  // the separators ini syntax escapes
    {
        QSettings settings(org, app);
        ASSERT_TRUE(SaveSettings(settings, written));
        EXPECT_TRUE(settings.fileName().startsWith(dir.path()));
    }
    QSettings settings(org, app);
    ASSERT_TRUE(QFile::exists(settings.fileName()));
    TSettingsValues read;
    LoadSettings(settings, read);
    EXPECT_EQ(read, written);
    EXPECT_TRUE(PointsAtDemo(read));
}

TEST(DemoSettingsTest, PointsAtDemoAndPortRefresh) {
    TSettingsValues values = DemoSettingsValues(Server(31000));
    const QString from = values.connect_from;
    EXPECT_TRUE(RefreshDemoPort(values, 42000));
    EXPECT_TRUE(values.connect_to.contains(QStringLiteral(";PORT=42000;UID=postgres;")));
    EXPECT_FALSE(values.connect_to.contains(QStringLiteral("31000")));
    EXPECT_EQ(values.connect_from, from);
    EXPECT_FALSE(RefreshDemoPort(values, 42000));

    // Only one string still at the demo is enough to start it.
    TSettingsValues half = values;
    half.connect_to = QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DSN=Prod;PORT=1\"");
    EXPECT_TRUE(PointsAtDemo(half));
    EXPECT_FALSE(RefreshDemoPort(half, 5));
    EXPECT_EQ(half.connect_to,
              QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DSN=Prod;PORT=1\""));

    TSettingsValues own;
    EXPECT_FALSE(PointsAtDemo(own));
    own.connect_from = QStringLiteral(
        "Provider=OraOLEDB.Oracle.1;User ID=scott;Data Source=ORA_EMUL_PROD;Password=x");
    own.connect_to =
        QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DSN=PostgreSQL_Tests\"");
    EXPECT_FALSE(PointsAtDemo(own));
}

TEST(DemoSettingsTest, ServerFromEnvironmentFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("testbed.env"));
    EXPECT_THROW(ReadDemoServer(path), TFileError);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("PGHOST=127.0.0.1\nPGPORT=23456\nPGUSER=postgres\nPGPASSWORD=a=b\n");
    file.close();
    const TDemoServer server = ReadDemoServer(path);
    EXPECT_EQ(server.port, 23456);
    EXPECT_EQ(server.admin_password, QStringLiteral("a=b"));

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("PGPORT=\n");
    file.close();
    EXPECT_THROW(ReadDemoServer(path), TFileError);
}

}  // namespace
