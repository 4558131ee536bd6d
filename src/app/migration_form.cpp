#include "app/migration_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/about_form.h"
#include "app/help_form.h"
#include "app/questions_form.h"
#include "app/secret_memo_ui.h"
#include "app/step_strip_ui.h"
#include "util/text_utils.h"

namespace {

QTreeWidget* NewList(const QStringList& columns, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(columns.size());
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setUniformRowHeights(true);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    return list;
}

QPlainTextEdit* NewMemo(QWidget* parent, bool read_only) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setReadOnly(read_only);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    return memo;
}

// The settings store colours the way the tint helper takes them: 0x00BBGGRR.
QColor Tinted(const QColor& color, int percent) {
    const uint32_t packed = static_cast<uint32_t>(color.red()) |
                            (static_cast<uint32_t>(color.green()) << 8) |
                            (static_cast<uint32_t>(color.blue()) << 16);
    const uint32_t tinted = TintColor(packed, percent, percent, percent);
    return QColor(tinted & 0xFF, (tinted >> 8) & 0xFF, (tinted >> 16) & 0xFF);
}

// A round badge with one glyph: the style's own help icon is not drawn alike on every
// platform, and the two buttons show only their pictures.
QIcon GlyphIcon(QChar glyph, const QColor& color) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(1, 1, 30, 30));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QString(glyph));
    return QIcon(pixmap);
}

void PaintBackground(QWidget* panel, const QColor& color) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, color);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
}

}  // namespace

