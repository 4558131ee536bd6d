// Step 1: the two connection panels, their check and the connection-string dialog.

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>

#include "app/migration_form.h"
#include "db/connect_string_fields.h"
#include "db/connect_string_form.h"
#include "db/server_kind.h"
#include "util/questions.h"
#include "util/secrets.h"

void TFormMigration::CheckConnection(TDbConnection& connection, QPlainTextEdit* memo, QLabel* mark,
                                     int& db_kind) {
    const QString text = MemoText(memo);
    try {
        connection.Close();
        connection.SetConnectionString(text);
        connection.Open();
    } catch (const TError& error) {
        // The mark and the kind keep what an earlier check left. A message may quote the
        // string it could not read, password and all.
        questions_->ShowError(QStringLiteral("Ошибка"), MaskSecrets(error.Message()));
        return;
    } catch (const std::exception& error) {
        questions_->ShowError(QStringLiteral("Ошибка"),
                              MaskSecrets(QString::fromLocal8Bit(error.what())));
        return;
    }
    mark->setVisible(true);
    db_kind = GetTypeDb(text);
}

void TFormMigration::BtnCheckFromClick() {
    CheckConnection(ADOConnectionFrom, MemoConnectFrom, LabelCheckDbFrom, db_from);
}

void TFormMigration::BtnCheckToClick() {
    CheckConnection(ADOConnectionTo, MemoConnectTo, LabelCheckDbTo, db_to);
}

void TFormMigration::BuildConnectString(QPlainTextEdit* memo, QLabel* mark) {
    if (connect_string_form == nullptr) {
        return;
    }
    Guarded([&] {
        // The dialog opens on what the panel holds; a text it cannot read leaves the fields
        // as the dialog was last left.
        TConnectStringFields fields = connect_string_form->Fields();
        if (ReadConnectStringFields(MemoText(memo), fields)) {
            connect_string_form->SetFields(fields);
        }
        if (connect_string_form->exec() == QDialog::Accepted) {
            SetMemoText(memo, connect_string_form->connect_string);
            mark->setVisible(false);
        }
    });
}

void TFormMigration::BtnConnectFromClick() {
    BuildConnectString(MemoConnectFrom, LabelCheckDbFrom);
}

void TFormMigration::BtnConnectToClick() {
    BuildConnectString(MemoConnectTo, LabelCheckDbTo);
}
