// The wizard's window in a process of its own, for the tests that kill it in the middle of a
// copy: it drives the copy of tests/gui/exact_copy_drive.h and, when asked, kills itself with
// SIGKILL as soon as the target holds enough rows of a given table, so that nothing of the
// program gets to tidy up.
//
//   exact_copy_runner fresh|resume [TABLE ROWS]
//
// Exit code 0 when the copy reached its end, 8 on the error page (the page goes to standard
// error), 1 when the window could not be driven there.

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QSettings>
#include <csignal>
#include <cstdio>

#include "../gui/exact_copy_drive.h"
#include "app/settings.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // The same names as the window tests, so that both find the same working files.
    QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QDir(QDir::homePath()).filePath("runner-settings"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 || !OraEmulTestbedAvailable()) {
        std::fprintf(stderr,
                     "usage: exact_copy_runner fresh|resume [TABLE ROWS]; needs the test bed\n");
        return 1;
    }
    const bool resume = args[1] == QLatin1String("resume");
    const QString kill_table = args.value(2);
    const qint64 kill_rows = args.value(3).toLongLong();

    TScriptedQuestions questions;
    TFormMigration form(&questions);
    const QString error = DriveToCopy(form, questions, resume);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "exact_copy_runner: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    while (form.step == 6) {
        form.TimerCheckTimer();
        const qint64 index = form.copy_engine.IndTable();
        if (!kill_table.isEmpty() && index < form.tables.size() &&
            form.tables[index].name == kill_table && form.copy_engine.CommittedOff() >= kill_rows) {
            std::raise(SIGKILL);
        }
    }
    if (form.step == 8) {
        std::fprintf(stderr, "%s\n", form.MemoError->toPlainText().toLocal8Bit().constData());
    }
    return form.step == 9 ? 0 : form.step;
}