TFormMigration::TFormMigration(TQuestions* questions, QWidget* parent)
    : QWidget(parent), open_url([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    if (questions == nullptr) {
        own_questions_ = std::make_unique<TQuestionsForm>(this);
        questions = own_questions_.get();
    }
    questions_ = questions;
    rate_clock_.start();
    setWindowTitle(QStringLiteral("Миграция баз данных"));
    resize(893, 686);
    BuildFrame();
    BuildVerifyControls();
    ConnectHandlers();
    SetUpDisplay();
    FormCreate();
    // A run that ended is shown at once, not on the next tick; when the window is gone before
    // the call arrives, Qt drops it.
    copy_worker.OnRunEnded([this] { PostCopyTick(); });
    TimerCheck->start();
}

TFormMigration::~TFormMigration() {
    // The unit in flight ends before the connections, the table model and the checks' state
    // it works on go.
    copy_worker.Stop();
    copy_worker.Wait();
    FormDestroy();
    DeleteExportWindows();
}

QString TFormMigration::MemoText(const QPlainTextEdit* memo) {
    QString text = memo->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

void TFormMigration::SetMemoText(QPlainTextEdit* memo, const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    memo->setPlainText(shown);
}

void TFormMigration::BuildFrame() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PanelInfo = new TStepStrip(this);
    PanelInfo->setObjectName(QStringLiteral("PanelInfo"));
    PanelInfo->setFixedHeight(33);
    PanelInfo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    PanelInfo->setContentsMargins(8, 0, 8, 0);
    layout->addWidget(PanelInfo);

    PageControl1 = new QTabWidget(this);
    PageControl1->setDocumentMode(true);
    TabSelDb = BuildSelDbPage();
    TabStructFrom = BuildStructFromPage();
    TabNewDb = BuildNewDbPage();
    TabScript = BuildScriptPage();
    TabStructTo = BuildStructToPage();
    TabCopyData = BuildCopyDataPage();
    TabError = BuildErrorPage();
    PageControl1->addTab(TabSelDb, QStringLiteral("Выбор баз данных"));
    PageControl1->addTab(TabStructFrom, QStringLiteral("Исходная БД"));
    PageControl1->addTab(TabNewDb, QStringLiteral("Настройка миграции"));
    PageControl1->addTab(TabScript, QStringLiteral("Sql-скрипт новой БД"));
    PageControl1->addTab(TabStructTo, QStringLiteral("Новая БД"));
    PageControl1->addTab(TabCopyData, QStringLiteral("Копирование данных"));
    PageControl1->addTab(TabError, QStringLiteral("Произошла ошибка"));
    for (int i = 1; i < PageControl1->count(); ++i) {
        PageControl1->setTabVisible(i, false);
    }
    layout->addWidget(PageControl1, 1);

    PanelControl = new QFrame(this);
    PanelControl->setObjectName(QStringLiteral("PanelControl"));
    PanelControl->setFixedHeight(41);
    auto* control = new QHBoxLayout(PanelControl);
    control->setContentsMargins(8, 4, 8, 4);
    BtnHelp = new QPushButton(QStringLiteral("Справка"), PanelControl);
    BtnHelp->setToolTip(QStringLiteral("Справка"));
    BtnHelp->setIcon(GlyphIcon(u'?', QColor(0x2e, 0x6d, 0xb4)));
    BtnInfo = new QPushButton(QStringLiteral("О программе"), PanelControl);
    BtnInfo->setToolTip(QStringLiteral("О программе"));
    BtnInfo->setIcon(GlyphIcon(u'i', QColor(0x3a, 0x8a, 0x4c)));
    BtnPrev = new QPushButton(QStringLiteral("Назад"), PanelControl);
    BtnNext = new QPushButton(QStringLiteral("Далее"), PanelControl);
    BtnPrev->setEnabled(false);
    BtnNext->setEnabled(false);
    control->addWidget(BtnHelp);
    control->addWidget(BtnInfo);
    control->addStretch(1);
    control->addWidget(BtnPrev);
    control->addWidget(BtnNext);
    layout->addWidget(PanelControl);

    TimerCheck = new QTimer(this);
    TimerCheck->setInterval(100);
}

QWidget* TFormMigration::BuildSelDbPage() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    // Both panels get the same stretch: the source takes half of the page, the target the rest.
    auto build_panel = [page](const QString& caption, QGroupBox*& panel, QLabel*& label,
                              QPlainTextEdit*& memo, QPushButton*& build, QPushButton*& check,
                              QLabel*& mark, QCheckBox*& show_password) {
        panel = new QGroupBox(caption, page);
        auto* grid = new QGridLayout(panel);
        label = new QLabel(QStringLiteral("Строка подключения:"), panel);
        // The strings hold passwords: drawn as dots unless the operator asks to see them.
        auto* secret_memo = new TSecretMemo(panel);
        memo = secret_memo;
        show_password = new QCheckBox(QStringLiteral("Показать пароль"), panel);
        QObject::connect(show_password, &QCheckBox::toggled, secret_memo,
                         [secret_memo](bool shown) { secret_memo->SetPasswordsHidden(!shown); });
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        build = new QPushButton(QStringLiteral("Сформировать"), panel);
        check = new QPushButton(QStringLiteral("Проверить"), panel);
        mark = new QLabel(QStringLiteral("OK"), panel);
        QFont bold = mark->font();
        bold.setBold(true);
        mark->setFont(bold);
        mark->setVisible(false);
        grid->addWidget(label, 0, 0, 1, 5);
        grid->addWidget(memo, 1, 0, 1, 5);
        grid->addWidget(build, 2, 0);
        grid->addWidget(check, 2, 1);
        grid->addWidget(mark, 2, 2);
        grid->addWidget(show_password, 2, 4);
        grid->setColumnStretch(3, 1);
    };
    build_panel(QStringLiteral(" Исходная БД "), PanelConnectFrom, LabelConnectFrom,
                MemoConnectFrom, BtnConnectFrom, BtnCheckFrom, LabelCheckDbFrom,
                CheckShowPasswordFrom);
    build_panel(QStringLiteral(" Конечная БД "), PanelConnectTo, LabelConnectTo, MemoConnectTo,
                BtnConnectTo, BtnCheckTo, LabelCheckDbTo, CheckShowPasswordTo);
    layout->addWidget(PanelConnectFrom, 1);
    layout->addWidget(PanelConnectTo, 1);
    return page;
}

