// Step 5 of the real window against the test bed with what an operator may type at step 3:
// hostile passwords reach the new role exactly and run nothing; names that are no plain
// identifier, or that the server lives on, are refused and touch nothing; names that need
// quotes are created quoted; an existing database with tables is dropped only on OK.

#include <QCheckBox>
#include <QFormLayout>

#include "db/connection_string.h"
#include "db/sql_text.h"
#include "migration_copy_testbed.h"

namespace {

class MigrationTargetTest : public MigrationCopyTest {
protected:
    void SetUp() override {
        MigrationCopyTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        admin_ = std::make_unique<TPg>(QStringLiteral("postgres"));
    }
    void TearDown() override {
        form_.reset();
        // Only what the test made itself: never a name the window refused.
        for (const QString& name : made_) {
            const QString quoted = TSqlNames(kDbPostgres).Name(name);
            admin_->Exec("DROP DATABASE IF EXISTS " + quoted + " WITH (FORCE)");
            admin_->Exec("DROP ROLE IF EXISTS " + quoted);
        }
        admin_.reset();
        MigrationCopyTest::TearDown();
    }

    // From step 3 (or back from step 5) through the script to target creation with these
    // values; the result label.
    QString CreateAt5(const QString& user, const QString& password) {
        while (form_->step > 3) {
            form_->BtnPrevClick();
        }
        form_->EditUser->setText(user);
        form_->EditPassword->setText(password);
        form_->TimerCheckTimer();
        form_->BtnNextClick();
        form_->TimerCheckTimer();
        EXPECT_EQ(form_->step, 4);
        form_->BtnNextClick();
        form_->TimerCheckTimer();
        EXPECT_EQ(form_->step, 5);
        EXPECT_TRUE(form_->is_done);
        form_->TimerCheckTimer();
        const QString label = form_->LabelResStruct->text();
        EXPECT_EQ(form_->BtnNext->isEnabled(), label == "Ok");
        if (label == "Ok") {
            made_ << TSqlNames(kDbPostgres).Stored(user);
        }
        return label;
    }

    QStringList Roles() { return admin_->Column("SELECT rolname FROM pg_roles ORDER BY 1"); }
    QStringList Databases() { return admin_->Column("SELECT datname FROM pg_database ORDER BY 1"); }
    static QStringList With(QStringList names, const QString& name) {
        names << name;
        names.sort();
        return names;
    }

    // The login the server sees for that role and password, or the error.
    QString LoginAs(const QString& role, const QString& password) {
        try {
            TDbConnection connection;
            connection.SetConnectionString(
                SetConnectKey(SetConnectKey(TargetString(role), TConnectKey::User, role),
                              TConnectKey::Password, password));
            connection.Open();
            TDbQuery query(connection);
            query.SetText("SELECT current_user || '@' || current_database()");
            query.Open();
            return query.Field(0).AsString();
        } catch (const TError& e) {
            return "error: " + e.Message();
        }
    }

