#pragma once
// The dialog that builds a connection string from a few fields for one of the three providers.
// One instance is created at start (it imports the related application's Oracle settings and
// lists the PostgreSQL data sources then) and reused by both connection panels; its fields keep
// their values between uses.

#include <QDialog>

#include "db/connect_string_builder.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;

class TFormConnectString : public QDialog {
    Q_OBJECT

public:
    // load_at_start runs the start-up imports; tests switch them off to start from the design
    // defaults.
    explicit TFormConnectString(QWidget* parent = nullptr, bool load_at_start = true);

    // The last string built; the caller takes it after an accepted exec().
    QString connect_string;

    QComboBox* ComboProvider = nullptr;
    QTabWidget* PageControl = nullptr;
    QWidget* TabOracle = nullptr;
    QLineEdit* EditDbOracle = nullptr;
    QLineEdit* EditUserOracle = nullptr;
    QLineEdit* EditPasswordOracle = nullptr;
    QWidget* TabPostgres = nullptr;
    QLabel* LabelSource = nullptr;
    QComboBox* ComboSource = nullptr;
    QLineEdit* EditServerPostgres = nullptr;
    QLineEdit* EditPortPostgres = nullptr;
    QLineEdit* EditUserPostgres = nullptr;
    QLineEdit* EditPasswordPostgres = nullptr;
    QPushButton* ButtonOk = nullptr;

    void FormCreate();
    void ComboProviderChange();
    void EditDbOracleChange();
    void ButtonOkClick();
    // The fields as the builder takes them, and back.
    TConnectStringFields Fields() const;
    void SetFields(const TConnectStringFields& fields);
    // Replaces the data-source items: enabled only when there is a choice to make.
    void SetOdbcList(const QStringList& sources);

protected:
    void showEvent(QShowEvent* event) override;
};
