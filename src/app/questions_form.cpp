#include "app/questions_form.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QString SelectedFilter(const QStringList& filters, int index) {
    return index >= 0 && index < filters.size() ? filters[index] : QString();
}

}  // namespace

bool TQuestionsForm::AskOkCancel(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent_);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

void TQuestionsForm::ShowError(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent_);
    box.exec();
}

void TQuestionsForm::ShowMessage(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool TQuestionsForm::InputText(const QString& caption, const QString& prompt, QString& value) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent_, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) {
        value = text;
    }
    return ok;
}

QString TQuestionsForm::OpenFile(const QString& caption, const QStringList& filters,
                                 int selected_filter) {
    QString selected = SelectedFilter(filters, selected_filter);
    return QFileDialog::getOpenFileName(parent_, caption, QString(), filters.join(u";;"),
                                        &selected);
}

QString TQuestionsForm::SaveFile(const QString& caption, const QStringList& filters,
                                 int selected_filter) {
    QString selected = SelectedFilter(filters, selected_filter);
    return QFileDialog::getSaveFileName(parent_, caption, QString(), filters.join(u";;"),
                                        &selected);
}
