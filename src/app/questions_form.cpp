#include "app/questions_form.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>

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
    QInputDialog box(parent_);
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(value);
    // The box sizes itself from its contents: the field is what gets the width.
    if (auto* field = box.findChild<QLineEdit*>()) {
        const QMargins margins = box.contentsMargins();
        field->setMinimumWidth(InputBoxWidth(box.fontMetrics(), caption, prompt, value) - 24 -
                               margins.left() - margins.right());
    }
    if (box.exec() != QDialog::Accepted) {
        return false;
    }
    value = box.textValue();
    return true;
}

int InputBoxWidth(const QFontMetrics& metrics, const QString& caption, const QString& prompt,
                  const QString& value) {
    // The caption shares the title bar with the window buttons, and title fonts run larger
    // than the dialog's own; a query addition may be a long line of SQL.
    const int title = metrics.horizontalAdvance(caption) * 5 / 4 + 140;
    const int field = std::min(metrics.horizontalAdvance(value) + 40, 720);
    return std::max({360, title, metrics.horizontalAdvance(prompt) + 40, field});
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
