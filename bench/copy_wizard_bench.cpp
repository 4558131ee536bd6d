// The copy as the operator runs it: the real wizard window on the offscreen platform, driven
// through steps 1 to 5 by its buttons and its own 100 ms timer, then timed from Next at step 5
// until the window reaches step 9. copy_bench starts it once per table (measurement (b)); it
// prints one result line for copy_bench to read:
//
//   wizard: step=<step reached> seconds=<from Next to the end> peak_mb=<peak memory of the copy>
//
//   copy_wizard_bench SOURCE_CONNECT TARGET_CONNECT USER PASSWORD WORK_DIR [TIMEOUT_S]
//
// Settings and working files go under WORK_DIR (HOME and the XDG folders are set there), so
// that the operator's own settings are left alone.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/migration_form.h"
#include "bench_memory.h"
#include "util/questions.h"

namespace {

// Answers every box with OK and keeps what was shown, for the report of a failed run.
class TBenchQuestions : public TQuestions {
public:
    QStringList shown;

    bool AskOkCancel(const QString& caption, const QString& text) override {
        shown << caption + QStringLiteral(": ") + text;
        return true;
    }
    void ShowError(const QString& caption, const QString& text) override {
        shown << caption + QStringLiteral(": ") + text;
    }
    void ShowMessage(const QString& caption, const QString& text) override {
        shown << caption + QStringLiteral(": ") + text;
    }
    bool InputText(const QString&, const QString&, QString&) override { return false; }
    QString OpenFile(const QString&, const QStringList&, int) override { return QString(); }
    QString SaveFile(const QString&, const QStringList&, int) override { return QString(); }
};

// Lets the window's timer run until the condition holds; false after the time limit. Sleeps
// until the next event (the window's 100 ms timer comes at least that often): the overload of
// processEvents with a time limit drops WaitForMoreEvents and would spin on a core of its own,
// taking it from the copy and the servers.
bool RunUntil(const std::function<bool()>& done, qint64 limit_ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limit_ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void Report(int step, double seconds, double peak_mb, const QString& note) {
    std::printf("wizard: step=%d seconds=%.3f peak_mb=%.1f\n", step, seconds, peak_mb);
    if (!note.isEmpty()) {
        std::printf("wizard: note=%s\n", note.simplified().toUtf8().constData());
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: copy_wizard_bench SOURCE_CONNECT TARGET_CONNECT USER PASSWORD "
                     "WORK_DIR [TIMEOUT_S]\n");
        return 2;
    }
    const QString work = QString::fromLocal8Bit(argv[5]);
    const QString home = work + QStringLiteral("/wizard-home");
    QDir(home).removeRecursively();
    QDir().mkpath(home);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(kApplicationTitle);
    const qint64 timeout_ms = (argc > 6 ? QByteArray(argv[6]).toLongLong() : 900) * 1000;

    TBenchQuestions questions;
    TFormMigration form(&questions);
    form.show();
    int step_seen = 1;
    auto fail = [&](const QString& what) {
        QString note = what;
        if (!form.MemoError->toPlainText().isEmpty()) {
            note += QStringLiteral(" | ") + form.MemoError->toPlainText().right(400);
        }
        if (!questions.shown.isEmpty()) {
            note += QStringLiteral(" | ") + questions.shown.join(QStringLiteral(" | ")).right(400);
        }
        Report(form.step, 0, PeakRssMb(), note);
        return 1;
    };
    // The buttons' states are set by the tick: a state read before the next tick is stale.
    qint64 ticks = 0;
    QObject::connect(form.TimerCheck, &QTimer::timeout, [&] { ++ticks; });
    auto next_enabled = [&] {
        const qint64 start = ticks;
        return RunUntil([&] { return ticks > start && form.BtnNext->isEnabled(); }, 120000);
    };
    auto next = [&](int from_step) {
        step_seen = from_step;
        if (!next_enabled()) {
            return false;
        }
        form.BtnNextClick();
        return form.step == from_step + 1;
    };

    // Step 1: both connections checked.
    form.MemoConnectFrom->setPlainText(QString::fromLocal8Bit(argv[1]));
    form.MemoConnectTo->setPlainText(QString::fromLocal8Bit(argv[2]));
    form.BtnCheckFromClick();
    form.BtnCheckToClick();
    if (!next(1)) {
        return fail(QStringLiteral("the connections were not accepted"));
    }
    // Step 2 reads the source; step 3 takes the settings.
    if (!next(2)) {
        return fail(QStringLiteral("the source structure was not read"));
    }
    form.EditUser->setText(QString::fromLocal8Bit(argv[3]));
    form.EditPassword->setText(QString::fromLocal8Bit(argv[4]));
    form.SpinPortionRead->setValue(100000);
    form.SpinPortionWrite->setValue(1000);
    form.ComboIntType->setCurrentIndex(0);
    // "insert" as the seventh argument takes the statements; COPY otherwise.
    form.ComboWriteMethod->setCurrentIndex(argc > 7 && QByteArray(argv[7]) == "insert" ? 1 : 0);
    // Steps 4 (script) and 5 (target creation).
    if (!next(3) || !next(4)) {
        return fail(QStringLiteral("no script at step %1").arg(step_seen));
    }
    if (!next_enabled()) {
        return fail(QStringLiteral("target not created: ") + form.LabelResStruct->text());
    }

    if (qEnvironmentVariableIsSet("SKERROW_WIZARD_BENCH_TRACE")) {
        std::fprintf(stderr, "step %d, tables %lld, result %s, script:\n%s\n", form.step,
                     static_cast<long long>(form.tables.size()),
                     form.LabelResStruct->text().toUtf8().constData(),
                     form.MemoScript->toPlainText().toUtf8().constData());
    }
    // Step 6: the copy, timed as the operator sees it.
    ResetPeakRss();
    QElapsedTimer timer;
    timer.start();
    form.BtnNextClick();
    const bool ended = RunUntil([&] { return form.step != 6; }, timeout_ms);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double peak = PeakRssMb();
    QString note;
    if (!ended) {
        note = QStringLiteral("time limit reached after %1 rows of table %2")
                   .arg(form.copy_engine.CommittedOff())
                   .arg(form.copy_engine.IndTable() + 1);
    } else if (form.step != 9) {
        note = form.MemoError->toPlainText().right(400);
    }
    if (qEnvironmentVariableIsSet("SKERROW_WIZARD_BENCH_TRACE")) {
        std::fprintf(stderr, "copy journal:\n%s\nshown: %s\n",
                     form.MemoCopy->toPlainText().toUtf8().constData(),
                     questions.shown.join(QStringLiteral(" | ")).toUtf8().constData());
    }
    Report(form.step, seconds, peak, note);
    return form.step == 9 ? 0 : 1;
}
