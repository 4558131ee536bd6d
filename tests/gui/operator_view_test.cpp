// What the operator sees without a database: where the wizard stands, lists that show their
// contents, hidden passwords, the connection-string dialog opened on the panel's string, the
// help pages, Qt's own texts in Russian and the input box's width.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>
#include <memory>

#include "app/help_form.h"
#include "app/list_columns_ui.h"
#include "app/migration_form.h"
#include "app/qt_translations.h"
#include "app/questions_form.h"
#include "app/secret_memo_ui.h"
#include "app/step_strip_ui.h"
#include "db/connect_string_builder.h"
#include "db/connect_string_form.h"
#include "scripted_questions.h"
#include "util/number_text.h"

namespace {

QString HelpSourceDir() {
    return QStringLiteral(SKERROW_HELP_DIR);
}

TTableRec Table(const QString& name, qint64 rows) {
    TTableRec table;
    table.name = name;
    table.rows = rows;
    TFieldRec id;
    id.name = QStringLiteral("ID");
    id.data_type = QStringLiteral("NUMBER");
    id.size = 10;
    table.fields = {id};
    table.primary_key = {QStringLiteral("PK_") + name, QStringLiteral("(ID)")};
    return table;
}

class OperatorViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QString::fromLatin1(kSettingsOrganisation),
                  QString::fromLatin1(kSettingsApplication))
            .clear();
        ASSERT_TRUE(dir_.isValid());
        old_dir_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        form_ = std::make_unique<TFormMigration>(&questions_);
        form_->TimerCheck->stop();
        form_->help_dir = HelpSourceDir();
    }
    void TearDown() override {
        form_.reset();
        QDir::setCurrent(old_dir_);
    }

    // At step 2 with the model shown, as a read leaves it.
    void ShowTables(const TTables& tables) {
        form_->LabelCheckDbFrom->setVisible(true);
        form_->LabelCheckDbTo->setVisible(true);
        form_->db_to = kDbPostgres;
        form_->TimerCheckTimer();
        form_->BtnNextClick();
        form_->TimerCheckTimer();
        form_->db_from = kDbOracle;
        form_->tables = tables;
        form_->RefreshStructFrom();
        form_->TimerCheckTimer();
    }

    QString Strip() const { return form_->StepStripText(); }

    QTemporaryDir dir_;
    QString old_dir_;
    TScriptedQuestions questions_;
    std::unique_ptr<TFormMigration> form_;
};

