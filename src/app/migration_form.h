#pragma once
// The wizard's main window. It owns everything that lives for the run (the two connections and
// their statements, the table model, the wizard state, the working paths) and all pages; a
// 100 ms timer drives the steps. The window only reads controls, calls the engine and shows the
// results. Controls and handlers are public so that tests can fill, press and read them.
//
// The sources are split by subject: migration_form.cpp (construction, pages, settings, help),
// migration_steps_ui.cpp (the tick and the navigation buttons), migration_connections_ui.cpp
// (the two connection panels), migration_structure_ui.cpp (the structure browser, the table-list
// commands and the script page), migration_copy_ui.cpp (target creation, the copy, its
// checkpoint and the export window), migration_display_ui.cpp (where the operator is, list
// columns, hints, the help window), migration_error_ui.cpp (the error page, its retry and the
// offer to resume).

#include <QDateTime>
#include <QElapsedTimer>
#include <QMutex>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/settings.h"
#include "db/odbc.h"
#include "report/migration_report.h"
#include "schema/table_model.h"
#include "transfer/copy_engine.h"
#include "transfer/copy_rates.h"
#include "transfer/copy_worker.h"
#include "util/code_page.h"
#include "util/error.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;
class TFormAbout;
class TFormConnectString;
class TFormHelp;
class TQuestions;

inline const QString kApplicationTitle = QStringLiteral("Миграция баз данных");

class TFormMigration : public QWidget {
    Q_OBJECT

public:
    // questions answers every box; without one the window uses real dialogs. Creation restores
    // the settings and fixes the working paths; destruction writes the settings back.
    explicit TFormMigration(TQuestions* questions = nullptr, QWidget* parent = nullptr);
    ~TFormMigration() override;

    // The two dialogs are created after the main window and handed over.
    void SetAboutForm(TFormAbout* form) { about_form = form; }
    void SetConnectStringForm(TFormConnectString* form) { connect_string_form = form; }

    // Wizard state.
    int step = 1;
    bool is_done = false;
    QDateTime time_step;
    int db_from = kDbUnknown;
    int db_to = kDbUnknown;
    QString oracle_vers;
    TTables tables;
    // The source's standalone sequences, read with the tables, for the script.
    TSequences sequences;
    // What the last read of the source had to take from elsewhere than usual (shown on the
    // structure page, for the copy journal).
    QStringList read_notes;
    TWorkPaths paths;
    TCodePage code_page;

    // Connections and their statements.
    TDbConnection ADOConnectionFrom;
    TDbConnection ADOConnectionTo;
    TDbQuery QueryFrom{ADOConnectionFrom};
    TDbTable TableFrom{ADOConnectionFrom};
    TDbQuery QueryTo{ADOConnectionTo};
    // The copy works on the window's own table model, so edits of the target list (query
    // additions, data files) reach it without being handed over.
    TCopyEngine copy_engine{tables,    ADOConnectionFrom, QueryFrom,
                            TableFrom, ADOConnectionTo,   QueryTo};
    // The copy's units run on this worker; the window's timer only shows what they did and
    // passes Pause, Continue and closing on. Declared after the engine and stopped first.
    TCopyWorker copy_worker{copy_engine};
    // 0, as shipped: a run goes on by itself until the copy ends, fails or is paused. N > 0:
    // every tick hands the worker N units and waits for them, so that tests can stop the copy
    // at the rows they choose.
    qint64 copy_step_units = 0;
    // Rows/s, MB/s and the time left on the copy page.
    TCopyRates copy_rates;
    // What the window last took from the worker.
    TCopySnapshot copy_shown;

    // Frame.
    QLabel* PanelInfo = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSelDb = nullptr;
    QWidget* TabStructFrom = nullptr;
    QWidget* TabNewDb = nullptr;
    QWidget* TabScript = nullptr;
    QWidget* TabStructTo = nullptr;
    QWidget* TabCopyData = nullptr;
    QWidget* TabError = nullptr;
    QFrame* PanelControl = nullptr;
    QPushButton* BtnPrev = nullptr;
    QPushButton* BtnNext = nullptr;
    QPushButton* BtnHelp = nullptr;
    QPushButton* BtnInfo = nullptr;
    QTimer* TimerCheck = nullptr;