QWidget* TFormMigration::BuildStructFromPage() {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);

    ListTableFrom = NewList({QStringLiteral("Таблица"), QStringLiteral("Записей"),
                             QStringLiteral("Primary Key"), QStringLiteral("Комментарий")},
                            page);
    layout->addWidget(ListTableFrom, 0, 0, 3, 1);

    auto* totals = new QFormLayout;
    EditSumTable = new QLineEdit(page);
    EditSumRow = new QLineEdit(page);
    EditVersionFrom = new QLineEdit(page);
    for (QLineEdit* edit : {EditSumTable, EditSumRow, EditVersionFrom}) {
        edit->setReadOnly(true);
    }
    totals->addRow(QStringLiteral("Таблиц:"), EditSumTable);
    totals->addRow(QStringLiteral("Записей:"), EditSumRow);
    totals->addRow(QStringLiteral("Версия:"), EditVersionFrom);
    // What the read had to take from elsewhere (the version from another view, the owner from
    // the server); hidden when there is nothing to say.
    LabelReadNotes = new QLabel(page);
    LabelReadNotes->setWordWrap(true);
    LabelReadNotes->setVisible(false);
    totals->addRow(LabelReadNotes);
    layout->addLayout(totals, 0, 1);

    MemoTypes = NewMemo(page, true);
    layout->addWidget(MemoTypes, 1, 1);
    ListKeys = NewList({QStringLiteral("Ключ"), QStringLiteral("Тип"), QStringLiteral("Таблица"),
                        QStringLiteral("Состояние")},
                       page);
    ListKeys->setContextMenuPolicy(Qt::DefaultContextMenu);
    layout->addWidget(ListKeys, 2, 1);

    ListField = NewList(
        {QStringLiteral("Поле"), QStringLiteral("Тип"), QStringLiteral("Размер"),
         QStringLiteral("Null"), QStringLiteral("По умолч."), QStringLiteral("Автоинкр."),
         QStringLiteral("Переименовать"), QStringLiteral("Данные"), QStringLiteral("Комментарий")},
        page);
    layout->addWidget(ListField, 0, 2, 2, 1);

    // Keys, indexes and checks of the selected table; the schema's sequences.
    TabTableDetails = new QTabWidget(page);
    auto* keys_page = new QWidget(TabTableDetails);
    ListUk = NewList({QStringLiteral("UK"), QStringLiteral("Поля"), QStringLiteral("Состояние")},
                     keys_page);
    ListUk->setContextMenuPolicy(Qt::DefaultContextMenu);
    ListFk = NewList({QStringLiteral("FK"), QStringLiteral("Поля"), QStringLiteral("Ссылка"),
                      QStringLiteral("Состояние")},
                     keys_page);
    ListFk->setContextMenuPolicy(Qt::DefaultContextMenu);
    auto* keys = new QHBoxLayout(keys_page);
    keys->setContentsMargins(0, 0, 0, 0);
    keys->addWidget(ListUk);
    keys->addWidget(ListFk);
    TabTableDetails->addTab(keys_page, QStringLiteral("Ключи"));
    ListIndexes =
        NewList({QStringLiteral("Индекс"), QStringLiteral("Уникальный"), QStringLiteral("Поля")},
                TabTableDetails);
    ListIndexes->setContextMenuPolicy(Qt::DefaultContextMenu);
    TabTableDetails->addTab(ListIndexes, QStringLiteral("Индексы"));
    ListChecks = NewList(
        {QStringLiteral("Ограничение"), QStringLiteral("Условие"), QStringLiteral("Состояние")},
        TabTableDetails);
    ListChecks->setContextMenuPolicy(Qt::DefaultContextMenu);
    TabTableDetails->addTab(ListChecks, QStringLiteral("Проверки"));
    ListSequences =
        NewList({QStringLiteral("Последовательность"), QStringLiteral("Следующее"),
                 QStringLiteral("Шаг"), QStringLiteral("Минимум"), QStringLiteral("Максимум"),
                 QStringLiteral("Цикл"), QStringLiteral("Кэш")},
                TabTableDetails);
    ListSequences->setContextMenuPolicy(Qt::DefaultContextMenu);
    TabTableDetails->addTab(ListSequences, QStringLiteral("Последовательности"));
    layout->addWidget(TabTableDetails, 2, 2);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);
    layout->setColumnStretch(2, 4);

    PopupTableFrom = new QMenu(ListTableFrom);
    NDelTable = PopupTableFrom->addAction(QStringLiteral("Удалить таблицу"));
    NFileSave = PopupTableFrom->addAction(QStringLiteral("Данные в файл"));
    PopupField = new QMenu(ListField);
    NRenameField = PopupField->addAction(QStringLiteral("Переименовать"));
    return page;
}

