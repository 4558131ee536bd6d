// Translation of connection strings into ODBC strings, and the named-parameter rewrite.

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "db/connection_string.h"
#include "db/odbc.h"
#include "db/odbc_statement.h"
#include "util/error.h"

namespace {

TOdbcInstalled Installed(bool with_oracle_driver) {
    TOdbcInstalled installed;
    installed.data_sources = {{QStringLiteral("ORA_EMUL"), QStringLiteral("PostgreSQL Unicode")},
                              {QStringLiteral("PG"), QStringLiteral("PostgreSQL Unicode")}};
    installed.drivers = {QStringLiteral("PostgreSQL Unicode")};
    if (with_oracle_driver) {
        installed.drivers << QStringLiteral("Instant ORACLE 19 {x}");
    }
    return installed;
}

QString ErrorOf(const QString& text, bool with_oracle_driver = false) {
    try {
        TranslateConnectString(text, Installed(with_oracle_driver));
    } catch (const TError& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

}  // namespace

TEST(ConnectString, BridgeHandsOverTheOdbcString) {
    const TOdbcInstalled none;
    EXPECT_EQ(TranslateConnectString(
                  QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended "
                                 "Properties=\"DSN=PG;UID=a;PASSWORD=p;ExtraSysTablePrefixes=;"
                                 "XaOpt=1\""),
                  none),
              "DSN=PG;UID=a;PASSWORD=p;ExtraSysTablePrefixes=;XaOpt=1");
    // The memo's line breaks and blanks around pairs, any letter case of the keys.
    EXPECT_EQ(TranslateConnectString(QStringLiteral("\r\n provider = msdasql.1 ;\r\n  extended "
                                                    "properties=\"DSN=PG;\r\n  UID=a\" ;\r\n"),
                                     none),
              "DSN=PG;UID=a");
    // Without extended properties the other pairs are the ODBC string.
    EXPECT_EQ(TranslateConnectString(
                  QStringLiteral("Provider=MSDASQL;Data Source=PG;User ID=u;Password=a"), none),
              "DSN=PG;UID=u;PWD=a");
    EXPECT_EQ(TranslateConnectString(
                  QStringLiteral("Provider=MSDASQL;Data Source=PG;Password=\"a;b\""), none),
              "DSN=PG;PWD={a;b}");
}

TEST(ConnectString, LineFeedConversionIsAlwaysOff) {
    // The dialog's fixed options ask the driver to turn LF into CR LF; text must arrive as stored.
    const TOdbcInstalled none;
    EXPECT_EQ(TranslateConnectString(
                  QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DSN=PG;"
                                 "ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1\""),
                  none),
              "DSN=PG;ExtraSysTablePrefixes=;LFConversion=0;UpdatableCursors=1");
    EXPECT_EQ(
        TranslateConnectString(
            QStringLiteral("Provider=MSDASQL;Extended Properties=\"lfconversion = 1;DSN=PG\""),
            none),
        "LFConversion =0;DSN=PG");
    // A key that merely ends in the same letters is left alone.
    EXPECT_EQ(TranslateConnectString(
                  QStringLiteral("Provider=MSDASQL;Extended Properties=\"DSN=PG;XLFConversion=1\""),
                  none),
              "DSN=PG;XLFConversion=1");
}

TEST(ConnectString, OracleFormsUseDataSourceOrDriver) {
    const QString ora = QStringLiteral(
        "Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=scott;Data "
        "Source=ora_emul;Password=\"ti;ger}\"");
    EXPECT_EQ(TranslateConnectString(ora, Installed(false)),
              "DSN=ORA_EMUL;UID=scott;PWD={ti;ger}}}");
    EXPECT_EQ(TranslateConnectString(QStringLiteral("Provider=MSDAORA.1;Password=;User ID=u;Data "
                                                    "Source=ORA_EMUL"),
                                     Installed(false)),
              "DSN=ORA_EMUL;UID=u;PWD=");
    EXPECT_EQ(TranslateConnectString(QStringLiteral("Provider=MSDAORA.1;Password='p}w';User "
                                                    "ID=u;Data Source=//host:1521/XE"),
                                     Installed(true)),
              "DRIVER={Instant ORACLE 19 {x}}};DBQ=//host:1521/XE;UID=u;PWD={p}}w}");
}

