#pragma once
// A connection-string memo that hides the passwords it holds: the text stays exactly as typed
// (it is what the connection, the settings and the dialog take), but on screen every password
// value is drawn as dots until the operator asks to see it. Editing works as in any memo;
// the characters typed into a hidden password are hidden as well. User-interface thread.

#include <QPlainTextEdit>

class TSecretMemo : public QPlainTextEdit {
public:
    explicit TSecretMemo(QWidget* parent = nullptr);

    // Hidden by default.
    bool PasswordsHidden() const { return hidden_; }
    void SetPasswordsHidden(bool hidden);
    // The text as drawn: each hidden password character stands as a dot. Lines joined by '\n'.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool hidden_ = true;
};