QWidget* TFormMigration::BuildNewDbPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    EditUser = new QLineEdit(page);
    EditPassword = new QLineEdit(page);
    EditPassword->setEchoMode(QLineEdit::Password);
    EditPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    SpinPortionWrite = new QSpinBox(page);
    SpinPortionWrite->setRange(kPortionWriteMin, kPortionWriteMax);
    SpinPortionWrite->setValue(1000);
    SpinPortionRead = new QSpinBox(page);
    SpinPortionRead->setRange(kPortionReadMin, kPortionReadMax);
    SpinPortionRead->setValue(100000);
    LabelIntType = new QLabel(QStringLiteral("Преобразование типа:"), page);
    ComboIntType = new QComboBox(page);
    ComboIntType->addItems({QStringLiteral("NUMBER >BIGINT"), QStringLiteral("NUMBER > INTEGER")});
    ComboIntType->setCurrentIndex(0);
    LabelWriteMethod = new QLabel(QStringLiteral("Способ записи:"), page);
    ComboWriteMethod = new QComboBox(page);
    ComboWriteMethod->addItems({QStringLiteral("COPY (быстро)"), QStringLiteral("INSERT")});
    ComboWriteMethod->setCurrentIndex(0);
    LabelDateTimeFormat = new QLabel(QStringLiteral("Формат даты/времени:"), page);
    EditDateTimeFormat = new QLineEdit(QStringLiteral("dd-mm-yy hh:nn:ss"), page);
    // Least rights by default; DBA only when the operator asks for it.
    CheckGrantDba = new QCheckBox(QStringLiteral("Выдать новому пользователю роль DBA"), page);
    CheckGrantDba->setVisible(false);
    // Step 5 drops and re-creates whatever has this name: the label says what the name is.
    form->addRow(QStringLiteral("Пользователь (имя новой БД и её владельца):"), EditUser);
    form->addRow(QStringLiteral("Пароль:"), EditPassword);
    form->addRow(QStringLiteral("Порция записи при копировании данных:"), SpinPortionWrite);
    form->addRow(QStringLiteral("Порция чтения при копировании данных:"), SpinPortionRead);
    form->addRow(LabelIntType, ComboIntType);
    form->addRow(LabelWriteMethod, ComboWriteMethod);
    form->addRow(LabelDateTimeFormat, EditDateTimeFormat);
    form->addRow(CheckGrantDba);
    return page;
}

QWidget* TFormMigration::BuildScriptPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    MemoScript = NewMemo(page, false);
    layout->addWidget(MemoScript, 1);
    PanelScript = new QFrame(page);
    auto* panel = new QHBoxLayout(PanelScript);
    panel->setContentsMargins(0, 0, 0, 0);
    BtnAddScript = new QPushButton(QStringLiteral("Добавить из файла"), PanelScript);
    panel->addWidget(BtnAddScript);
    panel->addStretch(1);
    layout->addWidget(PanelScript);
    return page;
}

QWidget* TFormMigration::BuildStructToPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* version = new QFormLayout;
    EditVersionTo = new QLineEdit(page);
    EditVersionTo->setReadOnly(true);
    version->addRow(QStringLiteral("Версия:"), EditVersionTo);
    layout->addLayout(version);
    ListTableTo = NewList({QStringLiteral("Таблица"), QStringLiteral("Записей"),
                           QStringLiteral("Довесок к запросу"), QStringLiteral("Из файла")},
                          page);
    layout->addWidget(ListTableTo, 1);
    LabelResStruct = new QLabel(page);
    LabelResStruct->setWordWrap(true);
    LabelResStruct->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(LabelResStruct);

    PopupTableTo = new QMenu(ListTableTo);
    NQueryAddi = PopupTableTo->addAction(QStringLiteral("Сформировать довесок"));
    NFileCopy = PopupTableTo->addAction(QStringLiteral("Данные из файла"));
    return page;
}

