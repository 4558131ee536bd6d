#include "db/connect_string_form.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QTabWidget>
#include <QVBoxLayout>

TFormConnectString::TFormConnectString(QWidget* parent, bool load_at_start) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Строка подключения"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ComboProvider = new QComboBox(this);
    ComboProvider->addItems(
        {QStringLiteral("ORAOLEDB"), QStringLiteral("MSDAORA"), QStringLiteral("POSTGRES ODBC")});
    ComboProvider->setCurrentIndex(0);
    layout->addWidget(ComboProvider);

    PageControl = new QTabWidget(this);
    TabOracle = new QWidget;
    auto* oracle = new QFormLayout(TabOracle);
    EditDbOracle = new QLineEdit(TabOracle);
    EditUserOracle = new QLineEdit(TabOracle);
    EditPasswordOracle = new QLineEdit(TabOracle);
    // The dialog opens on the fields of the panel's string, whose password the panel hides.
    EditPasswordOracle->setEchoMode(QLineEdit::Password);
    EditPasswordOracle->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    oracle->addRow(QStringLiteral("База данных:"), EditDbOracle);
    oracle->addRow(QStringLiteral("Пользователь:"), EditUserOracle);
    oracle->addRow(QStringLiteral("Пароль:"), EditPasswordOracle);

    TabPostgres = new QWidget;
    auto* postgres = new QFormLayout(TabPostgres);
    LabelSource = new QLabel(QStringLiteral("Источник данных:"), TabPostgres);
    ComboSource = new QComboBox(TabPostgres);
    EditServerPostgres = new QLineEdit(QStringLiteral("localhost"), TabPostgres);
    EditPortPostgres = new QLineEdit(QStringLiteral("5432"), TabPostgres);
    EditPortPostgres->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    EditUserPostgres = new QLineEdit(QStringLiteral("postgres"), TabPostgres);
    EditPasswordPostgres = new QLineEdit(TabPostgres);
    EditPasswordPostgres->setEchoMode(QLineEdit::Password);
    EditPasswordPostgres->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    postgres->addRow(LabelSource, ComboSource);
    postgres->addRow(QStringLiteral("Сервер:"), EditServerPostgres);
    postgres->addRow(QStringLiteral("Порт:"), EditPortPostgres);
    postgres->addRow(QStringLiteral("Администратор:"), EditUserPostgres);
    postgres->addRow(QStringLiteral("Пароль:"), EditPasswordPostgres);

    PageControl->addTab(TabOracle, QStringLiteral("Oracle"));
    PageControl->addTab(TabPostgres, QStringLiteral("Postgres"));
    layout->addWidget(PageControl);

    ButtonOk = new QPushButton(QStringLiteral("Сформировать"), this);
    ButtonOk->setDefault(true);
    layout->addWidget(ButtonOk, 0, Qt::AlignRight);

    connect(ComboProvider, &QComboBox::currentIndexChanged, this,
            [this] { ComboProviderChange(); });
    for (QLineEdit* edit : {EditDbOracle, EditUserOracle, EditPasswordOracle, EditServerPostgres,
                            EditPortPostgres, EditUserPostgres, EditPasswordPostgres}) {
        connect(edit, &QLineEdit::textChanged, this, [this] { EditDbOracleChange(); });
    }
    connect(ComboSource, &QComboBox::currentIndexChanged, this, [this] { EditDbOracleChange(); });
    connect(ButtonOk, &QPushButton::clicked, this, [this] { ButtonOkClick(); });

    if (load_at_start) {
        FormCreate();
    }
    ComboProviderChange();
}

void TFormConnectString::FormCreate() {
    TConnectStringFields fields = Fields();
    {
        // Read only: nothing is ever written to the related application's settings.
        QSettings zentor(QStringLiteral("Tarnwell"), QStringLiteral("Orvelle"));
        LoadZentor(zentor, fields);
    }
    SetFields(fields);
    SetOdbcList(LoadOdbcList());
}

void TFormConnectString::SetOdbcList(const QStringList& sources) {
    ComboSource->clear();
    ComboSource->addItems(sources);
    ComboSource->setEnabled(ComboSourceEnabled(sources));
    if (!sources.isEmpty()) {
        ComboSource->setCurrentIndex(0);
    }
    EditDbOracleChange();
}

TConnectStringFields TFormConnectString::Fields() const {
    TConnectStringFields fields;
    fields.provider = ComboProvider->currentIndex();
    fields.db_oracle = EditDbOracle->text();
    fields.user_oracle = EditUserOracle->text();
    fields.password_oracle = EditPasswordOracle->text();
    fields.source = ComboSource->currentText();
    fields.server = EditServerPostgres->text();
    fields.port = EditPortPostgres->text();
    fields.user_postgres = EditUserPostgres->text();
    fields.password_postgres = EditPasswordPostgres->text();
    return fields;
}

void TFormConnectString::SetFields(const TConnectStringFields& fields) {
    ComboProvider->setCurrentIndex(fields.provider);
    EditDbOracle->setText(fields.db_oracle);
    EditUserOracle->setText(fields.user_oracle);
    EditPasswordOracle->setText(fields.password_oracle);
    const int source = ComboSource->findText(fields.source);
    if (source >= 0) {
        ComboSource->setCurrentIndex(source);
    }
    EditServerPostgres->setText(fields.server);
    EditPortPostgres->setText(fields.port);
    EditUserPostgres->setText(fields.user_postgres);
    EditPasswordPostgres->setText(fields.password_postgres);
}

void TFormConnectString::ComboProviderChange() {
    const int provider = ComboProvider->currentIndex();
    const bool oracle = provider == 0 || provider == 1;
    const bool postgres = provider == 2;
    // Show before hiding, so the tab widget never has to choose a page on its own.
    if (oracle) {
        PageControl->setTabVisible(0, true);
        PageControl->setCurrentIndex(0);
        PageControl->setTabVisible(1, false);
    } else {
        PageControl->setTabVisible(1, postgres);
        if (postgres) {
            PageControl->setCurrentIndex(1);
        }
        PageControl->setTabVisible(0, false);
    }
    EditDbOracleChange();
}

void TFormConnectString::EditDbOracleChange() {
    ButtonOk->setEnabled(ButtonOkEnabled(Fields()));
}

void TFormConnectString::ButtonOkClick() {
    connect_string = BuildConnectString(Fields());
    accept();
}

void TFormConnectString::showEvent(QShowEvent* event) {
    ComboProviderChange();
    QDialog::showEvent(event);
}
