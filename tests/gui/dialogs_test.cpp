// The connection-string dialog, its use by the connection panels, and the About window.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <memory>

#include "app/about_form.h"
#include "app/migration_form.h"
#include "db/connect_string_form.h"
#include "scripted_questions.h"

namespace {

TEST(ConnectStringForm, TabsButtonRuleAndBuiltStrings) {
    TFormConnectString form(nullptr, false);
    EXPECT_EQ(form.windowTitle(), "Строка подключения");
    EXPECT_EQ(form.ComboProvider->currentText(), "ORAOLEDB");
    EXPECT_EQ(form.ButtonOk->text(), "Сформировать");
    EXPECT_TRUE(form.PageControl->isTabVisible(0));
    EXPECT_FALSE(form.PageControl->isTabVisible(1));
    EXPECT_EQ(form.EditPortPostgres->text(), "5432");
    EXPECT_EQ(form.EditUserPostgres->text(), "postgres");
    EXPECT_EQ(form.EditPasswordPostgres->echoMode(), QLineEdit::Password);
    // Both passwords are hidden: the dialog opens on the fields of the panel's string.
    EXPECT_EQ(form.EditPasswordOracle->echoMode(), QLineEdit::Password);

    // Oracle: database and user needed, the password may stay empty.
    EXPECT_FALSE(form.ButtonOk->isEnabled());
    form.EditDbOracle->setText(QStringLiteral("ORCL"));
    EXPECT_FALSE(form.ButtonOk->isEnabled());
    form.EditUserOracle->setText(QStringLiteral("scott"));
    EXPECT_TRUE(form.ButtonOk->isEnabled());
    form.ButtonOk->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.connect_string,
              "Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=scott;"
              "Data Source=ORCL;Password=");

    form.ComboProvider->setCurrentIndex(1);
    form.ButtonOkClick();
    EXPECT_EQ(form.connect_string, "Provider=MSDAORA.1;Password=;User ID=scott;Data Source=ORCL");

    // PostgreSQL without any data source: hidden Oracle tab, button off at once.
    form.ComboProvider->setCurrentIndex(2);
    EXPECT_FALSE(form.PageControl->isTabVisible(0));
    EXPECT_TRUE(form.PageControl->isTabVisible(1));
    EXPECT_FALSE(form.ButtonOk->isEnabled());
    form.SetOdbcList({QStringLiteral("PostgreSQL_Test")});
    EXPECT_FALSE(form.ComboSource->isEnabled());
    EXPECT_EQ(form.ComboSource->currentText(), "PostgreSQL_Test");
    EXPECT_TRUE(form.ButtonOk->isEnabled());
    form.EditPortPostgres->clear();
    EXPECT_FALSE(form.ButtonOk->isEnabled());
    form.EditPortPostgres->setText(QStringLiteral("5433"));
    form.SetOdbcList({QStringLiteral("PG_A"), QStringLiteral("PG_B")});
    EXPECT_TRUE(form.ComboSource->isEnabled());
    EXPECT_EQ(form.ComboSource->currentIndex(), 0);
    form.ButtonOkClick();
    EXPECT_TRUE(form.connect_string.startsWith(
        "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DSN=PG_A;"
        "SERVER=localhost;PORT=5433;UID=postgres;DATABASE=postgres;"))
        << form.connect_string.toStdString();
}

TEST(ConnectStringForm, ImportsTheRelatedApplicationsOracleSettings) {
    {
        QSettings zentor(QStringLiteral("Tarnwell"), QStringLiteral("Orvelle"));
        zentor.clear();
        zentor.setValue("oracle_provider", "MSDAORA.1");
        zentor.setValue("User", "hr");
        zentor.setValue("Pass", "hrpass");
        zentor.setValue("DB", "XE");
    }
    TFormConnectString form;
    EXPECT_EQ(form.ComboProvider->currentIndex(), 1);
    EXPECT_EQ(form.EditUserOracle->text(), "hr");
    EXPECT_EQ(form.EditPasswordOracle->text(), "hrpass");
    EXPECT_EQ(form.EditDbOracle->text(), "XE");
    EXPECT_TRUE(form.ButtonOk->isEnabled());
    QSettings(QStringLiteral("Tarnwell"), QStringLiteral("Orvelle")).clear();
}

class PanelsWithDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QString::fromLatin1(kSettingsOrganisation),
                  QString::fromLatin1(kSettingsApplication))
            .clear();
        form_ = std::make_unique<TFormMigration>(&questions_);
        form_->TimerCheck->stop();
        dialog_ = new TFormConnectString(form_.get(), false);
        form_->SetConnectStringForm(dialog_);
        dialog_->EditDbOracle->setText(QStringLiteral("ORCL"));
        dialog_->EditUserOracle->setText(QStringLiteral("scott"));
    }
    void TearDown() override { form_.reset(); }

    TScriptedQuestions questions_;
    std::unique_ptr<TFormMigration> form_;
    TFormConnectString* dialog_ = nullptr;
};

TEST_F(PanelsWithDialogTest, BuildReplacesTheMemoOnlyOnOk) {
    form_->MemoConnectFrom->setPlainText(QStringLiteral("old"));
    form_->LabelCheckDbFrom->setVisible(true);

    // Closed without building: memo and mark stay.
    QTimer::singleShot(0, dialog_, [this] { dialog_->reject(); });
    form_->BtnConnectFromClick();
    EXPECT_EQ(form_->MemoConnectFrom->toPlainText(), "old");
    EXPECT_FALSE(form_->LabelCheckDbFrom->isHidden());

    QTimer::singleShot(0, dialog_, [this] { dialog_->ButtonOk->click(); });
    form_->BtnConnectFromClick();
    EXPECT_EQ(form_->MemoConnectFrom->toPlainText(), dialog_->connect_string);
    EXPECT_TRUE(form_->MemoConnectFrom->toPlainText().contains("User ID=scott"));
    EXPECT_TRUE(form_->LabelCheckDbFrom->isHidden());

    // The same dialog, with the fields as left, serves the target panel.
    QTimer::singleShot(0, dialog_, [this] { dialog_->ButtonOk->click(); });
    form_->BtnConnectToClick();
    EXPECT_EQ(form_->MemoConnectTo->toPlainText(), form_->MemoConnectFrom->toPlainText());
}

TEST_F(PanelsWithDialogTest, AboutWindow) {
    TFormAbout about(form_.get());
    form_->SetAboutForm(&about);
    EXPECT_EQ(about.windowTitle(), "О программе");
    EXPECT_EQ(about.size(), QSize(299, 309));
    EXPECT_EQ(about.LabelApplication->text(), "Миграция баз данных");
    EXPECT_EQ(about.LabelYear->text(), "2024");
    EXPECT_EQ(about.ButtonOk->text(), "Ok");
    EXPECT_TRUE(about.LabelCopyright->text().isEmpty());
    EXPECT_FALSE(about.LabelProduct->text().isEmpty());

    QTimer::singleShot(0, &about, [&about] { about.ButtonOk->click(); });
    form_->BtnInfoClick();
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_EQ(about.LabelCopyright->text(), TFormAbout::CopyrightLine());
}

}  // namespace
