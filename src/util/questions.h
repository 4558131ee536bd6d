#pragma once
// Every box and dialog the wizard puts in front of the operator goes through this interface, so
// that the window logic can be driven without a modal loop (tests answer from a script). It
// includes no widget header: the window code and the engine-side helpers below share it. Called
// on the user-interface thread only.

#include <QString>
#include <QStringList>

class TQuestions {
public:
    virtual ~TQuestions() = default;

    // OK/Cancel box with the question icon; true only for OK.
    virtual bool AskOkCancel(const QString& caption, const QString& text) = 0;
    // OK box with the error icon.
    virtual void ShowError(const QString& caption, const QString& text) = 0;
    // OK box with the information icon.
    virtual void ShowMessage(const QString& caption, const QString& text) = 0;
    // One-line input box pre-filled with value; on OK value receives the text and the result is
    // true, on Cancel value is left alone.
    virtual bool InputText(const QString& caption, const QString& prompt, QString& value) = 0;
    // File dialogs. filters are "Name (*.ext)" entries, selected_filter the one shown first.
    // The full path of the chosen file, or the empty text on Cancel.
    virtual QString OpenFile(const QString& caption, const QStringList& filters,
                             int selected_filter) = 0;
    virtual QString SaveFile(const QString& caption, const QStringList& filters,
                             int selected_filter) = 0;
    // Closes the OK/Cancel questions still open, as if answered Cancel: what happened meanwhile
    // (the copy finished or failed) has taken the ground from under their answer.
    virtual void CloseQuestions() {}
};

// The text of the general error report: a full stop is appended when the message's last
// character comes after '.' in the character table, so "no table" and "table X" end with one and
// "done." or "(42)" stay as they are.
inline QString ErrorReportText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') {
        return message + u'.';
    }
    return message;
}

// The general error report: the application's title as caption, the error icon.
inline void ShowErrorReport(TQuestions& questions, const QString& title, const QString& message) {
    questions.ShowError(title, ErrorReportText(message));
}