TEST_F(OperatorViewTest, TheStripSaysWhichStepOnEveryStep) {
    form_->TimerCheckTimer();
    EXPECT_EQ(Strip(), "Шаг 1 из 6: Выбор баз данных");
    form_->LabelCheckDbFrom->setVisible(true);
    form_->LabelCheckDbTo->setVisible(true);
    form_->db_to = kDbPostgres;
    form_->TimerCheckTimer();
    form_->BtnNextClick();
    // The stage's own caption while its work runs, the page's when it is done.
    EXPECT_EQ(Strip(), "Шаг 2 из 6: Чтение структуры исходной БД");
    form_->TimerCheckTimer();
    EXPECT_EQ(Strip(), "Шаг 2 из 6: Исходная БД");

    // A failed read leaves its caption behind; step 1 does not show it.
    form_->PanelInfo->setText(QStringLiteral("Чтение структуры исходной БД"));
    form_->BtnPrevClick();
    EXPECT_EQ(Strip(), "Шаг 1 из 6: Выбор баз данных");
    form_->BtnNextClick();
    form_->db_from = kDbOracle;
    form_->tables = {Table(QStringLiteral("T"), 1)};
    form_->RefreshStructFrom();
    form_->is_done = true;
    form_->PanelInfo->clear();
    form_->TimerCheckTimer();

    form_->BtnNextClick();
    form_->TimerCheckTimer();
    EXPECT_EQ(Strip(), "Шаг 3 из 6: Настройка миграции");
    form_->EditUser->setText(QStringLiteral("NEWDB"));
    form_->BtnNextClick();
    EXPECT_EQ(Strip(), "Шаг 4 из 6: Формирование сценария создания конечной БД");
    form_->TimerCheckTimer();
    EXPECT_EQ(Strip(), "Шаг 4 из 6: Sql-скрипт новой БД");
    form_->BtnNextClick();
    EXPECT_EQ(Strip(), "Шаг 5 из 6: Создание структуры новой БД");

    // The copy, held still: its caption, then the table it copies.
    form_->step = 6;
    form_->is_done = true;
    form_->PrintInfo();
    EXPECT_EQ(Strip(), "Шаг 6 из 6: Копирование данных");
    form_->PanelInfo->setText(QStringLiteral("ORDERS"));
    form_->TimerCheckTimer();
    EXPECT_EQ(Strip(), "Шаг 6 из 6: ORDERS");
    EXPECT_TRUE(form_->LabelPause->isHidden());
    form_->BtnPauseClick();
    form_->TimerCheckTimer();
    EXPECT_EQ(Strip(), "Шаг 6 из 6: Пауза");
    EXPECT_FALSE(form_->LabelPause->isHidden());
    EXPECT_EQ(form_->LabelPause->text(), "Пауза");
    form_->BtnContinueClick();
    form_->TimerCheckTimer();
    EXPECT_EQ(Strip(), "Шаг 6 из 6: ORDERS");
    EXPECT_TRUE(form_->LabelPause->isHidden());

    form_->QueryTo.SetText(QStringLiteral("INSERT INTO ORDERS VALUES (1)"));
    form_->CopyFailed(QStringLiteral("duplicate key"));
    EXPECT_EQ(Strip(), "Шаг 6 из 6: Ошибка копирования данных");
    form_->step = 9;
    EXPECT_EQ(Strip(), "Шаг 6 из 6: Миграция завершена");

    // What the strip draws is that text; its own text stays the stage caption.
    const auto* strip = dynamic_cast<TStepStrip*>(form_->PanelInfo);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->DisplayText(), Strip());
    EXPECT_EQ(form_->PanelInfo->text(), "Ошибка копирования данных");
}

TEST_F(OperatorViewTest, NumbersShowGroupedDigitsAndListsShowTheirContents) {
    const QString long_name = QStringLiteral("CUSTOMER_ORDER_LINE_HISTORY_ARCHIVE_2019");
    ShowTables({Table(long_name, 1234567), Table(QStringLiteral("T"), 5)});
    form_->resize(893, 686);
    form_->show();
    QApplication::processEvents();

    const QString nbsp{QChar(kDigitGroupSeparator)};
    EXPECT_EQ(form_->EditSumRow->text(), "1" + nbsp + "234" + nbsp + "572");
    EXPECT_EQ(form_->EditSumTable->text(), "2");
    // The row keeps the plain digits for whoever reads it; the column shows them grouped.
    QTreeWidget* list = form_->ListTableFrom;
    QTreeWidgetItem* row = list->topLevelItem(0);
    EXPECT_EQ(row->text(1), "1234567");
    const auto* numbers = dynamic_cast<const QStyledItemDelegate*>(list->itemDelegateForColumn(1));
    ASSERT_NE(numbers, nullptr);
    EXPECT_EQ(numbers->displayText(row->data(1, Qt::DisplayRole), QLocale()),
              "1" + nbsp + "234" + nbsp + "567");

    // Every column is as wide as its widest text and its caption.
    QHeaderView* header = list->header();
    const QFontMetrics metrics(list->font());
    EXPECT_GE(header->sectionSize(0), metrics.horizontalAdvance(long_name));
    EXPECT_GE(header->sectionSize(2), metrics.horizontalAdvance(QStringLiteral("Primary Key")));
    // The last column takes what is left, so the list has no empty stretch on its right.
    int sum = 0;
    for (int i = 0; i < list->columnCount(); ++i) {
        sum += header->sectionSize(i);
    }
    EXPECT_GE(sum, list->viewport()->width());

    // A width the operator set stays through new contents, until a double-click on its edge.
    TColumnSizer* sizer = TColumnSizer::Of(list);
    ASSERT_NE(sizer, nullptr);
    header->resizeSection(0, 40);
    EXPECT_TRUE(sizer->OperatorWidth(0));
    form_->RefreshStructFrom();
    QApplication::processEvents();
    EXPECT_EQ(header->sectionSize(0), 40);
    emit header->sectionHandleDoubleClicked(0);
    EXPECT_FALSE(sizer->OperatorWidth(0));
    EXPECT_GE(header->sectionSize(0), metrics.horizontalAdvance(long_name));

    // The columns of a selected table follow it too.
    row = list->findItems(long_name, Qt::MatchExactly).value(0);
    ASSERT_NE(row, nullptr);
    row->setSelected(true);
    QApplication::processEvents();
    EXPECT_GE(
        form_->ListField->header()->sectionSize(6),
        QFontMetrics(form_->ListField->font()).horizontalAdvance(QStringLiteral("Переименовать")));
    for (QTreeWidget* each : form_->findChildren<QTreeWidget*>()) {
        EXPECT_NE(TColumnSizer::Of(each), nullptr) << each->headerItem()->text(0).toStdString();
    }
}

