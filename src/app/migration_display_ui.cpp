// What the window shows beyond the results of the steps: where the operator is (the strip, the
// pause mark, the table gauge, the elapsed time without the pauses), list columns that show
// their contents, numbers with grouped digits, hints on the settings, the version banners in
// full, and the help page of each step.

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <climits>

#include "app/list_columns_ui.h"
#include "app/migration_form.h"
#include "app/step_strip_ui.h"

namespace {

constexpr int kStepCount = 6;

// The version fields are narrower than a full banner: the start stays in sight and the whole
// of it is in the hint.
void ShowWholeBanner(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        edit->setToolTip(text);
        edit->setCursorPosition(0);
    });
}

}  // namespace

void TFormMigration::SetUpDisplay() {
    static_cast<TStepStrip*>(PanelInfo)->SetCompose(
        [this](const QString&) { return StepStripText(); });

    for (QTreeWidget* list : findChildren<QTreeWidget*>()) {
        new TColumnSizer(list);
    }
    for (QTreeWidget* list : {ListTableFrom, ListTableTo}) {
        list->setItemDelegateForColumn(1, new TGroupedNumberDelegate(list));
    }
    GaugeTable->setFormat(QStringLiteral("Таблиц скопировано: %v из %m"));

    ShowWholeBanner(EditVersionFrom);
    ShowWholeBanner(EditVersionTo);
    // Columns of the script line up as they were written.
    MemoScript->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    EditUser->setToolTip(QStringLiteral(
        "Имя новой базы данных и её владельца (для Oracle — имя нового пользователя). Если "
        "база данных или пользователь с таким именем уже есть и в них есть таблицы, на шаге 5 "
        "программа спросит, можно ли их удалить."));
    EditPassword->setToolTip(QStringLiteral(
        "Пароль владельца новой базы данных (нового пользователя Oracle). Может быть пустым."));
    SpinPortionWrite->setToolTip(
        QStringLiteral("Сколько строк записывается в новую базу данных одной порцией "
                       "(от 1 до 10 000)."));
    SpinPortionRead->setToolTip(QStringLiteral(
        "Сколько строк читается из исходной базы данных одним запросом (до 10 000 000); 0 — "
        "каждая таблица читается за один проход. Для Oracle старше версии 12 поле недоступно: "
        "таблицы читаются целиком."));
    ComboIntType->setToolTip(QStringLiteral(
        "Тип, который получают в PostgreSQL целые столбцы NUMBER: BIGINT или INTEGER."));
    ComboWriteMethod->setToolTip(QStringLiteral(
        "Как строки записываются в PostgreSQL: COPY передаёт их потоком, порциями в одной "
        "транзакции (во много раз быстрее); INSERT — многострочными командами INSERT."));
    EditDateTimeFormat->setToolTip(QStringLiteral(
        "Формат, в котором даты и время записываются в новую базу данных Oracle; берётся из "
        "её настройки nls_date_format."));
    CheckGrantDba->setToolTip(QStringLiteral(
        "Выдать новому пользователю роль DBA сверх прав, нужных для переноса. Без отметки он "
        "получает только эти права."));
    for (QCheckBox* check : {CheckShowPasswordFrom, CheckShowPasswordTo}) {
        check->setToolTip(QStringLiteral("Показать пароль в строке подключения вместо точек."));
    }
}

QString TFormMigration::StepStripText() const {
    QString caption;
    switch (step) {
        case 1:
            caption = QStringLiteral("Выбор баз данных");
            break;
        case 3:
            caption = QStringLiteral("Настройка миграции");
            break;
        case 7:
            caption = QStringLiteral("Пауза");
            break;
        case 9:
            caption = QStringLiteral("Миграция завершена");
            break;
        default: {
            // The stage's own caption while it has one, else the caption of its page.
            caption = PanelInfo->text();
            if (caption.isEmpty()) {
                QWidget* page = step == 2   ? TabStructFrom
                                : step == 4 ? TabScript
                                : step == 5 ? TabStructTo
                                : step == 8 ? TabError
                                            : TabCopyData;
                caption = PageControl1->tabText(PageControl1->indexOf(page));
            }
            break;
        }
    }
    return QStringLiteral("Шаг %1 из %2: %3")
        .arg(std::clamp(step, 1, kStepCount))
        .arg(kStepCount)
        .arg(caption);
}

void TFormMigration::TrackPausedTime() {
    if (step == 7) {
        if (!copy_paused_at.isValid()) {
            copy_paused_at = QDateTime::currentDateTime();
        }
        return;
    }
    if (copy_paused_at.isValid()) {
        if (step == 6) {
            copy_worker.ShiftTiming(copy_paused_at.msecsTo(QDateTime::currentDateTime()));
        }
        copy_paused_at = QDateTime();
    }
}

void TFormMigration::ShowStepState() {
    static_cast<TStepStrip*>(PanelInfo)->Refresh();
    LabelPause->setVisible(step == 7);
}

void TFormMigration::ShowTableGauge(qint64 ind_table, bool copy_finished) {
    // A table counts when it is done: the only table at 27 % must not read as all tables.
    const qint64 total = tables.size();
    const qint64 finished = copy_finished ? total : std::clamp<qint64>(ind_table, 0, total);
    const qint64 top = std::clamp<qint64>(total, 1, INT_MAX);
    GaugeTable->setRange(0, int(top));
    GaugeTable->setValue(int(std::min(finished, top)));
}

QString TFormMigration::HelpPage() const {
    switch (step) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
            return QStringLiteral("step%1.html").arg(step);
        case 7:
            return QStringLiteral("step6.html#pause");
        case 8:
            return QStringLiteral("step6.html#error");
        case 9:
            return QStringLiteral("step6.html#finish");
        default:
            return QString::fromLatin1("index.html");
    }
}