TEST(ConnectString, ClearErrors) {
    EXPECT_TRUE(ErrorOf(QStringLiteral("Provider=MSDAORA.1;User ID=u;Data Source=ORCL"))
                    .contains(QStringLiteral("Не найден ODBC-драйвер Oracle")));
    EXPECT_TRUE(ErrorOf(QStringLiteral("Provider=MSDAORA.1;User ID=u"))
                    .contains(QStringLiteral("Data Source")));
    EXPECT_TRUE(ErrorOf(QStringLiteral("Provider=SQLNCLI11;Data Source=x"))
                    .contains(QStringLiteral("SQLNCLI11")));
    EXPECT_TRUE(
        ErrorOf(QStringLiteral("DSN=PG;UID=a")).contains(QStringLiteral("не указан провайдер")));
    EXPECT_TRUE(ErrorOf(QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DSN=PG"))
                    .contains(QStringLiteral("кавычка")));
    EXPECT_TRUE(ErrorOf(QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"a\"b;"))
                    .contains(QStringLiteral("Extended Properties")));
    EXPECT_TRUE(
        ErrorOf(QStringLiteral("Provider=MSDASQL.1;garbage")).contains(QStringLiteral("garbage")));
}

TEST(ConnectString, ValuesInBraceSyntax) {
    EXPECT_EQ(OdbcValue(QStringLiteral("plain")), "plain");
    EXPECT_EQ(OdbcValue(QStringLiteral("a;b")), "{a;b}");
    EXPECT_EQ(OdbcValue(QStringLiteral("x}y{")), "{x}}y{}");
    EXPECT_EQ(OdbcValue(QStringLiteral(" pad")), "{ pad}");
}

namespace {

// The value the driver manager receives for a key of the translated string.
QString OdbcKey(const QString& text, const QString& key) {
    for (const TConnectPair& pair :
         ParseConnectString(TranslateConnectString(text, Installed(false)))) {
        if (pair.key.compare(key, Qt::CaseInsensitive) == 0) {
            return pair.value;
        }
    }
    return QStringLiteral("<none>");
}

}  // namespace

TEST(ConnectString, SetKeyKeepsEveryValueIntact) {
    const QString bridge = QStringLiteral(
        "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DSN=PG;UID=a;"
        "PASSWORD=old;DATABASE=postgres;XaOpt=1\"");
    const QString oracle =
        QStringLiteral("Provider=OraOLEDB.Oracle.1;User ID=a;Data Source=ORA_EMUL;Password=old");
    for (const QString& value :
         {QStringLiteral("a;b"), QStringLiteral("x}y{"), QStringLiteral("it's"),
          QStringLiteral("say \"hi\""), QStringLiteral("\"q"), QStringLiteral("'q"),
          QStringLiteral("back\\slash"), QStringLiteral("k=v"), QStringLiteral(" blank "),
          QStringLiteral("пароль;}")}) {
        const QString in_bridge = SetConnectKey(bridge, TConnectKey::Password, value);
        EXPECT_EQ(OdbcKey(in_bridge, "PASSWORD"), value) << in_bridge.toStdString();
        EXPECT_EQ(OdbcKey(in_bridge, "XaOpt"), "1") << in_bridge.toStdString();
        const QString in_oracle = SetConnectKey(oracle, TConnectKey::Password, value);
        EXPECT_EQ(OdbcKey(in_oracle, "PWD"), value) << in_oracle.toStdString();
        EXPECT_EQ(OdbcKey(in_oracle, "DSN"), "ORA_EMUL") << in_oracle.toStdString();
    }
    // Only the value changes; a missing key is added.
    EXPECT_EQ(SetConnectKey(bridge, TConnectKey::Database, "newdb"),
              QString(bridge).replace("DATABASE=postgres", "DATABASE=newdb"));
    EXPECT_EQ(
        SetConnectKey("Provider=MSDASQL.1;Extended Properties=\"DSN=PG\"", TConnectKey::User, "u"),
        "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;UID=u\"");
    EXPECT_EQ(SetConnectKey("Provider=MSDASQL.1;DSN=PG;User ID=a", TConnectKey::User, "b;c"),
              "Provider=MSDASQL.1;DSN=PG;User ID={b;c}");
    EXPECT_EQ(SetConnectKey(oracle, TConnectKey::Database, "x"), oracle);
    EXPECT_EQ(SetConnectKey("DSN=PG", TConnectKey::Password, "x"), "DSN=PG");
    EXPECT_THROW(
        SetConnectKey("Provider=MSDASQL.1;Extended Properties=\"DSN", TConnectKey::User, "x"),
        TError);
}

