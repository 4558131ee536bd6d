// The copy's failure and its way on: the error page with its labelled parts, "Повторить",
// which resumes from the checkpoint in the same run once the operator has removed the cause,
// and the offer of an unfinished copy at the end of the settings step with its second
// question before the checkpoint goes.

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/migration_form.h"
#include "transfer/source_snapshot.h"
#include "util/number_text.h"
#include "util/questions.h"
#include "util/secrets.h"

namespace {

QPlainTextEdit* NewStatementMemo(QWidget* parent, const QString& none) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memo->setPlaceholderText(none);
    return memo;
}

QLabel* NewPartLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setBuddy(buddy);
    return label;
}

// "ORDER_ID = 2", "(A, B) = (1, x)".
QString KeyText(const QStringList& columns, const QStringList& values) {
    if (columns.size() == 1 && values.size() == 1) {
        return columns[0] + QStringLiteral(" = ") + values[0];
    }
    return u'(' + columns.join(QStringLiteral(", ")) + QStringLiteral(") = (") +
           values.join(QStringLiteral(", ")) + u')';
}

// After "в": the new database, or the schema of the new Oracle user.
QString DatabaseText(int db_to, const QString& user) {
    return db_to == kDbOracle ? QStringLiteral("схему нового пользователя «%1»").arg(user)
                              : QStringLiteral("новую БД «%1»").arg(user);
}

}  // namespace

// Where the failed unit stood, as the operator looks for it: the rows of the failed statement
// by their numbers in the table, and the last row the target holds.
QString FailureRowText(const TCopyFailure& failure) {
    if (failure.table.isEmpty()) {
        return QStringLiteral("команда %1 сценария после копирования данных")
            .arg(failure.committed_rows + 1);
    }
    const qint64 first = failure.committed_rows + 1;
    QString text =
        failure.unit_rows > 1
            ? QStringLiteral("строки %1–%2")
                  .arg(GroupDigits(first), GroupDigits(failure.committed_rows + failure.unit_rows))
            : QStringLiteral("строка %1").arg(GroupDigits(first));
    if (failure.committed_rows == 0) {
        return text + QStringLiteral(" (строк этой таблицы в новой БД ещё нет)");
    }
    text += QStringLiteral(" (в новой БД строк этой таблицы: %1")
                .arg(GroupDigits(failure.committed_rows));
    if (!failure.last_key.isEmpty() && failure.last_key.size() == failure.key_columns.size()) {
        text += QStringLiteral(", последняя — с ключом ") +
                KeyText(failure.key_columns, failure.last_key);
    }
    return text + u')';
}

QWidget* TFormMigration::BuildErrorPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* where = new QFormLayout;
    EditErrorTable = new QLineEdit(page);
    EditErrorTable->setReadOnly(true);
    EditErrorRow = new QLineEdit(page);
    EditErrorRow->setReadOnly(true);
    where->addRow(QStringLiteral("Таблица:"), EditErrorTable);
    where->addRow(QStringLiteral("Строка:"), EditErrorRow);
    layout->addLayout(where);

    const QString none = QStringLiteral("(не выполнялся)");
    MemoErrorRead = NewStatementMemo(page, none);
    MemoErrorWrite = NewStatementMemo(page, none);
    MemoError = new QPlainTextEdit(page);
    MemoError->setReadOnly(true);
    layout->addWidget(NewPartLabel(QStringLiteral("Запрос чтения"), MemoErrorRead, page));
    layout->addWidget(MemoErrorRead, 2);
    layout->addWidget(NewPartLabel(QStringLiteral("Запрос записи"), MemoErrorWrite, page));
    layout->addWidget(MemoErrorWrite, 2);
    layout->addWidget(NewPartLabel(QStringLiteral("Ошибка"), MemoError, page));
    layout->addWidget(MemoError, 1);

    auto* buttons = new QHBoxLayout;
    auto* hint = new QLabel(QStringLiteral("Устраните причину и нажмите «Повторить»: копирование "
                                           "продолжится с контрольной точки, каждая строка "
                                           "будет перенесена один раз."),
                            page);
    hint->setWordWrap(true);
    BtnRetry = new QPushButton(QStringLiteral("Повторить"), page);
    BtnRetry->setToolTip(QStringLiteral("Продолжить копирование с последней контрольной точки"));
    BtnClose = new QPushButton(QStringLiteral("Закрыть"), page);
    BtnClose->setToolTip(QStringLiteral(
        "Закрыть программу; копирование можно будет продолжить при следующем запуске"));
    buttons->addWidget(hint, 1);
    buttons->addWidget(BtnRetry);
    buttons->addWidget(BtnClose);
    layout->addLayout(buttons);
    connect(BtnRetry, &QPushButton::clicked, this, [this] { BtnRetryClick(); });
    // After the click has returned: closing deletes nothing, but a test or a caller may.
    connect(BtnClose, &QPushButton::clicked, this,
            [this] { QTimer::singleShot(0, this, [this] { window()->close(); }); });
    return page;
}

