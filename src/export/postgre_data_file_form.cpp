#include "export/postgre_data_file_form.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGuiApplication>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "util/error.h"
#include "util/questions.h"
#include "util/text_utils.h"

TFormPostgreDataFile::TFormPostgreDataFile(QWidget* owner, TQuestions& questions,
                                           std::unique_ptr<TDbConnection> own_source,
                                           const TTableRec& table, int db_type,
                                           const QStringList& target_computes)
    : TFormPostgreDataFile(owner, questions, *own_source, table, db_type, target_computes) {
    own_source_ = std::move(own_source);
}

TFormPostgreDataFile::TFormPostgreDataFile(QWidget* owner, TQuestions& questions,
                                           TDbConnection& source, const TTableRec& table,
                                           int db_type, const QStringList& target_computes)
    : QWidget(owner, Qt::Window),
      questions_(questions),
      export_(std::make_unique<TTableExport>(source, table, db_type, target_computes)) {
    setObjectName(ObjectNameFor(table.name));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Данные в файл"));
    error_title = QGuiApplication::applicationDisplayName();

    EditTable = new QLineEdit(this);
    EditTable->setObjectName(QStringLiteral("EditTable"));
    EditTable->setReadOnly(true);

    SpinPortionWrite = new QSpinBox(this);
    SpinPortionWrite->setObjectName(QStringLiteral("SpinPortionWrite"));
    SpinPortionWrite->setRange(1, 10000);
    SpinPortionWrite->setValue(1000);

    SpinPortionRead = new QSpinBox(this);
    SpinPortionRead->setObjectName(QStringLiteral("SpinPortionRead"));
    SpinPortionRead->setRange(0, 10000000);
    SpinPortionRead->setValue(100000);

    ComboDecimal = new QComboBox(this);
    ComboDecimal->setObjectName(QStringLiteral("ComboDecimal"));
    ComboDecimal->addItems({QStringLiteral("точка"), QStringLiteral("запятая")});
    ComboDecimal->setCurrentIndex(0);
    ComboDecimal->setEnabled(db_type == kDbOracle);

    ButtonCopy = new QPushButton(QStringLiteral("Копировать"), this);
    ButtonCopy->setObjectName(QStringLiteral("ButtonCopy"));

    GaugeCopy = new QProgressBar(this);
    GaugeCopy->setObjectName(QStringLiteral("GaugeCopy"));
    GaugeCopy->setRange(0, 0);
    GaugeCopy->setVisible(false);

    LabelTime = new QLabel(this);
    LabelTime->setObjectName(QStringLiteral("LabelTime"));

    TimerCopy = new QTimer(this);
    TimerCopy->setObjectName(QStringLiteral("TimerCopy"));
    TimerCopy->setInterval(10);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Таблица:"), EditTable);
    form->addRow(QStringLiteral("Порция записи при копировании данных:"), SpinPortionWrite);
    form->addRow(QStringLiteral("Порция чтения при копировании данных:"), SpinPortionRead);
    form->addRow(QStringLiteral("Децимальный разделитель:"), ComboDecimal);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ButtonCopy);
    layout->addWidget(GaugeCopy);
    layout->addWidget(LabelTime);

    connect(ButtonCopy, &QPushButton::clicked, this, [this] { ButtonCopyClick(); });
    connect(TimerCopy, &QTimer::timeout, this, [this] { TimerCopyTimer(); });
}

TFormPostgreDataFile::~TFormPostgreDataFile() {
    TimerCopy->stop();
}

QString TFormPostgreDataFile::ObjectNameFor(const QString& table_name) {
    return QStringLiteral("FormPostgreDataFile_") + table_name;
}

void TFormPostgreDataFile::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFormPostgreDataFile::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TFormPostgreDataFile::FormShow() {
    LabelTime->clear();
    EditTable->setText(export_->Table().name);
    if (!SpinPortionRead->isEnabled()) {
        SpinPortionRead->setValue(0);
    }
}

void TFormPostgreDataFile::ButtonCopyClick() {
    if (export_->Started() || failed_) {
        return;
    }
    const QString file_name = questions_.SaveFile(windowTitle(), {}, 0);
    if (file_name.isEmpty()) {
        return;
    }
    try {
        export_->Start(file_name);
    } catch (const std::exception& error) {
        // Nothing was exported: the window stays ready for another try.
        export_->Abort();
        const auto* own = dynamic_cast<const TError*>(&error);
        ShowErrorReport(questions_, error_title,
                        own != nullptr ? own->Message() : QString::fromLocal8Bit(error.what()));
        return;
    }
    UpdateGauge();
    GaugeCopy->setVisible(true);
    TimerCopy->start();
    ButtonCopy->setEnabled(false);
}

void TFormPostgreDataFile::TimerCopyTimer() {
    TTableExport& task = *export_;
    // A timer event queued before the export ended or failed.
    if (failed_ || !task.Started() || task.Finished()) {
        return;
    }
    task.portion_write = SpinPortionWrite->value();
    task.portion_read = SpinPortionRead->value();
    task.deci_sep = GetDeciSep();
    bool done = false;
    try {
        done = task.CopyData();
    } catch (const TError& error) {
        ShowFailure(error.Message());
        return;
    } catch (const std::exception& error) {
        ShowFailure(QString::fromLocal8Bit(error.what()));
        return;
    }
    UpdateGauge();
    LabelTime->setText(FormatDuration(task.ElapsedSeconds()));
    if (!done) {
        return;
    }
    TimerCopy->stop();
    questions_.ShowMessage(task.Table().name, QStringLiteral("Копирование завершено."));
    GrantReadAccess(task.FileName());
    close();
}

bool TFormPostgreDataFile::FormCloseQuery() {
    if (TimerCopy->isActive() &&
        !questions_.AskOkCancel(export_->Table().name,
                                QStringLiteral("Копирование не завершено. Прервать?"))) {
        return false;
    }
    TimerCopy->stop();
    return true;
}

void TFormPostgreDataFile::FormClose() {
    // An abandoned data file stays on disk as far as it was written.
    export_->Abort();
}

QChar TFormPostgreDataFile::GetDeciSep() const {
    return ::GetDeciSep(ComboDecimal->currentIndex());
}

void TFormPostgreDataFile::ShowFailure(const QString& message) {
    // A failing unit would fail again on every tick: the export ends here.
    TimerCopy->stop();
    failed_ = true;
    try {
        export_->Abort();
    } catch (...) {
        // The reader's own failure is what the operator needs to see.
    }
    ShowErrorReport(questions_, error_title, message);
}

void TFormPostgreDataFile::UpdateGauge() {
    const TTableExport& task = *export_;
    const int maximum = int(std::min<qint64>(task.Total(), INT_MAX));
    GaugeCopy->setRange(0, maximum);
    GaugeCopy->setValue(int(std::min<qint64>(task.CopyOff(), maximum)));
}