QWidget* TFormMigration::BuildCopyDataPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    GaugeTable = new QProgressBar(page);
    GaugeRow = new QProgressBar(page);
    LabelN = new QLabel(page);
    LabelTime = new QLabel(page);
    LabelSpeed = new QLabel(page);
    LabelSpeed->setObjectName(QStringLiteral("LabelSpeed"));
    LabelPause = new QLabel(QStringLiteral("Пауза"), page);
    QFont bold = LabelPause->font();
    bold.setBold(true);
    LabelPause->setFont(bold);
    LabelPause->setVisible(false);
    layout->addWidget(GaugeTable);
    layout->addWidget(GaugeRow);
    auto* labels = new QHBoxLayout;
    labels->addWidget(LabelN, 1);
    labels->addWidget(LabelPause);
    labels->addWidget(LabelTime);
    layout->addLayout(labels);
    layout->addWidget(LabelSpeed);
    MemoCopy = NewMemo(page, true);
    layout->addWidget(MemoCopy, 1);
    auto* buttons = new QHBoxLayout;
    BtnPause = new QPushButton(QStringLiteral("Пауза"), page);
    BtnContinue = new QPushButton(QStringLiteral("Продолжить"), page);
    BtnPause->setEnabled(false);
    BtnContinue->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(BtnPause);
    buttons->addWidget(BtnContinue);
    layout->addLayout(buttons);
    return page;
}

void TFormMigration::ConnectHandlers() {
    connect(TimerCheck, &QTimer::timeout, this, [this] { TimerCheckTimer(); });
    connect(BtnNext, &QPushButton::clicked, this, [this] { BtnNextClick(); });
    connect(BtnPrev, &QPushButton::clicked, this, [this] { BtnPrevClick(); });
    connect(BtnPause, &QPushButton::clicked, this, [this] { BtnPauseClick(); });
    connect(BtnContinue, &QPushButton::clicked, this, [this] { BtnContinueClick(); });
    connect(BtnHelp, &QPushButton::clicked, this, [this] { BtnHelpClick(); });
    connect(BtnInfo, &QPushButton::clicked, this, [this] { BtnInfoClick(); });

    connect(BtnCheckFrom, &QPushButton::clicked, this, [this] { BtnCheckFromClick(); });
    connect(BtnCheckTo, &QPushButton::clicked, this, [this] { BtnCheckToClick(); });
    connect(BtnConnectFrom, &QPushButton::clicked, this, [this] { BtnConnectFromClick(); });
    connect(BtnConnectTo, &QPushButton::clicked, this, [this] { BtnConnectToClick(); });
    // Any change of a connection string invalidates its earlier check.
    connect(MemoConnectFrom, &QPlainTextEdit::textChanged, this,
            [this] { LabelCheckDbFrom->setVisible(false); });
    connect(MemoConnectTo, &QPlainTextEdit::textChanged, this,
            [this] { LabelCheckDbTo->setVisible(false); });

    // The detail lists follow the row that was selected last; losing the selection leaves them
    // showing the table that lost it.
    for (QTreeWidget* list : {ListTableFrom, ListTableTo}) {
        auto last_selected = std::make_shared<QString>();
        connect(list, &QTreeWidget::itemSelectionChanged, this, [this, list, last_selected] {
            const QList<QTreeWidgetItem*> selected = list->selectedItems();
            if (!selected.isEmpty()) {
                *last_selected = selected.first()->text(0);
            }
            ShowTableDetails(*last_selected);
        });
    }
    connect(ListTableFrom, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupTableFromPopup();
        PopupTableFrom->popup(ListTableFrom->viewport()->mapToGlobal(at));
    });
    connect(ListField, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupFieldPopup();
        PopupField->popup(ListField->viewport()->mapToGlobal(at));
    });
    connect(ListTableTo, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupTableToPopup();
        PopupTableTo->popup(ListTableTo->viewport()->mapToGlobal(at));
    });
    connect(NDelTable, &QAction::triggered, this, [this] { NDelTableClick(); });
    connect(NFileSave, &QAction::triggered, this, [this] { NFileSaveClick(); });
    connect(NRenameField, &QAction::triggered, this, [this] { NRenameFieldClick(); });
    connect(NQueryAddi, &QAction::triggered, this, [this] { NQueryAddiClick(); });
    connect(NFileCopy, &QAction::triggered, this, [this] { NFileCopyClick(); });
    connect(BtnAddScript, &QPushButton::clicked, this, [this] { BtnAddScriptClick(); });
}

