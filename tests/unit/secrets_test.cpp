// Passwords masked in every text the program shows or writes.

#include "util/secrets.h"

#include <gtest/gtest.h>

TEST(Secrets, ConnectionStringValuesInEveryForm) {
    EXPECT_EQ(MaskSecrets("Provider=MSDASQL.1;Extended Properties=\"DSN=PG;UID=postgres;"
                          "PASSWORD=s3cret;DATABASE=postgres\""),
              "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;UID=postgres;PASSWORD=***;"
              "DATABASE=postgres\"");
    // At the end of Extended Properties, with a quote doubled inside the value.
    EXPECT_EQ(MaskSecrets("Extended Properties=\"DSN=PG;PWD=a\"\"b\";x=1"),
              "Extended Properties=\"DSN=PG;PWD=***\";x=1");
    EXPECT_EQ(MaskSecrets("DSN=PG;pwd={a;b}}c};UID=u"), "DSN=PG;pwd=***;UID=u");
    EXPECT_EQ(MaskSecrets("Provider=OraOLEDB.Oracle.1;User ID=scott;Password = 'ti''ger' ;x=1"),
              "Provider=OraOLEDB.Oracle.1;User ID=scott;Password = *** ;x=1");
    EXPECT_EQ(MaskSecrets("a\r\nPassword=p\r\nb"), "a\r\nPassword=***\r\nb");
    // The user/password form of a login, and a user name alone (no secret).
    EXPECT_EQ(MaskSecrets("User ID=scott/tiger@ORCL;Data Source=X"), "User ID=***;Data Source=X");
    EXPECT_EQ(MaskSecrets("userid=NEWU/\"p w;x\"@ORCL\ncontrol=T.ctl"),
              "userid=***\ncontrol=T.ctl");
    EXPECT_EQ(MaskSecrets("Extended Properties=\"DSN=X;User ID=a/b\""),
              "Extended Properties=\"DSN=X;User ID=***\"");
    EXPECT_EQ(MaskSecrets("User ID=scott;Data Source=X"), "User ID=scott;Data Source=X");
    // Words that merely contain a key, and texts without any.
    EXPECT_EQ(MaskSecrets("NoPWD=1;OldPassword=2"), "NoPWD=1;OldPassword=2");
    EXPECT_EQ(MaskSecrets("password authentication failed for user \"x\""),
              "password authentication failed for user \"x\"");
}

TEST(Secrets, PasswordsOfRoleAndUserStatements) {
    EXPECT_EQ(MaskSecrets("CREATE ROLE n WITH LOGIN NOREPLICATION PASSWORD 'x'' ; CREATE ROLE "
                          "evil SUPERUSER; --': syntax error"),
              "CREATE ROLE n WITH LOGIN NOREPLICATION PASSWORD '***': syntax error");
    EXPECT_EQ(MaskSecrets("ALTER ROLE n PASSWORD E'a\\'b\\\\' VALID UNTIL 'x'"),
              "ALTER ROLE n PASSWORD '***' VALID UNTIL 'x'");
    EXPECT_EQ(MaskSecrets("CREATE USER NEWU IDENTIFIED BY \"p w\" DEFAULT TABLESPACE USERS"),
              "CREATE USER NEWU IDENTIFIED BY \"***\" DEFAULT TABLESPACE USERS");
    EXPECT_EQ(MaskSecrets("alter user x identified by plain;"),
              "alter user x identified by \"***\";");
    // Profile limits are no passwords.
    EXPECT_EQ(MaskSecrets("PASSWORD_LIFE_TIME UNLIMITED PASSWORD_VERIFY_FUNCTION NULL"),
              "PASSWORD_LIFE_TIME UNLIMITED PASSWORD_VERIFY_FUNCTION NULL");
    EXPECT_EQ(MaskSecrets(QStringList({"PWD=1", "ok"})), QStringList({"PWD=***", "ok"}));
}
