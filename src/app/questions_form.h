#pragma once
// The questions interface on real dialogs: message boxes, the input box and the file dialogs,
// all modal to the given parent window.

#include <QPointer>
#include <QWidget>

#include "util/questions.h"

class QFontMetrics;

// Width of the one-line input box: its whole caption, prompt and value in sight.
int InputBoxWidth(const QFontMetrics& metrics, const QString& caption, const QString& prompt,
                  const QString& value);

class TQuestionsForm : public TQuestions {
public:
    explicit TQuestionsForm(QWidget* parent = nullptr) : parent_(parent) {}

    void SetParent(QWidget* parent) { parent_ = parent; }

    bool AskOkCancel(const QString& caption, const QString& text) override;
    void ShowError(const QString& caption, const QString& text) override;
    void ShowMessage(const QString& caption, const QString& text) override;
    bool InputText(const QString& caption, const QString& prompt, QString& value) override;
    QString OpenFile(const QString& caption, const QStringList& filters,
                     int selected_filter) override;
    QString SaveFile(const QString& caption, const QStringList& filters,
                     int selected_filter) override;

private:
    QPointer<QWidget> parent_;
};