    // Step 1: connection panels.
    QGroupBox* PanelConnectFrom = nullptr;
    QGroupBox* PanelConnectTo = nullptr;
    QLabel* LabelConnectFrom = nullptr;
    QLabel* LabelConnectTo = nullptr;
    QPlainTextEdit* MemoConnectFrom = nullptr;
    QPlainTextEdit* MemoConnectTo = nullptr;
    QPushButton* BtnConnectFrom = nullptr;
    QPushButton* BtnConnectTo = nullptr;
    QPushButton* BtnCheckFrom = nullptr;
    QPushButton* BtnCheckTo = nullptr;
    QLabel* LabelCheckDbFrom = nullptr;
    QLabel* LabelCheckDbTo = nullptr;
    // The memos draw their passwords as dots unless these are ticked.
    QCheckBox* CheckShowPasswordFrom = nullptr;
    QCheckBox* CheckShowPasswordTo = nullptr;

    // Step 2: structure browser.
    QTreeWidget* ListTableFrom = nullptr;
    QLineEdit* EditSumTable = nullptr;
    QLineEdit* EditSumRow = nullptr;
    QLineEdit* EditVersionFrom = nullptr;
    QPlainTextEdit* MemoTypes = nullptr;
    QTreeWidget* ListKeys = nullptr;
    QTreeWidget* ListField = nullptr;
    QTreeWidget* ListUk = nullptr;
    QTreeWidget* ListFk = nullptr;
    QLabel* LabelReadNotes = nullptr;
    QTabWidget* TabTableDetails = nullptr;
    QTreeWidget* ListIndexes = nullptr;
    QTreeWidget* ListChecks = nullptr;
    QTreeWidget* ListSequences = nullptr;
    QMenu* PopupTableFrom = nullptr;
    QAction* NDelTable = nullptr;
    QAction* NFileSave = nullptr;
    QMenu* PopupField = nullptr;
    QAction* NRenameField = nullptr;

    // Step 3: migration settings.
    QLineEdit* EditUser = nullptr;
    QLineEdit* EditPassword = nullptr;
    QSpinBox* SpinPortionWrite = nullptr;
    QSpinBox* SpinPortionRead = nullptr;
    QLabel* LabelIntType = nullptr;
    QComboBox* ComboIntType = nullptr;
    // PostgreSQL target only: "COPY (быстро)" or "INSERT" ("WriteMethod" in the settings).
    QLabel* LabelWriteMethod = nullptr;
    QComboBox* ComboWriteMethod = nullptr;
    QLabel* LabelDateTimeFormat = nullptr;
    QLineEdit* EditDateTimeFormat = nullptr;
    // Oracle target only: the new user gets the DBA role too ("GrantDba" in the settings).
    QCheckBox* CheckGrantDba = nullptr;

    // Step 4: script.
    QPlainTextEdit* MemoScript = nullptr;
    QFrame* PanelScript = nullptr;
    QPushButton* BtnAddScript = nullptr;

    // Step 5: new database.
    QTreeWidget* ListTableTo = nullptr;
    QLabel* LabelResStruct = nullptr;
    QLineEdit* EditVersionTo = nullptr;
    QMenu* PopupTableTo = nullptr;
    QAction* NQueryAddi = nullptr;
    QAction* NFileCopy = nullptr;

    // Steps 6, 7, 9: copy; step 8: error.
    QProgressBar* GaugeTable = nullptr;
    QProgressBar* GaugeRow = nullptr;
    QLabel* LabelN = nullptr;
    QLabel* LabelTime = nullptr;
    // Rows/s, MB/s over the last seconds and the time left of the table and the whole copy.
    QLabel* LabelSpeed = nullptr;
    // "Пауза" while the copy is paused.
    QLabel* LabelPause = nullptr;
    QPlainTextEdit* MemoCopy = nullptr;
    QPushButton* BtnPause = nullptr;
    QPushButton* BtnContinue = nullptr;
    // The error page: where the copy stood, the statements of the failed unit, the message.
    QLineEdit* EditErrorTable = nullptr;
    QLineEdit* EditErrorRow = nullptr;
    QPlainTextEdit* MemoErrorRead = nullptr;
    QPlainTextEdit* MemoErrorWrite = nullptr;
    QPlainTextEdit* MemoError = nullptr;
    QPushButton* BtnRetry = nullptr;
    QPushButton* BtnClose = nullptr;