void TFormMigration::CopyFailed(const QString& message) {
    TCopyFailure failure = copy_engine.Failure();
    if (failure.message.isEmpty()) {
        // The window's own part of the tick failed: only the position is known.
        failure = TCopyFailure();
        const qint64 index = copy_engine.IndTable();
        if (index >= 0 && index < tables.size()) {
            failure.table = tables[index].name;
        }
        failure.committed_rows = copy_engine.CommittedOff();
        failure.message = message;
    }
    CopyFailed(failure);
}

void TFormMigration::CopyFailed(const TCopyFailure& failure) {
    // A question asked meanwhile (may the window close?) no longer fits the state.
    questions_->CloseQuestions();
    // A statement or message may carry a login: the page shows none.
    EditErrorTable->setText(failure.table.isEmpty() ? QStringLiteral("все таблицы скопированы")
                                                    : failure.table);
    EditErrorTable->setCursorPosition(0);
    EditErrorRow->setText(FailureRowText(failure));
    EditErrorRow->setCursorPosition(0);
    EditErrorRow->setToolTip(EditErrorRow->text());
    MemoErrorRead->setPlainText(MaskSecrets(failure.read_sql));
    MemoErrorWrite->setPlainText(MaskSecrets(failure.write_sql));
    MemoError->setPlainText(MaskSecrets(failure.message));
    step = 8;
    is_done = false;
    PrintInfo();
    // The checkpoint lets "Повторить", or a later run, resume.
    Guarded([this] { SaveTmpFile(); });
    QStringList statements;
    for (const QString& sql : {failure.read_sql, failure.write_sql}) {
        if (!sql.isEmpty()) {
            statements << sql;
        }
    }
    WriteMigrationReport(false, failure.message, statements);
}

void TFormMigration::ReopenSource() {
    if (ADOConnectionFrom.ActiveStatements() > 0) {
        // An export window is reading through it; the copy then goes on in its session.
        return;
    }
    try {
        EndSourceSnapshot(ADOConnectionFrom);
    } catch (const TError&) {
        // A session that is gone has nothing left to end.
    }
    ADOConnectionFrom.Close();
    ADOConnectionFrom.SetAutoCommit(true);
    ADOConnectionFrom.Open();
}

void TFormMigration::BtnRetryClick() {
    if (step != 8) {
        return;
    }
    Guarded([this] {
        ReopenSource();
        // The tables finished before the failure are in the target and were checked in this
        // run: the report at the end counts them, not zero rows and no check.
        const QList<TReportTable> finished = CheckedTables();
        // The target is reconnected, the checkpoint checked against it, and the copy prepared
        // where it stands, as in a new run; a checkpoint that does not agree stops it here.
        LoadFromTmpFile();
        {
            QMutexLocker lock(&verify_mutex_);
            checked_tables_ = finished;
        }
        EditErrorTable->clear();
        EditErrorRow->clear();
        MemoErrorRead->clear();
        MemoErrorWrite->clear();
        step = 6;
        is_done = false;
        PrintInfo();
        time_step = QDateTime::currentDateTime();
        LabelTime->setText(QString());
        copy_engine.StartTiming(time_step);
    });
}