TEST_F(OperatorViewTest, BannersHintsAndTheScriptFont) {
    const QString banner = QStringLiteral(
        "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production Version "
        "19.21.0.0.0");
    for (QLineEdit* edit : {form_->EditVersionFrom, form_->EditVersionTo}) {
        edit->setText(banner);
        EXPECT_EQ(edit->toolTip(), banner);
        // The start of the banner is what stays in sight.
        EXPECT_EQ(edit->cursorPosition(), 0);
    }
    EXPECT_TRUE(QFontInfo(form_->MemoScript->font()).fixedPitch());
    for (QWidget* field : std::initializer_list<QWidget*>{
             form_->EditUser, form_->EditPassword, form_->SpinPortionWrite, form_->SpinPortionRead,
             form_->ComboIntType, form_->EditDateTimeFormat, form_->CheckGrantDba}) {
        EXPECT_FALSE(field->toolTip().isEmpty()) << field->metaObject()->className();
    }
}

// What a memo shows, as pixels.
QImage Shot(QWidget* widget) {
    QApplication::processEvents();
    return widget->grab().toImage();
}

TEST_F(OperatorViewTest, PasswordsInTheConnectionStringsAreHiddenUntilAskedFor) {
    form_->resize(893, 686);
    form_->show();
    auto* memo = dynamic_cast<TSecretMemo*>(form_->MemoConnectTo);
    ASSERT_NE(memo, nullptr);
    ASSERT_NE(dynamic_cast<TSecretMemo*>(form_->MemoConnectFrom), nullptr);
    TConnectStringFields f;
    f.provider = kProviderPostgres;
    f.source = QStringLiteral("PostgreSQL_Test");
    f.password_postgres = QStringLiteral("Secret42");
    const QString text = BuildConnectString(f);
    memo->setPlainText(text);

    // The text stays as typed; only what is drawn changes.
    EXPECT_EQ(TFormMigration::MemoText(memo), text);
    EXPECT_TRUE(memo->PasswordsHidden());
    EXPECT_FALSE(memo->ShownText().contains("Secret42"));
    EXPECT_TRUE(memo->ShownText().contains("PASSWORD=" + QString(8, QChar(0x2022)) + ";"));
    // Two passwords of one length look the same on screen.
    const QImage hidden = Shot(memo);
    f.password_postgres = QStringLiteral("Other_99");
    memo->setPlainText(BuildConnectString(f));
    EXPECT_EQ(Shot(memo), hidden);

    form_->CheckShowPasswordTo->setChecked(true);
    EXPECT_FALSE(memo->PasswordsHidden());
    EXPECT_TRUE(memo->ShownText().contains("Other_99"));
    EXPECT_NE(Shot(memo), hidden);
    form_->CheckShowPasswordTo->setChecked(false);
    EXPECT_EQ(Shot(memo), hidden);
    // The other panel is not affected.
    EXPECT_TRUE(dynamic_cast<TSecretMemo*>(form_->MemoConnectFrom)->PasswordsHidden());
}

