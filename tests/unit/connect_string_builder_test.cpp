#include "db/connect_string_builder.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "db/server_kind.h"

namespace {

const QString kPostgresTail = QStringLiteral(
    ";DATABASE=postgres;SSLmode=disable;ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;"
    "RowVersioning=0;ShowSystemTables=0;Fetch=100;UnknownSizes=0;MaxVarcharSize=255;"
    "MaxLongVarcharSize=8190;Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;"
    "UnknownsAsLongVarchar=0;BoolsAsChar=1;Parse=0;ExtraSysTablePrefixes=;LFConversion=1;"
    "UpdatableCursors=1;TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;"
    "LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;FetchRefcursors=0;XaOpt=1\"");

TConnectStringFields OracleFields(int provider) {
    TConnectStringFields f;
    f.provider = provider;
    f.db_oracle = QStringLiteral("orcl");
    f.user_oracle = QStringLiteral("scott");
    f.password_oracle = QStringLiteral("tiger");
    return f;
}

}  // namespace

TEST(ConnectStringBuilder, OracleProviders) {
    EXPECT_EQ(BuildConnectString(OracleFields(0)),
              "Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=scott;"
              "Data Source=orcl;Password=tiger");
    EXPECT_EQ(BuildConnectString(OracleFields(1)),
              "Provider=MSDAORA.1;Password=tiger;User ID=scott;Data Source=orcl");

    // An empty password still writes its key.
    TConnectStringFields f = OracleFields(0);
    f.password_oracle.clear();
    EXPECT_TRUE(BuildConnectString(f).endsWith(";Password="));
    f.provider = 1;
    EXPECT_TRUE(BuildConnectString(f).startsWith("Provider=MSDAORA.1;Password=;User ID=scott;"));

    // Texts go in as typed unless they would end their pair.
    f.user_oracle = QStringLiteral(" a;b ");
    f.password_oracle = QStringLiteral("it's \"x\"");
    EXPECT_TRUE(BuildConnectString(f).contains("User ID={ a;b };Data Source="));
    EXPECT_TRUE(BuildConnectString(f).startsWith("Provider=MSDAORA.1;Password=it's \"x\";"));
}

TEST(ConnectStringBuilder, PostgresProvider) {
    TConnectStringFields f;
    f.provider = 2;
    f.source = QStringLiteral("PostgreSQL35W");
    f.password_postgres = QStringLiteral("secret");
    EXPECT_EQ(BuildConnectString(f),
              "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\""
              "DSN=PostgreSQL35W;SERVER=localhost;PORT=5432;UID=postgres;PASSWORD=secret" +
                  kPostgresTail);

    // Without a password the administrator's name runs straight into the fixed options.
    f.password_postgres.clear();
    f.server = QStringLiteral("db1");
    f.port = QStringLiteral("5433");
    f.user_postgres = QStringLiteral("admin");
    EXPECT_EQ(BuildConnectString(f),
              "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\""
              "DSN=PostgreSQL35W;SERVER=db1;PORT=5433;UID=admin" +
                  kPostgresTail);

    // A password that would end its pair or the quoted ODBC string stays one value.
    f.password_postgres = QStringLiteral("p;\"q");
    EXPECT_TRUE(BuildConnectString(f).contains(";UID=admin;PASSWORD={p;\"\"q};DATABASE=postgres;"))
        << BuildConnectString(f).toStdString();
}