QString TFormMigration::ResumeOfferText(const TUnfinishedCopy& unfinished) const {
    const QString target = DatabaseText(db_to, EditUser->text());
    QString where;
    if (!unfinished.checkpoint) {
        where = QStringLiteral("Незавершенная миграция в %1: контрольная точка не читается (%2).")
                    .arg(target, unfinished.unreadable);
    } else {
        const TCheckpoint& cp = *unfinished.checkpoint;
        const QString rows = GroupDigits(cp.copy_off);
        if (cp.position == TCopyPosition::AfterCopy ||
            (cp.table_name.isEmpty() && cp.ind_table >= tables.size())) {
            where = QStringLiteral(
                        "Незавершенная миграция в %1: все таблицы скопированы, "
                        "выполнено команд сценария после копирования данных: %2.")
                        .arg(target, rows);
        } else {
            const QString name = !cp.table_name.isEmpty() ? cp.table_name
                                 : cp.ind_table < tables.size()
                                     ? tables[cp.ind_table].name
                                     : QStringLiteral("№ %1").arg(cp.ind_table + 1);
            where = QStringLiteral(
                        "Незавершенная миграция в %1 остановилась на таблице %2 "
                        "(%3-я из %4): ")
                        .arg(target, name)
                        .arg(cp.ind_table + 1)
                        .arg(tables.size());
            if (cp.copy_off == 0) {
                where += QStringLiteral("её строк в новой БД ещё нет.");
            } else if (cp.position == TCopyPosition::Key) {
                where += QStringLiteral("в новой БД её строк %1, последняя — с ключом %2.")
                             .arg(rows, KeyText(cp.key_columns, cp.last_key));
            } else if (cp.position == TCopyPosition::Restart) {
                where += QStringLiteral(
                             "в новой БД её строк %1; таблица без ключа будет "
                             "очищена и скопирована заново.")
                             .arg(rows);
            } else {
                where += QStringLiteral("в новой БД её строк %1.").arg(rows);
            }
        }
    }
    const QString when =
        unfinished.written.isValid()
            ? QStringLiteral("Контрольная точка записана %1.")
                  .arg(QLocale(QLocale::Russian)
                           .toString(unfinished.written, QStringLiteral("dd.MM.yyyy HH:mm:ss")))
            : QStringLiteral(
                  "Время контрольной точки неизвестно: её файла нет, она найдена в "
                  "новой БД.");
    return where + u'\n' + when +
           QStringLiteral(
               "\n\nПродолжить выполнение незавершенной "
               "миграции?");
}

TFormMigration::TResumeChoice TFormMigration::AskResume() {
    const TUnfinishedCopy unfinished = copy_engine.DescribeUnfinished(paths.file_temp);
    if (questions_->AskOkCancel(QStringLiteral("Обнаружена незавершенная миграция"),
                                ResumeOfferText(unfinished))) {
        return TResumeChoice::Resume;
    }
    // Deleting the checkpoint cannot be undone: a slip of the key must not cost the copy.
    if (questions_->AskOkCancel(
            QStringLiteral("Удаление контрольной точки"),
            QStringLiteral("Контрольная точка незавершенной миграции в %1 будет удалена: "
                           "продолжить копирование станет невозможно, данные будут "
                           "скопированы заново с самого начала. Удалить контрольную точку?")
                .arg(DatabaseText(db_to, EditUser->text())))) {
        return TResumeChoice::Discard;
    }
    return TResumeChoice::Stay;
}