TEST_F(OperatorViewTest, TheDialogOpensOnTheProviderAndFieldsOfThePanelsString) {
    auto* dialog = new TFormConnectString(form_.get(), false);
    form_->SetConnectStringForm(dialog);
    dialog->SetOdbcList({QStringLiteral("PG_OTHER"), QStringLiteral("PostgreSQL_Test")});
    TConnectStringFields target;
    target.provider = kProviderPostgres;
    target.source = QStringLiteral("PostgreSQL_Test");
    target.server = QStringLiteral("127.0.0.1");
    target.port = QStringLiteral("5444");
    target.user_postgres = QStringLiteral("admin");
    target.password_postgres = QStringLiteral("pw");
    form_->MemoConnectTo->setPlainText(BuildConnectString(target));
    TConnectStringFields source;
    source.provider = kProviderMsDaOra;
    source.db_oracle = QStringLiteral("ORCL");
    source.user_oracle = QStringLiteral("scott");
    form_->MemoConnectFrom->setPlainText(BuildConnectString(source));

    TConnectStringFields seen;
    bool postgres_tab = false;
    const auto look_and_close = [&] {
        QTimer::singleShot(0, dialog, [&] {
            seen = dialog->Fields();
            postgres_tab = dialog->PageControl->isTabVisible(1);
            dialog->reject();
        });
    };
    look_and_close();
    form_->BtnConnectToClick();
    EXPECT_EQ(seen.provider, kProviderPostgres);
    EXPECT_TRUE(postgres_tab);
    EXPECT_EQ(seen.source, "PostgreSQL_Test");
    EXPECT_EQ(seen.port, "5444");
    EXPECT_EQ(seen.user_postgres, "admin");
    EXPECT_EQ(seen.password_postgres, "pw");
    EXPECT_EQ(BuildConnectString(seen), BuildConnectString(target));

    look_and_close();
    form_->BtnConnectFromClick();
    EXPECT_EQ(seen.provider, kProviderMsDaOra);
    EXPECT_FALSE(postgres_tab);
    EXPECT_EQ(seen.user_oracle, "scott");
    EXPECT_EQ(seen.db_oracle, "ORCL");

    // A text the dialog cannot read leaves the fields as they were last left.
    form_->MemoConnectFrom->setPlainText(QStringLiteral("typed by hand"));
    look_and_close();
    form_->BtnConnectFromClick();
    EXPECT_EQ(seen.provider, kProviderMsDaOra);
    EXPECT_EQ(seen.user_oracle, "scott");
    EXPECT_EQ(form_->MemoConnectFrom->toPlainText(), "typed by hand");
}

TEST_F(OperatorViewTest, HelpOpensThePageOfTheStepWithoutAHelpFile) {
    QList<QUrl> opened;
    form_->open_url = [&](const QUrl& url) { opened << url; };
    form_->step = 3;
    form_->BtnHelpClick();
    ASSERT_NE(form_->help_form, nullptr);
    EXPECT_TRUE(form_->help_form->isVisible());
    EXPECT_EQ(form_->help_form->CurrentPage(), "step3.html");
    EXPECT_EQ(form_->help_form->BrowserHelp->documentTitle(), "Шаг 3. Настройка миграции");
    EXPECT_TRUE(form_->help_form->BrowserHelp->toPlainText().contains("Порция чтения"));
    // The same window, on the page of the step now shown.
    TFormHelp* window = form_->help_form;
    form_->step = 8;
    form_->BtnHelpClick();
    EXPECT_EQ(form_->help_form, window);
    EXPECT_EQ(window->CurrentPage(), "step6.html#error");
    window->BtnContents->click();
    EXPECT_EQ(window->CurrentPage(), "index.html");
    EXPECT_TRUE(window->BtnBack->isEnabled());
    EXPECT_TRUE(opened.isEmpty());

    // The operator's own help file in the start folder comes first.
    QFile chm(form_->paths.file_help);
    ASSERT_TRUE(chm.open(QIODevice::WriteOnly));
    chm.close();
    window->hide();
    form_->BtnHelpClick();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(form_->paths.file_help));
    EXPECT_FALSE(window->isVisible());
    QFile::remove(form_->paths.file_help);

    // Without the pages the operator is told so.
    form_->help_dir.clear();
    form_->BtnHelpClick();
    ASSERT_EQ(questions_.Count("error"), 1);
    EXPECT_TRUE(questions_.asked.last().text.startsWith("Справка не найдена"));
}