TEST(ConnectStringBuilder, ButtonRule) {
    TConnectStringFields f;
    EXPECT_FALSE(ButtonOkEnabled(f));  // no database, no user
    f.db_oracle = QStringLiteral("orcl");
    EXPECT_FALSE(ButtonOkEnabled(f));
    f.user_oracle = QStringLiteral("scott");
    EXPECT_TRUE(ButtonOkEnabled(f));  // the password may stay empty
    f.provider = 1;
    EXPECT_TRUE(ButtonOkEnabled(f));

    // Switching the provider re-evaluates against the other tab's fields.
    f.provider = 2;
    EXPECT_FALSE(ButtonOkEnabled(f));  // no data source
    f.source = QStringLiteral("PG");
    EXPECT_TRUE(ButtonOkEnabled(f));
    for (QString TConnectStringFields::*field :
         {&TConnectStringFields::server, &TConnectStringFields::port,
          &TConnectStringFields::user_postgres}) {
        TConnectStringFields g = f;
        (g.*field).clear();
        EXPECT_FALSE(ButtonOkEnabled(g));
    }
    f.db_oracle.clear();
    EXPECT_TRUE(ButtonOkEnabled(f));
}

TEST(ConnectStringBuilder, LoadZentor) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("orvelle.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("oracle_provider"), QStringLiteral("MSDAORA.1"));
        settings.setValue(QStringLiteral("User"), QStringLiteral("hr"));
        settings.setValue(QStringLiteral("Pass"), QStringLiteral("pw"));
        settings.setValue(QStringLiteral("DB"), QStringLiteral("prod"));
    }
    QSettings settings(path, QSettings::IniFormat);
    TConnectStringFields f;
    LoadZentor(settings, f);
    EXPECT_EQ(f.provider, 1);
    EXPECT_EQ(f.user_oracle, "hr");
    EXPECT_EQ(f.password_oracle, "pw");
    EXPECT_EQ(f.db_oracle, "prod");

    // The provider match is case-sensitive; missing values leave the fields alone.
    const QString path2 = dir.filePath(QStringLiteral("other.ini"));
    {
        QSettings s2(path2, QSettings::IniFormat);
        s2.setValue(QStringLiteral("oracle_provider"), QStringLiteral("msdaora.1"));
        s2.setValue(QStringLiteral("User"), QStringLiteral("u2"));
    }
    QSettings s2(path2, QSettings::IniFormat);
    TConnectStringFields g;
    g.db_oracle = QStringLiteral("keep");
    LoadZentor(s2, g);
    EXPECT_EQ(g.provider, 0);
    EXPECT_EQ(g.user_oracle, "u2");
    EXPECT_EQ(g.db_oracle, "keep");
    EXPECT_TRUE(g.password_oracle.isEmpty());

    // Nothing is ever written back.
    EXPECT_EQ(s2.allKeys().size(), 2);
}

TEST(ServerKind, GetTypeDb) {
    EXPECT_EQ(GetTypeDb(QString()), 0);
    EXPECT_EQ(GetTypeDb(BuildConnectString(OracleFields(0))), 1);
    EXPECT_EQ(GetTypeDb(BuildConnectString(OracleFields(1))), 1);

    TConnectStringFields f;
    f.provider = 2;
    f.source = QStringLiteral("Warehouse");
    EXPECT_EQ(GetTypeDb(BuildConnectString(f)), 0);  // "DATABASE=postgres" does not count
    f.source = QStringLiteral("my postgresql source");
    EXPECT_EQ(GetTypeDb(BuildConnectString(f)), 2);
    f.source = QStringLiteral("Corawell");
    EXPECT_EQ(GetTypeDb(BuildConnectString(f)), 1);

    // Both words: PostgreSQL wins, in any letter case.
    EXPECT_EQ(GetTypeDb(QStringLiteral("DSN=ora_on_PostgreSQL")), 2);
    EXPECT_EQ(GetTypeDb(QStringLiteral("dsn=Ora")), 1);
    // Only Latin letters are folded: a Cyrillic "а" is not an "A".
    EXPECT_EQ(GetTypeDb(QStringLiteral("DSN=orа")), 0);
}

TEST(ConnectStringBuilder, ComboSourceEnabled) {
    EXPECT_FALSE(ComboSourceEnabled({}));
    EXPECT_FALSE(ComboSourceEnabled({QStringLiteral("one")}));
    EXPECT_TRUE(ComboSourceEnabled({QStringLiteral("one"), QStringLiteral("two")}));
}
