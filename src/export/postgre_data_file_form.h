#pragma once
// The modeless "Данные в файл" window: the operator picks the file and the portions, and the
// export of one table (TTableExport) runs on a 10 ms timer beside the wizard. The window only
// binds its controls to the export; boxes go through TQuestions. It is destroyed when it closes.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "db/odbc.h"
#include "export/table_export.h"
#include "schema/table_model.h"

class TQuestions;

class TFormPostgreDataFile : public QWidget {
    Q_OBJECT
public:
    // source is the wizard's source connection, shared with the copy and other exports; it and
    // questions must outlive the window. The decimal separator is a choice for the loader
    // layout of an Oracle target only: COPY reads the point. target_computes: the columns the
    // target computes itself (TTableExport).
    TFormPostgreDataFile(QWidget* owner, TQuestions& questions, TDbConnection& source,
                         const TTableRec& table, int db_type,
                         const QStringList& target_computes = {});
    // The same on a session of its own, which the window keeps until it goes: the export then
    // neither waits for nor stands in the way of a copy that reads through the wizard's
    // session on another thread.
    TFormPostgreDataFile(QWidget* owner, TQuestions& questions,
                         std::unique_ptr<TDbConnection> own_source, const TTableRec& table,
                         int db_type, const QStringList& target_computes = {});
    ~TFormPostgreDataFile() override;

    // "FormPostgreDataFile_" + table name: one export window per table.
    static QString ObjectNameFor(const QString& table_name);

    // Handlers, public so that tests can drive the window without an event loop.
    void FormShow();
    void ButtonCopyClick();
    void TimerCopyTimer();
    bool FormCloseQuery();
    void FormClose();
    QChar GetDeciSep() const;

    TTableExport& Export() { return *export_; }
    // True after an export failed: it is over and the window may be closed.
    bool Failed() const { return failed_; }

    // Caption of the general error report; the opener gives it the application's title.
    QString error_title;

    QLineEdit* EditTable;
    QSpinBox* SpinPortionWrite;
    QSpinBox* SpinPortionRead;
    QComboBox* ComboDecimal;
    QPushButton* ButtonCopy;
    QProgressBar* GaugeCopy;
    QLabel* LabelTime;
    QTimer* TimerCopy;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowFailure(const QString& message);
    void UpdateGauge();

    TQuestions& questions_;
    std::unique_ptr<TDbConnection> own_source_;  // outlives the export that reads through it
    std::unique_ptr<TTableExport> export_;
    bool failed_ = false;
};