    std::unique_ptr<TPg> admin_;
    QStringList made_;
};

TEST_F(MigrationTargetTest, HostilePasswordsReachTheRoleExactlyAndRunNothing) {
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    const QStringList passwords = {QStringLiteral("x' ; CREATE ROLE evil SUPERUSER; --"),
                                   QStringLiteral("it's"),
                                   QStringLiteral("a;b}c{"),
                                   QStringLiteral("say \"hi\""),
                                   QStringLiteral("back\\slash"),
                                   QStringLiteral("k=v"),
                                   QStringLiteral(" blank "),
                                   QStringLiteral("пароль")};
    for (int i = 0; i < passwords.size(); ++i) {
        SCOPED_TRACE(Str(passwords[i]));
        const QString name = "skerrow_pw" + QString::number(i);
        const QStringList roles = Roles();
        const QStringList databases = Databases();
        ASSERT_EQ(Str(CreateAt5(name, passwords[i])), "Ok");
        EXPECT_EQ(Roles(), With(roles, name));
        EXPECT_EQ(Databases(), With(databases, name));
        EXPECT_EQ(LoginAs(name, passwords[i]), name + "@" + name);
        EXPECT_TRUE(LoginAs(name, passwords[i] + "x").startsWith("error: "));
    }
    EXPECT_FALSE(Roles().contains("evil"));
}

TEST_F(MigrationTargetTest, RefusedNamesSayWhyAndTouchNothing) {
    admin_->Exec("DROP DATABASE IF EXISTS victim WITH (FORCE)");
    admin_->Exec("CREATE DATABASE victim");
    admin_->Exec("DROP ROLE IF EXISTS skerrow_su");
    admin_->Exec("CREATE ROLE skerrow_su SUPERUSER");
    admin_->Exec("DROP ROLE IF EXISTS skerrow_cr");
    admin_->Exec("CREATE ROLE skerrow_cr CREATEROLE");
    made_ << "victim"
          << "skerrow_su"
          << "skerrow_cr";
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    const QStringList roles = Roles();
    const QStringList databases = Databases();
    const struct {
        QString name;
        const char* says;
    } cases[] = {
        {"o'neil", "латинской буквы"},
        {"dq\"x", "латинской буквы"},
        {"x; DROP DATABASE victim", "латинской буквы"},
        {"a b", "латинской буквы"},
        {QString(64, u'n'), "63 байт"},
        {"postgres", "служебной базой"},
        {"template1", "служебной базой"},
        {"Template0", "служебной базой"},
        {"skerrow_su", "SUPERUSER или CREATEROLE"},
        {"skerrow_cr", "SUPERUSER или CREATEROLE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Str(c.name));
        const QString label = CreateAt5(c.name, "pw");
        EXPECT_TRUE(label.contains(QString::fromUtf8(c.says))) << Str(label);
        EXPECT_TRUE(label.contains(c.name)) << Str(label);
        EXPECT_EQ(Roles(), roles);
        EXPECT_EQ(Databases(), databases);
    }

    // The database and the login of the administrative connection itself.
    admin_->Exec("DROP DATABASE IF EXISTS skerrow_admin WITH (FORCE)");
    admin_->Exec("CREATE DATABASE skerrow_admin");
    TPg("skerrow_admin").Exec("CREATE TABLE keep (id integer)");
    made_ << "skerrow_admin";
    form_->MemoConnectTo->setPlainText(TargetString("skerrow_admin"));
    EXPECT_TRUE(CreateAt5("skerrow_admin", "pw").contains("к которой подключена"));
    form_->MemoConnectTo->setPlainText(TargetString());
    const QString label = CreateAt5("POSTGRES", "pw");
    EXPECT_TRUE(label.contains("служебной базой")) << Str(label);
    EXPECT_EQ(Roles(), roles);
    EXPECT_EQ(Databases(), With(databases, "skerrow_admin"));
    EXPECT_EQ(TPg("skerrow_admin").Value("SELECT count(*) FROM keep"), "0");
    EXPECT_EQ(TPg("victim").Value("SELECT current_database()"), "victim");
    EXPECT_EQ(questions_.Count("ask"), 0);
}

TEST_F(MigrationTargetTest, NamesThatNeedQuotesAreCreatedAsTyped) {
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    for (const QString& name : {QStringLiteral("ACC$X"), QStringLiteral("Demo")}) {
        SCOPED_TRACE(Str(name));
        ASSERT_EQ(Str(CreateAt5(name, "pw")), "Ok");
        EXPECT_EQ(admin_->Value("SELECT pg_get_userbyid(datdba) FROM pg_database WHERE datname "
                                "= " +
                                PgLiteral(name)),
                  name);
        // The window stands in the new database, reached by the name as stored.
        form_->QueryTo.SetText("SELECT current_database()");
        form_->QueryTo.Open();
        EXPECT_EQ(form_->QueryTo.Field(0).AsString(), name);
        form_->QueryTo.Close();
        EXPECT_EQ(LoginAs(name, "pw"), name + "@" + name);
    }
}

TEST_F(MigrationTargetTest, AnExistingDatabaseWithTablesIsDroppedOnlyOnOk) {
    const QString name = QStringLiteral("skerrow_keep");
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    ASSERT_EQ(Str(CreateAt5(name, "pw")), "Ok");
    EXPECT_EQ(questions_.Count("ask"), 0);
    {
        TPg target(name);
        target.Exec("INSERT INTO customers (name) VALUES ('keep me')");
    }

    // Cancel: nothing is dropped, and the page says so.
    questions_.ok_answers = {false};
    QString label = CreateAt5(name, "pw");
    ASSERT_EQ(questions_.Count("ask"), 1);
    EXPECT_EQ(questions_.asked.last().caption, "База данных уже существует");
    const QString text = questions_.asked.last().text;
    EXPECT_TRUE(text.contains("«skerrow_keep»")) << Str(text);
    EXPECT_TRUE(text.contains(QString("таблиц — %1").arg(form_->tables.size()))) << Str(text);
    EXPECT_TRUE(text.contains("размер — ")) << Str(text);
    EXPECT_EQ(Str(label),
              "Создание новой БД отменено: база данных «skerrow_keep» оставлена без изменений.");
    EXPECT_FALSE(form_->BtnNext->isEnabled());
    EXPECT_EQ(form_->ListTableTo->topLevelItemCount(), 0);
    EXPECT_EQ(TPg(name).Value("SELECT count(*) FROM customers WHERE name = 'keep me'"), "1");

    // OK: dropped and made anew, empty.
    questions_.ok_answers = {true};
    label = CreateAt5(name, "pw");
    EXPECT_EQ(questions_.Count("ask"), 2);
    EXPECT_EQ(Str(label), "Ok");
    EXPECT_EQ(TPg(name).Value("SELECT count(*) FROM customers"), "0");

    // A database of that name without tables (left by a failed creation) goes unasked.
    admin_->Exec("DROP DATABASE " + name + " WITH (FORCE)");
    admin_->Exec("CREATE DATABASE " + name);
    EXPECT_EQ(Str(CreateAt5(name, "pw")), "Ok");
    EXPECT_EQ(questions_.Count("ask"), 2);
}

TEST_F(MigrationTargetTest, SettingsPageSaysWhatTheNameIsAndOffersDbaForOracleOnly) {
    ASSERT_NO_FATAL_FAILURE(GoToStep3());
    const auto* form = qobject_cast<QFormLayout*>(form_->TabNewDb->layout());
    ASSERT_NE(form, nullptr);
    const auto* label = qobject_cast<QLabel*>(form->labelForField(form_->EditUser));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Пользователь (имя новой БД и её владельца):");
    EXPECT_TRUE(form_->CheckGrantDba->isHidden());
    form_->db_to = kDbOracle;
    form_->TimerCheckTimer();
    EXPECT_FALSE(form_->CheckGrantDba->isHidden());
    form_->CheckGrantDba->setChecked(true);
    form_.reset();
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    EXPECT_EQ(settings.value("GrantDba").toInt(), 1);
    NewForm();
    EXPECT_TRUE(form_->CheckGrantDba->isChecked());
}

}  // namespace
