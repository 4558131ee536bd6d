// The main window against the test bed: the two connection checks, reading the emulated
// Oracle source into the structure browser, the table-list commands on what was read, and the
// script of step 4 from it.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "../integration/ora_emulation.h"
#include "app/migration_form.h"
#include "db/connect_string_builder.h"
#include "ddl/script_gen.h"
#include "scripted_questions.h"

namespace {

QStringList Column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        texts.append(list->topLevelItem(i)->text(column));
    }
    return texts;
}

QTreeWidgetItem* Row(const QTreeWidget* list, const QString& caption) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == caption) {
            return list->topLevelItem(i);
        }
    }
    return nullptr;
}

// Makes the row the only selected one, as a click does.
void Select(QTreeWidget* list, const QString& caption) {
    list->clearSelection();
    Row(list, caption)->setSelected(true);
}

QString TargetString(const QString& password) {
    TConnectStringFields f;
    f.provider = kProviderPostgres;
    f.source = QStringLiteral("PostgreSQL_Test");
    f.server = QStringLiteral("127.0.0.1");
    f.port = OraEmulTestbedValue(QStringLiteral("PGPORT"));
    f.user_postgres = QStringLiteral("postgres");
    f.password_postgres = password;
    return BuildConnectString(f);
}

class MigrationDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        const QString error = OraEmulLoad();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        QSettings(QString::fromLatin1(kSettingsOrganisation),
                  QString::fromLatin1(kSettingsApplication))
            .clear();
        ASSERT_TRUE(dir_.isValid());
        old_dir_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        form_ = std::make_unique<TFormMigration>(&questions_);
        form_->TimerCheck->stop();
    }
    void TearDown() override {
        form_.reset();
        if (!old_dir_.isEmpty()) {
            QDir::setCurrent(old_dir_);
        }
    }

    // Both checks pass: the emulated Oracle source and the PostgreSQL target.
    void CheckBoth(const TOraEmulUser& source = kOraEmulSrc) {
        form_->MemoConnectFrom->setPlainText(OraEmulConnectString(source));
        form_->MemoConnectTo->setPlainText(TargetString(OraEmulTestbedValue("PGPASSWORD")));
        form_->BtnCheckFrom->click();
        form_->BtnCheckTo->click();
        ASSERT_EQ(questions_.Count("error"), 0) << questions_.asked.value(0).text.toStdString();
        form_->TimerCheckTimer();
    }

    // Checks, goes to step 2 and reads the source.
    void ReadSource(const TOraEmulUser& source = kOraEmulSrc) {
        CheckBoth(source);
        ASSERT_TRUE(form_->BtnNext->isEnabled());
        form_->BtnNext->click();
        form_->TimerCheckTimer();
        ASSERT_EQ(questions_.Count("error"), 0) << questions_.asked.value(0).text.toStdString();
        ASSERT_TRUE(form_->is_done);
    }

    QTemporaryDir dir_;
    QString old_dir_;
    TScriptedQuestions questions_;
    std::unique_ptr<TFormMigration> form_;
};

TEST_F(MigrationDbTest, ChecksShowTheMarkAndTheServerKind) {
    CheckBoth();
    EXPECT_FALSE(form_->LabelCheckDbFrom->isHidden());
    EXPECT_FALSE(form_->LabelCheckDbTo->isHidden());
    EXPECT_EQ(form_->db_from, kDbOracle);
    EXPECT_EQ(form_->db_to, kDbPostgres);
    EXPECT_TRUE(form_->ADOConnectionFrom.Connected());
    EXPECT_TRUE(form_->BtnNext->isEnabled());

    // A wrong password right after a good check: the box, the mark and the kind stay, the
    // connection is closed.
    form_->MemoConnectTo->setPlainText(TargetString(QStringLiteral("wrong")));
    form_->LabelCheckDbTo->setVisible(true);
    form_->BtnCheckToClick();
    ASSERT_EQ(questions_.Count("error"), 1);
    EXPECT_EQ(questions_.asked[0].caption, "Ошибка");
    EXPECT_FALSE(questions_.asked[0].text.isEmpty());
    EXPECT_FALSE(form_->LabelCheckDbTo->isHidden());
    EXPECT_EQ(form_->db_to, kDbPostgres);
    EXPECT_FALSE(form_->ADOConnectionTo.Connected());

    // A data source name free of both words opens but tells nothing.
    form_->MemoConnectTo->setPlainText(
        TargetString(OraEmulTestbedValue("PGPASSWORD"))
            .replace(QStringLiteral("DSN=PostgreSQL_Test"), QStringLiteral("DSN=ORA_PG")));
    EXPECT_TRUE(form_->LabelCheckDbTo->isHidden());
    form_->BtnCheckToClick();
    EXPECT_EQ(questions_.Count("error"), 1);
    EXPECT_FALSE(form_->LabelCheckDbTo->isHidden());
    EXPECT_EQ(form_->db_to, kDbOracle);  // "ORA" in the data source name
}

