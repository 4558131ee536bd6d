// Text the window shows: grouped digits, where the passwords of a connection string stand, and
// a connection string read back into the fields of the connection-string dialog.

#include <gtest/gtest.h>

#include <limits>

#include "db/connect_string_builder.h"
#include "db/connect_string_fields.h"
#include "util/number_text.h"
#include "util/secrets.h"

namespace {

QString Spaced(const char* text) {
    return QString::fromUtf8(text).replace(u' ', QChar(kDigitGroupSeparator));
}

QStringList SpanTexts(const QString& text) {
    QStringList texts;
    for (const TSecretSpan& span : SecretSpans(text)) {
        texts << text.mid(span.begin, span.end - span.begin);
    }
    return texts;
}

TEST(GroupDigits, GroupsOfThreeFromTheRight) {
    EXPECT_EQ(GroupDigits(0), "0");
    EXPECT_EQ(GroupDigits(999), "999");
    EXPECT_EQ(GroupDigits(1000), Spaced("1 000"));
    EXPECT_EQ(GroupDigits(250000), Spaced("250 000"));
    EXPECT_EQ(GroupDigits(3000000005LL), Spaced("3 000 000 005"));
    EXPECT_EQ(GroupDigits(-1234567), Spaced("-1 234 567"));
    EXPECT_EQ(GroupDigits(std::numeric_limits<qint64>::min()),
              Spaced("-9 223 372 036 854 775 808"));
    // Only whole numbers are grouped; anything else is shown as it is.
    EXPECT_EQ(GroupDigitsText("12345"), Spaced("12 345"));
    for (const char* text : {"", "-", "12.5", "1e6", " 1234", "1234 ", "(ID)", "7 [0]"}) {
        EXPECT_EQ(GroupDigitsText(text), text) << text;
    }
}

TEST(SecretSpans, ThePasswordsMaskSecretsReplaces) {
    TConnectStringFields f;
    f.provider = kProviderPostgres;
    f.source = "PostgreSQL_Test";
    f.password_postgres = "p;w\"d";
    const QString pg = BuildConnectString(f);
    // The braced value with its doubled quote: the whole of it, braces included.
    EXPECT_EQ(SpanTexts(pg), QStringList({"{p;w\"\"d}"}));

    const QString ora = "Provider=OraOLEDB.Oracle.1;User ID=scott;Data Source=orcl;Password=tiger";
    EXPECT_EQ(SpanTexts(ora), QStringList({"tiger"}));
    EXPECT_EQ(SpanTexts("Provider=MSDAORA.1;Password=;User ID=scott"), QStringList());
    EXPECT_EQ(SpanTexts("User ID=scott/tiger@orcl;PWD=x"), QStringList({"scott/tiger@orcl", "x"}));
    // Spans are what MaskSecrets replaces, and no other text.
    for (const QString& text : {pg, ora}) {
        QString masked = text;
        const QList<TSecretSpan> spans = SecretSpans(text);
        for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
            masked.replace(it->begin, it->end - it->begin, "***");
        }
        EXPECT_EQ(masked, MaskSecrets(text));
    }
}

TEST(ReadConnectStringFields, EveryBuiltFormComesBack) {
    TConnectStringFields oracle;
    oracle.provider = kProviderMsDaOra;
    oracle.db_oracle = "host:1521/ORCL";
    oracle.user_oracle = "scott";
    oracle.password_oracle = " pass;{word} ";
    TConnectStringFields postgres;
    postgres.provider = kProviderPostgres;
    postgres.source = "PostgreSQL Test";
    postgres.server = "db.example";
    postgres.port = "5433";
    postgres.user_postgres = "admin";
    postgres.password_postgres = "a\"b;c=d";
    for (TConnectStringFields built : {oracle, postgres}) {
        for (int provider : {kProviderOraOleDb, kProviderMsDaOra}) {
            if (built.provider != kProviderPostgres) {
                built.provider = provider;
            }
            // Start from other fields: every value of the string replaces them.
            TConnectStringFields read;
            read.server = "elsewhere";
            read.password_postgres = "old";
            ASSERT_TRUE(ReadConnectStringFields(BuildConnectString(built), read));
            EXPECT_EQ(read.provider, built.provider);
            if (built.provider == kProviderPostgres) {
                EXPECT_EQ(read.source, built.source);
                EXPECT_EQ(read.server, built.server);
                EXPECT_EQ(read.port, built.port);
                EXPECT_EQ(read.user_postgres, built.user_postgres);
                EXPECT_EQ(read.password_postgres, built.password_postgres);
            } else {
                EXPECT_EQ(read.db_oracle, built.db_oracle);
                EXPECT_EQ(read.user_oracle, built.user_oracle);
                EXPECT_EQ(read.password_oracle, built.password_oracle);
                // The other provider's fields stay as they were.
                EXPECT_EQ(read.server, "elsewhere");
            }
            EXPECT_EQ(BuildConnectString(read), BuildConnectString(built));
        }
    }
}

TEST(ReadConnectStringFields, HandTypedAndUnreadableStrings) {
    TConnectStringFields fields;
    fields.user_oracle = "kept";
    // Keys in any case, blanks and line breaks around pairs; a PostgreSQL string without a
    // password has none, whatever the fields held.
    fields.password_postgres = "old";
    ASSERT_TRUE(ReadConnectStringFields(
        "provider = msdasql.1 ;\r\nExtended Properties=\"dsn=PG;uid=u;pwd=x\"", fields));
    EXPECT_EQ(fields.provider, kProviderPostgres);
    EXPECT_EQ(fields.source, "PG");
    EXPECT_EQ(fields.user_postgres, "u");
    EXPECT_EQ(fields.password_postgres, "x");
    ASSERT_TRUE(
        ReadConnectStringFields("Provider=MSDASQL.1;Extended Properties=\"DSN=PG\"", fields));
    EXPECT_TRUE(fields.password_postgres.isEmpty());
    EXPECT_EQ(fields.user_postgres, "u");

    const TConnectStringFields before = fields;
    for (const char* text : {"", "old", "Provider=SQLOLEDB;Data Source=x", "Data Source=orcl",
                             "Provider=OraOLEDB.Oracle.1;Password=\"open"}) {
        EXPECT_FALSE(ReadConnectStringFields(text, fields)) << text;
        EXPECT_EQ(BuildConnectString(fields), BuildConnectString(before)) << text;
        EXPECT_EQ(fields.user_oracle, "kept");
    }
}

}  // namespace
