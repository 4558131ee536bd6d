#include "app/secret_memo_ui.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>

#include "util/secrets.h"

namespace {

constexpr char16_t kDot = u'\u2022';

}  // namespace

TSecretMemo::TSecretMemo(QWidget* parent) : QPlainTextEdit(parent) {
    // In a fixed-pitch font a hidden password takes the room of its length alone, not of the
    // letters it is made of.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void TSecretMemo::SetPasswordsHidden(bool hidden) {
    if (hidden_ != hidden) {
        hidden_ = hidden;
        viewport()->update();
    }
}

QString TSecretMemo::ShownText() const {
    QString text = toPlainText();
    if (!hidden_) {
        return text;
    }
    for (const TSecretSpan& span : SecretSpans(text)) {
        for (qsizetype i = span.begin; i < span.end; ++i) {
            if (text[i] != u'\n') {
                text[i] = QChar(kDot);
            }
        }
    }
    return text;
}

void TSecretMemo::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    if (!hidden_) {
        return;
    }
    const QString text = toPlainText();
    const QList<TSecretSpan> spans = SecretSpans(text);
    if (spans.isEmpty()) {
        return;
    }
    // Each character of a password is covered where the layout put it, so wrapped lines and
    // the selection are covered too; a dot marks it.
    QPainter painter(viewport());
    const QFontMetrics metrics(font());
    const QBrush base = palette().brush(QPalette::Base);
    painter.setPen(palette().color(QPalette::Text));
    for (const TSecretSpan& span : spans) {
        for (qsizetype i = span.begin; i < span.end; ++i) {
            if (text[i] == u'\n') {
                continue;
            }
            QTextCursor cursor(document());
            cursor.setPosition(int(i));
            const QRect at = cursorRect(cursor);
            const QRect cell(at.left(), at.top(), std::max(1, metrics.horizontalAdvance(text[i])),
                             at.height());
            if (!cell.intersects(event->rect())) {
                continue;
            }
            painter.fillRect(cell, base);
            painter.drawText(cell, Qt::AlignCenter, QString(QChar(kDot)));
        }
    }
}
