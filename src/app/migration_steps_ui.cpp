// The stage driver: the tick that shows the page of the step, runs the step's work and enables
// the buttons, and the buttons that move between steps.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "app/migration_form.h"
#include "schema/ora_time_format.h"
#include "schema/table_sort.h"
#include "util/questions.h"
#include "util/secrets.h"

void TFormMigration::ShowPage(QWidget* page, bool visible) {
    const int index = PageControl1->indexOf(page);
    if (PageControl1->isTabVisible(index) != visible) {
        PageControl1->setTabVisible(index, visible);
    }
    if (visible && PageControl1->currentIndex() != index) {
        PageControl1->setCurrentIndex(index);
    }
}

void TFormMigration::TimerCheckTimer() {
    ShowPage(TabSelDb, step == 1);
    ShowPage(TabStructFrom, step == 2);
    ShowPage(TabNewDb, step == 3);
    ShowPage(TabScript, step == 4);
    ShowPage(TabStructTo, step == 5);
    ShowPage(TabCopyData, step == 6 || step == 7 || step == 9);
    ShowPage(TabError, step == 8);

    TrackPausedTime();
    if (!report_open_) {
        RunStepWork();
    }

    bool next = false;
    switch (step) {
        case 1:
            next = !LabelCheckDbFrom->isHidden() && !LabelCheckDbTo->isHidden();
            break;
        case 2:
            next = is_done && ListTableFrom->topLevelItemCount() > 0;
            break;
        case 3: {
            const bool postgres = db_to == kDbPostgres;
            const bool oracle = db_to == kDbOracle;
            ComboIntType->setVisible(postgres);
            LabelIntType->setVisible(postgres);
            ComboWriteMethod->setVisible(postgres);
            LabelWriteMethod->setVisible(postgres);
            EditDateTimeFormat->setVisible(oracle);
            LabelDateTimeFormat->setVisible(oracle);
            CheckGrantDba->setVisible(oracle);
            // The password may stay empty.
            next = !EditUser->text().isEmpty();
            break;
        }
        case 4:
            next = is_done && !ScriptLines().isEmpty();
            break;
        case 5:
            next = is_done && LabelResStruct->text() == QStringLiteral("Ok");
            break;
        default:
            break;
    }
    BtnNext->setEnabled(next);
    BtnPrev->setEnabled(step >= 2 && step <= 5);
    BtnPause->setEnabled(step == 6);
    BtnContinue->setEnabled(step == 7);
    ShowStepState();
}

void TFormMigration::RunStepWork() {
    if (is_done) {
        return;
    }
    switch (step) {
        case 2:
            Guarded([this] { ReadStructFrom(); });
            break;
        case 3:
            Guarded([this] {
                EditDateTimeFormat->setText(GetOraTimeFormat(QueryTo, db_to, false));
                is_done = true;
            });
            break;
        case 4:
            Guarded([this] { MakeScriptNew(); });
            break;
        case 5:
            // Target creation reports its own failures on the page.
            Guarded([this] { WriteStructTo(); });
            break;
        case 6:
        case 7:
            // Paused, the unit in flight still finishes on the worker: its rows, its failure
            // or the copy's end are shown as they come.
            try {
                CopyData();
            } catch (const TError& error) {
                CopyFailed(error.Message());
            } catch (const std::exception& error) {
                CopyFailed(QString::fromLocal8Bit(error.what()));
            }
            break;
        default:
            break;
    }
}

void TFormMigration::BtnNextClick() {
    if (step < 1 || step > 5) {
        return;
    }
    Guarded([this] {
        const bool was_done = is_done;
        is_done = false;
        // An unfinished copy leaves its checkpoint file, or, when that is gone, its state
        // table in the new database.
        bool unfinished = false;
        if (step == 3) {
            FillCopySettings();
            unfinished = copy_engine.FindUnfinished(paths.file_temp);
        }
        if (unfinished) {
            const TResumeChoice choice = AskResume();
            if (choice == TResumeChoice::Stay) {
                // Neither resumed nor deleted: the settings step stays as it was.
                is_done = was_done;
                return;
            }
            if (choice == TResumeChoice::Resume) {
                step = 5;
                is_done = true;
                // The table index in the checkpoint counts in dependency order.
                SortTables(tables);
                LoadFromTmpFile();
            } else {
                copy_engine.DiscardCheckpoint(paths.file_temp);
                step = 4;
                is_done = false;
            }
        } else {
            ++step;
        }
        PrintInfo();
        time_step = QDateTime::currentDateTime();
        LabelTime->setText(QString());
        if (step == 6) {
            copy_engine.StartTiming(time_step);
            // The copy starts as soon as the page is shown, not on the next tick.
            PostCopyTick();
        }
    });
}

void TFormMigration::PostCopyTick() {
    // Any thread may post it; the tick runs on the window's thread. Tests that step the copy
    // unit by unit drive every tick themselves.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (copy_step_units == 0 && (step == 6 || step == 7)) {
                TimerCheckTimer();
            }
        },
        Qt::QueuedConnection);
}

void TFormMigration::BtnPrevClick() {
    if (step < 2 || step > 5) {
        return;
    }
    // The earlier step keeps its results: is_done is left alone.
    --step;
    PrintInfo();
}

void TFormMigration::BtnPauseClick() {
    if (step != 6) {
        return;
    }
    step = 7;
    // The unit in flight finishes and commits; the checkpoint follows it.
    copy_worker.Stop();
    copy_rates.Reset();
    if (copy_worker.Busy()) {
        pause_save_pending_ = true;
        return;
    }
    Guarded([this] { SaveTmpFile(); });
}

void TFormMigration::BtnContinueClick() {
    if (step != 7) {
        return;
    }
    // The checkpoint stays: the copy goes on writing it after every statement.
    step = 6;
    pause_save_pending_ = false;
    PostCopyTick();
}

bool TFormMigration::FormCloseQuery() {
    if (step != 6) {
        return true;
    }
    return questions_->AskOkCancel(
        QStringLiteral("Копирование данных не завершено"),
        QStringLiteral("Скопированные данные будут потеряны. Повторить процесс будет возможно "
                       "только с самого начала. Для возобновления копирования с текущего "
                       "состояния нажмите кнопку \"Пауза\" после отмены выхода. Подтверждаете "
                       "выход?"));
}

void TFormMigration::PrintInfo() {
    switch (step) {
        case 2:
            PanelInfo->setText(QStringLiteral("Чтение структуры исходной БД"));
            break;
        case 4:
            PanelInfo->setText(QStringLiteral("Формирование сценария создания конечной БД"));
            break;
        case 5:
            PanelInfo->setText(QStringLiteral("Создание структуры новой БД"));
            break;
        case 6:
            PanelInfo->setText(QStringLiteral("Копирование данных"));
            break;
        case 8:
            PanelInfo->setText(QStringLiteral("Ошибка копирования данных"));
            break;
        default:
            break;
    }
}

void TFormMigration::ShowException(const QString& message) {
    // Ticks keep coming while the box is open; the flag keeps them from starting the failed
    // work again underneath it.
    report_open_ = true;
    ShowErrorReport(*questions_, kApplicationTitle, MaskSecrets(message));
    report_open_ = false;
}