void TFormMigration::FormCreate() {
    const QString cur_dir = QDir::currentPath();

    TSettingsValues values;
    {
        QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                           QString::fromLatin1(kSettingsApplication));
        LoadSettings(settings, values);
    }
    SetMemoText(MemoConnectFrom, values.connect_from);
    SetMemoText(MemoConnectTo, values.connect_to);
    EditUser->setText(values.user);
    EditPassword->setText(values.password);
    ComboIntType->setCurrentIndex(values.int_type);
    SpinPortionWrite->setValue(values.portion_write);
    SpinPortionRead->setValue(values.portion_read);
    CheckGrantDba->setChecked(values.grant_dba);
    CheckValidate->setChecked(values.validate);
    CheckChecksum->setChecked(values.checksum);
    ComboWriteMethod->setCurrentIndex(values.write_method);

    paths = MakeWorkPaths(cur_dir);
    help_dir = FindHelpFolder(QCoreApplication::applicationDirPath());

    const QColor face = palette().color(QPalette::Button);
    PaintBackground(PanelInfo, Tinted(face, -4));
    PaintBackground(PanelControl, Tinted(face, 2));

    BtnHelp->setText(QString());
    BtnInfo->setText(QString());
    BtnInfo->setVisible(!QFileInfo::exists(paths.file_addi));

    step = 1;
}

void TFormMigration::FormDestroy() {
    if (settings_saved_) {
        return;
    }
    settings_saved_ = true;
    TSettingsValues values;
    values.connect_from = MemoText(MemoConnectFrom);
    values.connect_to = MemoText(MemoConnectTo);
    values.user = EditUser->text();
    values.password = EditPassword->text();
    values.int_type = ComboIntType->currentIndex();
    values.portion_write = SpinPortionWrite->value();
    values.portion_read = SpinPortionRead->value();
    values.grant_dba = CheckGrantDba->isChecked();
    values.validate = CheckValidate->isChecked();
    values.checksum = CheckChecksum->isChecked();
    values.write_method = std::max(0, ComboWriteMethod->currentIndex());
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    SaveSettings(settings, values);
}

void TFormMigration::BtnHelpClick() {
    // A help file in the start folder is the operator's own and comes first; whether a viewer
    // exists for it is the desktop's business. Without one the program's own pages are shown.
    if (QFileInfo::exists(paths.file_help)) {
        open_url(QUrl::fromLocalFile(paths.file_help));
        return;
    }
    if (help_dir.isEmpty()) {
        questions_->ShowError(kApplicationTitle,
                              QStringLiteral("Справка не найдена: рядом с программой нет папки "
                                             "help с её страницами."));
        return;
    }
    if (help_form == nullptr) {
        help_form = new TFormHelp(help_dir, this);
    }
    help_form->ShowPage(HelpPage());
}

void TFormMigration::BtnInfoClick() {
    if (about_form == nullptr) {
        return;
    }
    about_form->LabelCopyright->setText(TFormAbout::CopyrightLine());
    about_form->exec();
}

void TFormMigration::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery()) {
        // No unit starts after the window has gone; the one in flight finishes and commits.
        copy_worker.Stop();
        copy_worker.Wait();
        event->accept();
    } else {
        event->ignore();
    }
}
