#pragma once
// Driving the real window through a copy of the four tables of tests/fixtures/exact_copy.sql
// (owner SKERROW_EXACT of the emulated Oracle source) into the new PostgreSQL database
// skerrow_exact_t: from step 1 to the running copy, either afresh or by accepting the offer to
// resume. Shared by the window tests and by the program that runs the window in a process of
// its own so that it can be killed. No test framework here.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <functional>

#include "../integration/ora_emulation.h"
#include "app/migration_form.h"
#include "db/connect_string_builder.h"
#include "scripted_questions.h"

inline constexpr TOraEmulUser kOraEmulExact{"skerrow_exact", "exact_pass"};
inline const QString kExactTarget = QStringLiteral("skerrow_exact_t");
// In the order the copy takes them (by name: no table refers to another).
inline const QStringList kExactTables = {QStringLiteral("EX_COMP"), QStringLiteral("EX_NOKEY"),
                                         QStringLiteral("EX_PK"), QStringLiteral("EX_UK")};

// The administrative target string as the connection-string dialog builds it.
inline QString ExactTargetString(const QString& database = QStringLiteral("postgres")) {
    TConnectStringFields f;
    f.provider = kProviderPostgres;
    f.source = QStringLiteral("PostgreSQL_Test");
    f.server = QStringLiteral("127.0.0.1");
    f.port = OraEmulTestbedValue(QStringLiteral("PGPORT"));
    f.user_postgres = QStringLiteral("postgres");
    f.password_postgres = OraEmulTestbedValue(QStringLiteral("PGPASSWORD"));
    QString text = BuildConnectString(f);
    return text.replace(QStringLiteral("DATABASE=postgres"), "DATABASE=" + database);
}

// From a new window to step 6 with the copy begun (resume: by accepting the offer at step 3,
// which must then come). The empty text on success, else what went wrong.
// edit_script, when given, edits the generated script at step 4 as an operator would.
inline QString DriveToCopy(TFormMigration& form, TScriptedQuestions& questions, bool resume,
                           const std::function<void()>& edit_script = {}, int portion_read = 250,
                           int portion_write = 40) {
    form.TimerCheck->stop();
    form.copy_step_units = 1;
    form.MemoConnectFrom->setPlainText(OraEmulConnectString(kOraEmulExact));
    form.MemoConnectTo->setPlainText(ExactTargetString());
    form.BtnCheckFrom->click();
    form.BtnCheckTo->click();
    form.TimerCheckTimer();
    if (!form.BtnNext->isEnabled()) {
        return QStringLiteral("connections not checked: ") +
               (questions.asked.isEmpty() ? QString() : questions.asked.last().text);
    }
    form.BtnNextClick();
    form.TimerCheckTimer();
    if (!form.is_done) {
        return QStringLiteral("structure not read");
    }
    form.BtnNextClick();
    form.TimerCheckTimer();
    form.EditUser->setText(kExactTarget);
    form.EditPassword->setText(QStringLiteral("exact pass"));
    form.SpinPortionRead->setValue(portion_read);
    form.SpinPortionWrite->setValue(portion_write);
    form.TimerCheckTimer();
    const int asked = questions.Count(QStringLiteral("ask"));
    questions.ok_answers = {resume};
    form.BtnNextClick();
    if ((questions.Count(QStringLiteral("ask")) > asked) != resume) {
        return resume ? QStringLiteral("no offer to resume") : QStringLiteral("offer to resume");
    }
    form.TimerCheckTimer();
    if (!resume) {
        if (edit_script) {
            edit_script();
        }
        form.BtnNextClick();
        form.TimerCheckTimer();
    }
    if (form.step != 5 || form.LabelResStruct->text() != QStringLiteral("Ok")) {
        return QStringLiteral("step %1: %2 %3")
            .arg(form.step)
            .arg(form.LabelResStruct->text(),
                 questions.asked.isEmpty() ? QString() : questions.asked.last().text);
    }
    form.BtnNextClick();
    return form.step == 6 ? QString() : QStringLiteral("copy not started");
}