TEST(SqlParams, NamedTokensOutsideLiteralsBecomePositional) {
    QStringList names;
    EXPECT_EQ(TOdbcStatement::PositionalParams(
                  QStringLiteral("INSERT INTO t VALUES (:param, ':no', \":no\", x::int, :B2,"
                                 " :param) -- :no\n/* :no */ :last"),
                  &names),
              "INSERT INTO t VALUES (?, ':no', \":no\", x::int, ?, ?) -- :no\n/* :no */ ?");
    EXPECT_EQ(names, QStringList({"param", "B2", "param", "last"}));
    names.clear();
    EXPECT_EQ(
        TOdbcStatement::PositionalParams(QStringLiteral("SELECT 'it''s :x', a := 1, :"), &names),
        "SELECT 'it''s :x', a := 1, :");
    EXPECT_TRUE(names.isEmpty());
}

TEST(ConnectString, NewestOracleDriverIsTaken) {
    EXPECT_EQ(NewestOracleDriver({"PostgreSQL Unicode", "Oracle 12 ODBC driver",
                                  "Oracle in instantclient_21_9", "Oracle in instantclient_21_12",
                                  "Oracle 19 ODBC driver", "Oracle ODBC Driver 64-bit"}),
              "Oracle in instantclient_21_12");
    EXPECT_EQ(NewestOracleDriver({"Microsoft ODBC for Oracle", "Oracle in OraClient12Home1",
                                  "Oracle in OraDB11g_home2"}),
              "Oracle in OraClient12Home1");
    // Equal versions: the first listed.
    EXPECT_EQ(NewestOracleDriver({"ORACLE 19 a", "Oracle 19 b"}), "ORACLE 19 a");
    EXPECT_EQ(NewestOracleDriver({"PostgreSQL Unicode"}), "");

    TOdbcInstalled installed;
    installed.drivers = {"Oracle 19 ODBC driver", "Oracle in instantclient_21_12"};
    installed.data_sources = {{"ORA19", "Oracle 19 ODBC driver"}};
    const TOdbcTranslation by_driver = TranslateConnect(
        QStringLiteral("Provider=MSDAORA.1;Password=p;User ID=u;Data Source=db:1521/S"), installed);
    EXPECT_TRUE(by_driver.oracle_form);
    EXPECT_EQ(by_driver.oracle_driver, "Oracle in instantclient_21_12");
    EXPECT_EQ(by_driver.odbc, "DRIVER={Oracle in instantclient_21_12};DBQ=db:1521/S;UID=u;PWD=p");
    const TOdbcTranslation by_dsn = TranslateConnect(
        QStringLiteral("Provider=MSDAORA.1;Password=p;User ID=u;Data Source=ora19"), installed);
    EXPECT_TRUE(by_dsn.oracle_form);
    EXPECT_EQ(by_dsn.oracle_driver, "");
    EXPECT_FALSE(
        TranslateConnect(QStringLiteral("Provider=MSDASQL;Data Source=PG"), installed).oracle_form);

    // The missing driver names what to check.
    const QString missing = ErrorOf(QStringLiteral("Provider=MSDAORA.1;User ID=u;Data Source=X"));
    for (const char* word : {"Instant Client Basic", "ODBC", "odbcinst.ini", "libaio"}) {
        EXPECT_TRUE(missing.contains(QLatin1String(word))) << word;
    }
}