TEST(HelpPages, ShippedBesideTheProgramWithEveryLinkResolving) {
    // The build puts the pages where the program looks for them.
    EXPECT_EQ(FindHelpFolder(QStringLiteral(SKERROW_PROGRAM_DIR)),
              QDir::cleanPath(QStringLiteral(SKERROW_PROGRAM_DIR "/help")));
    EXPECT_TRUE(FindHelpFolder(QDir::tempPath() + "/no-such-program").isEmpty());

    const QDir dir(HelpSourceDir());
    QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    for (int step = 1; step <= 6; ++step) {
        EXPECT_TRUE(pages.contains(QStringLiteral("step%1.html").arg(step))) << step;
    }
    EXPECT_TRUE(pages.contains(QString::fromLatin1(kHelpContents)));
    const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    const QRegularExpression title(QStringLiteral("<title>[^<]+</title>"));
    const auto text_of = [&](const QString& page) {
        QFile file(dir.filePath(page));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    // Every page the window opens, and every link between the pages, lands on a page and an
    // anchor that exist.
    QStringList targets;
    for (const QString& page : pages) {
        const QString text = text_of(page);
        EXPECT_TRUE(title.match(text).hasMatch()) << page.toStdString();
        for (auto it = href.globalMatch(text); it.hasNext();) {
            const QString link = it.next().captured(1);
            targets << (link.startsWith(u'#') ? page + link : link);
        }
    }
    TScriptedQuestions questions;
    TFormMigration form(&questions);
    form.TimerCheck->stop();
    for (int step = 1; step <= 9; ++step) {
        form.step = step;
        targets << form.HelpPage();
    }
    for (const QString& target : targets) {
        const QString page = target.section(u'#', 0, 0);
        const QString anchor = target.section(u'#', 1);
        ASSERT_TRUE(pages.contains(page)) << target.toStdString();
        if (!anchor.isEmpty()) {
            EXPECT_TRUE(text_of(page).contains("id=\"" + anchor + "\"")) << target.toStdString();
        }
    }
}

TEST(QtTranslations, QtsOwnTextsComeInRussian) {
    QTranslator* translator = LoadQtTranslations(qApp);
    ASSERT_NE(translator, nullptr) << "qtbase_ru.qm is missing (Debian qt6-translations-l10n)";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Отмена");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), "Открыть");
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
}

TEST(InputBox, WideEnoughForItsCaptionAndValue) {
    QWidget parent;
    TQuestionsForm questions(&parent);
    const QString caption = QStringLiteral("Довесок к запросу при выборке");
    const QString value =
        QStringLiteral("WHERE ORDER_DATE >= DATE '2015-01-01' AND STATUS IN ('A', 'B', 'C')");
    int width = 0;
    int caption_width = 0;
    int value_width = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        width = box->width();
        caption_width = box->fontMetrics().horizontalAdvance(caption);
        value_width = box->fontMetrics().horizontalAdvance(value);
        box->setTextValue(QStringLiteral("WHERE 1 = 1"));
        box->accept();
    });
    QString text = value;
    EXPECT_TRUE(questions.InputText(caption, QStringLiteral("Добавочный текст:"), text));
    EXPECT_EQ(text, "WHERE 1 = 1");
    EXPECT_GT(width, caption_width + 100);
    EXPECT_GT(width, value_width);
}

}  // namespace
