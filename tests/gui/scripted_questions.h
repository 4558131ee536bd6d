#pragma once
// Answers the window's boxes from a script and records what was asked, so that tests drive
// the forms without a modal loop.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "util/questions.h"

class TScriptedQuestions : public TQuestions {
public:
    struct TAsked {
        QString kind;  // "ask", "error", "message", "input", "open", "save"
        QString caption;
        QString text;
    };

    QList<TAsked> asked;
    // Answers in order; an exhausted queue answers Cancel.
    QList<bool> ok_answers;
    QList<std::optional<QString>> inputs;  // nullopt answers Cancel
    QStringList files;                     // empty text answers Cancel
    QStringList last_filters;
    int last_selected_filter = -1;
    // Runs while an error box is "open", e.g. to let ticks arrive under it.
    std::function<void()> while_error_open;
    // Runs while an OK/Cancel question is "open"; a CloseQuestions meanwhile answers it Cancel.
    std::function<void()> while_ask_open;

    bool AskOkCancel(const QString& caption, const QString& text) override {
        asked.append({QStringLiteral("ask"), caption, text});
        const bool answer = ok_answers.isEmpty() ? false : ok_answers.takeFirst();
        if (!while_ask_open) {
            return answer;
        }
        ++open_asks_;
        const int closed = closed_;
        while_ask_open();
        --open_asks_;
        return closed_ == closed && answer;
    }
    void CloseQuestions() override {
        if (open_asks_ > 0) {
            asked.append({QStringLiteral("closed"), QString(), QString()});
            ++closed_;
        }
    }
    void ShowError(const QString& caption, const QString& text) override {
        asked.append({QStringLiteral("error"), caption, text});
        if (while_error_open) {
            while_error_open();
        }
    }
    void ShowMessage(const QString& caption, const QString& text) override {
        asked.append({QStringLiteral("message"), caption, text});
    }
    bool InputText(const QString& caption, const QString& prompt, QString& value) override {
        asked.append({QStringLiteral("input"), caption, prompt + u'|' + value});
        if (inputs.isEmpty()) {
            return false;
        }
        const std::optional<QString> answer = inputs.takeFirst();
        if (!answer) {
            return false;
        }
        value = *answer;
        return true;
    }
    QString OpenFile(const QString& caption, const QStringList& filters,
                     int selected_filter) override {
        asked.append({QStringLiteral("open"), caption, QString()});
        last_filters = filters;
        last_selected_filter = selected_filter;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString SaveFile(const QString& caption, const QStringList& filters,
                     int selected_filter) override {
        asked.append({QStringLiteral("save"), caption, QString()});
        last_filters = filters;
        last_selected_filter = selected_filter;
        return files.isEmpty() ? QString() : files.takeFirst();
    }

    int Count(const QString& kind) const {
        int n = 0;
        for (const TAsked& a : asked) {
            n += a.kind == kind ? 1 : 0;
        }
        return n;
    }

private:
    int open_asks_ = 0;
    int closed_ = 0;
};