// The README's section on Oracle: its example strings translate as it says, with the driver of
// its odbcinst.ini entry and the data source it names.
TEST(ConnectString, ReadmeExamplesTranslateAsDocumented) {
    QFile file(QStringLiteral(SKERROW_FIXTURES_DIR "/../../README.md"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString readme = QString::fromUtf8(file.readAll());
    const qsizetype start = readme.indexOf(QStringLiteral("## Connecting to Oracle"));
    ASSERT_GE(start, 0);
    const qsizetype end = readme.indexOf(QStringLiteral("\n## "), start + 1);
    const QString section = readme.mid(start, end < 0 ? -1 : end - start);

    TOdbcInstalled installed;
    installed.drivers = {"PostgreSQL Unicode"};
    const QRegularExpression entry(QStringLiteral("^ {4}\\[([^\\]]+)\\]$"),
                                   QRegularExpression::MultilineOption);
    for (auto it = entry.globalMatch(section); it.hasNext();) {
        installed.drivers << it.next().captured(1);
    }
    ASSERT_EQ(installed.drivers.size(), 2) << "one odbcinst.ini entry";
    const QRegularExpression dsn(QStringLiteral("`\\[(\\w+)\\]` with `Driver = ([^`]+)`"));
    const QRegularExpressionMatch dsn_match = dsn.match(section.simplified());
    ASSERT_TRUE(dsn_match.hasMatch());
    installed.data_sources = {{dsn_match.captured(1), dsn_match.captured(2)}};
    EXPECT_EQ(dsn_match.captured(2), installed.drivers[1]);

    const QStringList lines = section.split(u'\n');
    int examples = 0;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (!line.startsWith(QStringLiteral("Provider="))) {
            continue;
        }
        const QString next = lines[i + 1].trimmed();
        ASSERT_TRUE(next.startsWith(QStringLiteral("-> "))) << line.toStdString();
        EXPECT_EQ(TranslateConnectString(line, installed), next.mid(3)) << line.toStdString();
        ++examples;
    }
    EXPECT_EQ(examples, 3);
    EXPECT_TRUE(section.contains(QStringLiteral("AMERICAN_AMERICA.AL32UTF8")));
}

TEST(OracleClientEnvironment, NlsLangIsUtf8) {
    const QByteArray saved = qgetenv("NLS_LANG");
    const bool had = qEnvironmentVariableIsSet("NLS_LANG");
    qunsetenv("NLS_LANG");
    PrepareOracleClientEnvironment();
    EXPECT_EQ(qgetenv("NLS_LANG"), "AMERICAN_AMERICA.AL32UTF8");
    qputenv("NLS_LANG", "RUSSIAN_RUSSIA.AL32UTF8");
    PrepareOracleClientEnvironment();
    EXPECT_EQ(qgetenv("NLS_LANG"), "RUSSIAN_RUSSIA.AL32UTF8");
    qputenv("NLS_LANG", "RUSSIAN_RUSSIA.CL8MSWIN1251");
    PrepareOracleClientEnvironment();
    EXPECT_EQ(qgetenv("NLS_LANG"), "RUSSIAN_RUSSIA.AL32UTF8");
    qputenv("NLS_LANG", "_RUSSIA.cl8mswin1251");
    PrepareOracleClientEnvironment();
    EXPECT_EQ(qgetenv("NLS_LANG"), "_RUSSIA.AL32UTF8");
    if (had) {
        qputenv("NLS_LANG", saved);
    } else {
        qunsetenv("NLS_LANG");
    }
}
