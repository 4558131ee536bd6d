#include "app/step_strip_ui.h"

#include <QPainter>

TStepStrip::TStepStrip(QWidget* parent) : QLabel(parent) {}

void TStepStrip::SetCompose(TCompose compose) {
    compose_ = std::move(compose);
    Refresh();
}

QString TStepStrip::DisplayText() const {
    return compose_ ? compose_(text()) : text();
}

void TStepStrip::Refresh() {
    if (DisplayText() != shown_) {
        update();
    }
}

void TStepStrip::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    shown_ = DisplayText();
    const qsizetype colon = shown_.indexOf(QStringLiteral(": "));
    const QString head = colon < 0 ? QString() : shown_.left(colon + 1);
    const QString tail = colon < 0 ? shown_ : shown_.mid(colon + 1);

    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    QRect rect = contentsRect();
    const int flags = int(Qt::AlignLeft | Qt::AlignVCenter) | Qt::TextSingleLine;
    if (!head.isEmpty()) {
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(rect, flags, head);
        rect.setLeft(rect.left() + QFontMetrics(bold).horizontalAdvance(head));
    }
    painter.setFont(font());
    // A long table name or message is cut with an ellipsis rather than past the edge.
    painter.drawText(rect, flags,
                     QFontMetrics(font()).elidedText(tail, Qt::ElideRight, rect.width()));
}