    // Checks before and after the copy, and the report (migration_verify_ui.cpp).
    QPushButton* BtnPreflight = nullptr;  // structure page: "Проверить данные"
    QTreeWidget* ListPreflight = nullptr;
    QCheckBox* CheckValidate = nullptr;  // settings page: "Проверять после копирования"
    QCheckBox* CheckChecksum = nullptr;
    QLabel* LabelVerify = nullptr;              // copy page: the tables whose check failed, in red
    QPushButton* BtnOpenReport = nullptr;       // copy page
    QPushButton* BtnOpenReportError = nullptr;  // error page
    QList<TFinding> findings;
    QString report_path;  // the report last written; empty before
    void RunPreflightCheck();
    void BtnPreflightClick();
    // What the copy's thread needs of the window for the checks, before a run starts.
    void HandOverVerifySettings();
    // The copy's call after each table (any thread, the copy's connections).
    QStringList TableCopied(const TTableRec& table, qint64 rows, TDbConnection& from,
                            TDbConnection& to);
    QList<TReportTable> CheckedTables() const;
    void ClearChecks();
    void ShowVerifyState();
    // Writes the report beside the log and says so in the copy memo; a failure to write it is
    // reported and returns false. error: the failure of the error page, empty otherwise.
    bool WriteMigrationReport(bool copy_finished, const QString& error,
                              const QStringList& statements = {});
    // The completion message of a finished copy, with what the checks found.
    QString CompletionText() const;
    void BtnOpenReportClick();

    // Stage driver.
    void TimerCheckTimer();
    // Posts a tick out of turn, for the copy's start and end (not while tests step the copy).
    void PostCopyTick();
    void BtnNextClick();
    void BtnPrevClick();
    void BtnPauseClick();
    void BtnContinueClick();
    // True when the window may close.
    bool FormCloseQuery();
    void PrintInfo();
    // The error path of a copy portion that failed: error page, step 8, checkpoint. The
    // message form takes the rest from the engine's account of the failed unit.
    void CopyFailed(const QString& message);
    void CopyFailed(const TCopyFailure& failure);
    // "Повторить" on the error page: the copy resumes from its checkpoint in this run, once the
    // operator has removed the cause.
    void BtnRetryClick();

    // The offer of an unfinished copy at the end of step 3; declining asks once more before
    // the checkpoint is deleted.
    enum class TResumeChoice { Resume, Discard, Stay };
    TResumeChoice AskResume();
    QString ResumeOfferText(const TUnfinishedCopy& unfinished) const;

    // Step work.
    void ReadStructFrom();
    void MakeScriptNew();
    void WriteStructTo();
    // At steps 6 and 7: starts a run of the worker when none is on (step 6), then shows what
    // the units did; a unit's failure raises here, on the window's thread.
    void CopyData();
    void SaveTmpFile();
    void LoadFromTmpFile();
    // The settings page and working paths as the copy reads them.
    void FillCopySettings();

    // Connections.
    void BtnCheckFromClick();
    void BtnCheckToClick();
    void BtnConnectFromClick();
    void BtnConnectToClick();

    // Structure browser and table-list commands.
    void RefreshStructFrom();
    void AddType(const QString& str);
    void ListTableFromSelectItem(QTreeWidgetItem* item);
    // Fills the column and key lists for the table of that name (emptied when there is none).
    void ShowTableDetails(const QString& name);
    // Empties the lists of one table's details.
    void ClearTableDetails();
    void PopupTableFromPopup();
    void PopupFieldPopup();
    void PopupTableToPopup();
    void NDelTableClick();
    void NFileSaveClick();
    void NRenameFieldClick();
    void NQueryAddiClick();
    void NFileCopyClick();
    void BtnAddScriptClick();

