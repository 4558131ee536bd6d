#include "util/number_text.h"

QString GroupDigits(qint64 value) {
    return GroupDigitsText(QString::number(value));
}

QString GroupDigitsText(const QString& text) {
    const qsizetype first = text.startsWith(u'-') ? 1 : 0;
    const qsizetype digits = text.size() - first;
    if (digits <= 0) {
        return text;
    }
    for (qsizetype i = first; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') {
            return text;
        }
    }
    QString grouped = text.left(first);
    grouped.reserve(text.size() + digits / 3);
    for (qsizetype i = first; i < text.size(); ++i) {
        const qsizetype left = text.size() - i;
        if (i > first && left % 3 == 0) {
            grouped += QChar(kDigitGroupSeparator);
        }
        grouped += text[i];
    }
    return grouped;
}