TEST_F(MigrationDbTest, Step2FillsTheStructureBrowser) {
    ReadSource();
    EXPECT_EQ(Column(form_->ListTableFrom, 0),
              QStringList({"CUSTOMERS", "DOCUMENTS", "EMPLOYEES", "LINE_NOTES", "ORDERS",
                           "ORDER_LINES", "PAYMENTS"}));
    EXPECT_EQ(Column(form_->ListTableFrom, 1), QStringList({"4", "2", "3", "2", "5", "7", "0"}));
    EXPECT_EQ(Row(form_->ListTableFrom, "ORDER_LINES")->text(2), "(ORDER_ID,LINE_NO)");
    EXPECT_TRUE(Row(form_->ListTableFrom, "DOCUMENTS")->text(2).isEmpty());
    EXPECT_EQ(form_->EditSumTable->text(), "7");
    EXPECT_EQ(form_->EditSumRow->text(), "23");
    EXPECT_EQ(form_->EditVersionFrom->text(),
              "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
    EXPECT_EQ(form_->oracle_vers, form_->EditVersionFrom->text());
    EXPECT_TRUE(form_->SpinPortionRead->isEnabled());
    EXPECT_EQ(form_->MemoTypes->toPlainText(),
              "NUMBER\nVARCHAR2\nNVARCHAR2\nCHAR\nDATE\nFLOAT\nBLOB");
    const QStringList keys = Column(form_->ListKeys, 0);
    int named_keys = 0;
    for (const TTableRec& table : form_->tables) {
        named_keys += table.primary_key.name.isEmpty() ? 0 : 1;
        named_keys += table.unique_key.size();
        for (const TForeignKey& key : table.f_key) {
            named_keys += key.name.isEmpty() ? 0 : 1;
        }
    }
    EXPECT_EQ(keys.size(), named_keys);
    EXPECT_EQ(keys.first(), "FK_EMP_MGR");
    for (qsizetype i = 1; i < keys.size(); ++i) {
        EXPECT_LE(QString::compare(keys[i - 1], keys[i], Qt::CaseInsensitive), 0) << i;
    }
    EXPECT_TRUE(keys.contains("UK_CUSTOMERS_NAME_CITY"));
    EXPECT_FALSE(keys.contains("PK_DOCUMENTS"));  // disabled primary key
    EXPECT_TRUE(form_->PanelInfo->text().isEmpty());
    EXPECT_EQ(form_->ListField->topLevelItemCount(), 0);
    EXPECT_TRUE(form_->BtnNext->isEnabled());

    Row(form_->ListTableFrom, "ORDERS")->setSelected(true);
    EXPECT_EQ(Column(form_->ListField, 0),
              QStringList({"ORDER_ID", "CUSTOMER_ID", "CUSTOMER_CODE", "ORDER_DATE", "TOTAL",
                           "CURRENCY", "COMMENTS"}));
    EXPECT_EQ(form_->ListField->topLevelItem(0)->text(5), "Да");
    EXPECT_EQ(form_->ListField->topLevelItem(0)->text(2), "38");
    EXPECT_EQ(Column(form_->ListFk, 2),
              QStringList({"PK_CURRENCIES", "CUSTOMERS(ID)", "CUSTOMERS(CODE)"}));
}

// Step 4 makes the script from the window's sequences and tables, with the target's key words
// while it answers and the kept ones when it does not.
TEST_F(MigrationDbTest, ScriptTakesTheWindowsSequencesWithOrWithoutTheTarget) {
    ReadSource();
    form_->sequences = {{"ORDER_SEQ", "1", "999999", "1", "1042", "20", false}};
    form_->TimerCheckTimer();
    form_->BtnNextClick();  // step 3
    form_->TimerCheckTimer();
    form_->EditUser->setText(QStringLiteral("newdb"));
    form_->TimerCheckTimer();
    form_->BtnNextClick();  // step 4
    form_->TimerCheckTimer();
    ASSERT_EQ(form_->step, 4);
    ASSERT_TRUE(form_->ADOConnectionTo.Connected());
    const QStringList script = form_->ScriptLines();
    ASSERT_FALSE(script.isEmpty());
    EXPECT_EQ(script.first(),
              "CREATE SEQUENCE ORDER_SEQ INCREMENT BY 1 MINVALUE 1 MAXVALUE 999999 START WITH "
              "1042 CACHE 20 NO CYCLE;");
    // Foreign keys wait for the data.
    const qsizetype marker = script.indexOf(kAfterCopyMarker);
    ASSERT_GT(marker, 0);
    EXPECT_TRUE(script.mid(0, marker).filter("FOREIGN KEY").isEmpty());
    EXPECT_FALSE(
        script.mid(marker).filter(QRegularExpression("^ALTER TABLE .* FOREIGN KEY")).isEmpty());

    form_->ADOConnectionTo.Close();
    form_->MakeScriptNew();
    EXPECT_EQ(form_->ScriptLines(), script);
    EXPECT_EQ(questions_.Count("error"), 0);
}

TEST_F(MigrationDbTest, StructurePageShowsStatesProfilesIndexesChecksAndSequences) {
    ReadSource(kOraEmulReal);
    EXPECT_TRUE(form_->LabelReadNotes->isHidden());
    EXPECT_EQ(Row(form_->ListTableFrom, "EMP")->text(3), "Сотрудники, включая O'Brien");
    // Constraints Oracle does not enforce are listed with their state.
    EXPECT_EQ(Row(form_->ListKeys, "UK_DEPT_CODE")->text(3), "отключено");
    EXPECT_EQ(Row(form_->ListKeys, "FK_ASSIGN_EMP")->text(3), "не проверено");
    EXPECT_EQ(Row(form_->ListKeys, "PK_EMP")->text(3), "");
    EXPECT_EQ(Column(form_->ListSequences, 0), QStringList({"SEQ_COUNTDOWN", "SEQ_TICKETS"}));
    EXPECT_EQ(form_->sequences.size(), 2);

    Select(form_->ListTableFrom, "AMOUNTS");
    EXPECT_EQ(Column(form_->ListField, 7),
              QStringList({"целые, до 4", "дробные, до 3.75",
                           "целые, до 99999999999999999999999999999999999999", "целые, до 7",
                           "целые, до 9223372036854775808", ""}));

    Select(form_->ListTableFrom, "EMP");
    EXPECT_EQ(Column(form_->ListIndexes, 2),
              QStringList({"(DEPT_ID,NAME)", "(NAME)", "(UPPER(\"NAME\"),EMP_ID)"}));
    EXPECT_EQ(Column(form_->ListChecks, 0),
              QStringList({"CK_EMP_HIRED", "CK_EMP_NAME", "CK_EMP_SALARY"}));
    EXPECT_EQ(Column(form_->ListChecks, 2), QStringList({"", "отключено", "не проверено"}));
    EXPECT_EQ(Row(form_->ListField, "NAME")->text(8), "Полное имя");
    EXPECT_EQ(Column(form_->ListFk, 3), QStringList({"", ""}));

    Select(form_->ListTableFrom, "LINES");
    EXPECT_EQ(Row(form_->ListField, "AMOUNT")->text(4), "вычисляется: \"QTY\"*\"PRICE\"");
    Select(form_->ListTableFrom, "EVENTS");
    EXPECT_EQ(Row(form_->ListField, "EVENT_ID")->text(5), "identity");
    EXPECT_EQ(form_->ListIndexes->topLevelItemCount(), 0);

    // A read without the grant of V$VERSION says where the version came from.
    ASSERT_TRUE(
        OraEmulExec("UPDATE ora_meta.settings SET value = 'off' WHERE name = 'grant_v$version'")
            .isEmpty());
    form_->BtnPrevClick();
    form_->TimerCheckTimer();
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    ASSERT_EQ(questions_.Count("error"), 0) << questions_.asked.value(0).text.toStdString();
    EXPECT_FALSE(form_->LabelReadNotes->isHidden());
    EXPECT_TRUE(form_->LabelReadNotes->text().contains("PRODUCT_COMPONENT_VERSION"));
    EXPECT_EQ(form_->read_notes.size(), 1);
    EXPECT_EQ(form_->EditVersionFrom->text(),
              "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
}

TEST_F(MigrationDbTest, OldServerSwitchesTheReadPortionOff) {
    ASSERT_TRUE(
        OraEmulExec("UPDATE ora_meta.settings SET value = '11g' WHERE name = 'version'").isEmpty());
    ReadSource();
    EXPECT_FALSE(form_->SpinPortionRead->isEnabled());
    EXPECT_EQ(form_->SpinPortionRead->value(), 0);
    // That 0 is what the next start restores.
    form_.reset();
    form_ = std::make_unique<TFormMigration>(&questions_);
    form_->TimerCheck->stop();
    EXPECT_EQ(form_->SpinPortionRead->value(), 0);
}

TEST_F(MigrationDbTest, EditTheListThenScriptAndGoBack) {
    ReadSource();
    Row(form_->ListTableFrom, "DOCUMENTS")->setSelected(true);
    form_->PopupTableFromPopup();
    ASSERT_TRUE(form_->NDelTable->isEnabled());
    form_->NDelTableClick();
    EXPECT_EQ(form_->tables.size(), 6);
    EXPECT_EQ(Row(form_->ListTableFrom, "DOCUMENTS"), nullptr);
    EXPECT_EQ(form_->EditSumTable->text(), "7");

    Row(form_->ListTableFrom, "CUSTOMERS")->setSelected(true);
    form_->ListField->topLevelItem(1)->setSelected(true);
    questions_.inputs = {QStringLiteral("FULL_NAME")};
    form_->NRenameFieldClick();
    EXPECT_EQ(form_->tables[0].fields[1].change_name, "FULL_NAME");

    form_->TimerCheckTimer();
    form_->BtnNextClick();  // step 3
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->EditDateTimeFormat->text().isEmpty());  // PostgreSQL target
    form_->EditUser->setText(QStringLiteral("newdb"));
    form_->TimerCheckTimer();
    form_->BtnNextClick();  // step 4
    form_->TimerCheckTimer();
    const QStringList script = form_->ScriptLines();
    EXPECT_TRUE(form_->BtnNext->isEnabled());
    EXPECT_FALSE(script.contains("CREATE TABLE DOCUMENTS ("));
    // The renamed column goes into the target under its new name.
    EXPECT_EQ(script.filter(QRegularExpression("^FULL_NAME VARCHAR\\(100\\)")).size(), 1)
        << script.join('\n').toStdString();
    const auto at = [&](const char* line) { return script.indexOf(QLatin1String(line)); };
    EXPECT_LT(at("CREATE TABLE CUSTOMERS ("), at("CREATE TABLE ORDERS ("));
    EXPECT_LT(at("CREATE TABLE ORDERS ("), at("CREATE TABLE ORDER_LINES ("));
    EXPECT_LT(at("CREATE TABLE ORDER_LINES ("), at("CREATE TABLE LINE_NOTES ("));
    EXPECT_FALSE(script.contains(");%"));

    // Back to step 1 and forward again reads the source anew: the deletion is gone.
    form_->BtnPrevClick();
    form_->BtnPrevClick();
    form_->BtnPrevClick();
    EXPECT_EQ(form_->step, 1);
    form_->TimerCheckTimer();
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    EXPECT_EQ(form_->tables.size(), 7);
    EXPECT_NE(Row(form_->ListTableFrom, "DOCUMENTS"), nullptr);
    EXPECT_TRUE(form_->tables[0].fields[1].change_name.isEmpty());
}

}  // namespace
