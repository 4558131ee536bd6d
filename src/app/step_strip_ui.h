#pragma once
// The strip across the top of the main window. Its text is the stage caption the steps set
// (setText, as on any label); what it shows is that caption composed by the window with where
// the operator is ("Шаг 2 из 6: ..."), so the stages keep setting their own captions and the
// strip never shows a bare or stale one. User-interface thread.

#include <QLabel>
#include <functional>

class TStepStrip : public QLabel {
public:
    // compose turns the stage caption into the text shown: the step part before the first
    // ": " is drawn bold.
    using TCompose = std::function<QString(const QString& caption)>;

    explicit TStepStrip(QWidget* parent = nullptr);

    void SetCompose(TCompose compose);
    // The text as drawn now.
    QString DisplayText() const;
    // Repaints when what it shows has changed (the step moves on without a new caption).
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TCompose compose_;
    QString shown_;
};