    // Settings, help, About.
    void FormCreate();
    void FormDestroy();
    void BtnHelpClick();
    void BtnInfoClick();

    // Where the operator is: "Шаг N из 6: " and the stage caption, or the step's own caption
    // where the stage sets none.
    QString StepStripText() const;
    // The help page of the step shown now.
    QString HelpPage() const;
    // The folder of the help pages (found beside the program at creation).
    QString help_dir;
    // Opens a file with the desktop's viewer; tests replace it.
    std::function<void(const QUrl&)> open_url;
    TFormHelp* help_form = nullptr;
    // When the copy was paused; the elapsed time does not count the pause.
    QDateTime copy_paused_at;

    // The general error report for a failure that escaped a handler.
    void ShowException(const QString& message);
    // The script memo as lines; an empty memo has none.
    QStringList ScriptLines() const;
    // A memo's whole text with its lines joined by CR LF, as connection strings and settings
    // hold it, and the way back.
    static QString MemoText(const QPlainTextEdit* memo);
    static void SetMemoText(QPlainTextEdit* memo, const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildFrame();
    QWidget* BuildSelDbPage();
    QWidget* BuildStructFromPage();
    QWidget* BuildNewDbPage();
    QWidget* BuildScriptPage();
    QWidget* BuildStructToPage();
    QWidget* BuildCopyDataPage();
    QWidget* BuildErrorPage();
    void ConnectHandlers();
    void ShowPage(QWidget* page, bool visible);
    void RunStepWork();
    void CheckConnection(TDbConnection& connection, QPlainTextEdit* memo, QLabel* mark,
                         int& db_kind);
    void BuildConnectString(QPlainTextEdit* memo, QLabel* mark);
    // The copy preparation's displays: target list rows, "Ok", table gauge, emptied memos.
    void ShowPreparedCopy(const QList<TTableToRow>& rows);
    void ShowCopyProgress(const TCopySnapshot& snapshot);
    void ShowRates(const TCopySnapshot& snapshot);
    // Shows what the worker did; true when that ended the copy (step 9). Raises the failure of
    // a unit.
    bool TakeCopyResults();
    void CopyFinished();
    // The table gauge counts the tables finished.
    void ShowTableGauge(qint64 ind_table, bool finished);
    // Strip, column sizing, number columns, hints, fonts: once, after the pages are built.
    void SetUpDisplay();
    // At every tick: before the step's work the paused time is taken out of the elapsed time,
    // after it the strip and the pause mark follow the step.
    void TrackPausedTime();
    void ShowStepState();
    // A new session on the source for a retried copy: the failed one may be gone, and the
    // copy's consistent read begins anew.
    void ReopenSource();
    void DeleteExportWindows();
    void BuildVerifyControls();
    // Runs a handler body and turns an escaping failure into the general error report.
    template <typename F>
    void Guarded(F&& body);

    std::unique_ptr<TQuestions> own_questions_;
    TQuestions* questions_ = nullptr;
    TFormAbout* about_form = nullptr;
    TFormConnectString* connect_string_form = nullptr;
    // Set while the report of a failed step is open: the ticks that arrive under the modal box
    // must not start the same work again and stack reports on top of it.
    bool report_open_ = false;
    // Pause was pressed while a unit was in flight: the checkpoint is written once it is done.
    bool pause_save_pending_ = false;
    bool settings_saved_ = false;
    // The table whose columns ListField shows.
    QString field_table_;
    // What the checks after each table found, written by the copy's thread.
    mutable QMutex verify_mutex_;
    TVerifySettings verify_settings_;
    QList<TReportTable> checked_tables_;
    QDateTime table_started_;
    // The window's state the copy's thread reads, handed over when a run starts.
    int verify_db_to_ = kDbUnknown;
    QDateTime verify_time_step_;
    // The steady clock of the rates.
    QElapsedTimer rate_clock_;
};

template <typename F>
void TFormMigration::Guarded(F&& body) {
    try {
        body();
    } catch (const TError& error) {
        ShowException(error.Message());
    } catch (const std::exception& error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    }
}
