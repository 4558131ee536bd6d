#include "util/text_file.h"

#include "util/code_page.h"
#include "util/error.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString DecodeText(const QByteArray& bytes, const TCodePage& code_page) {
    struct TBom {
        QByteArrayView mark;
        QStringConverter::Encoding encoding;
    };
    static const TBom kBoms[] = {
        {QByteArrayView("\xEF\xBB\xBF", 3), QStringConverter::Utf8},
        {QByteArrayView("\xFF\xFE", 2), QStringConverter::Utf16LE},
        {QByteArrayView("\xFE\xFF", 2), QStringConverter::Utf16BE},
    };
    for (const TBom& bom : kBoms) {
        if (bytes.startsWith(bom.mark)) {
            QStringDecoder decoder(bom.encoding, QStringConverter::Flag::Default);
            return decoder.decode(QByteArrayView(bytes).sliced(bom.mark.size()));
        }
    }
    return code_page.ToUnicode(bytes);
}

}  // namespace

QStringList ReadTextLines(const QString& path, const TCodePage& code_page) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw TFileError(
            QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw TFileError(
            QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, file.errorString()));
    }
    return SplitLines(DecodeText(bytes, code_page));
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            ++i;
            if (c == QLatin1Char('\r') && i < size && text[i] == QLatin1Char('\n')) {
                ++i;
            }
            start = i;
        } else {
            ++i;
        }
    }
    if (start < size) {
        lines.append(text.mid(start));
    }
    return lines;
}

void WriteTextLines(const QString& path, const QStringList& lines, const TCodePage& code_page,
                    TFileAccess access) {
    QString text;
    for (const QString& line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    WriteFileBytes(path, code_page.FromUnicode(text), access);
}

void WriteFileBytes(const QString& path, const QByteArray& bytes, TFileAccess access) {
    // Written beside the target and renamed over it only when complete, so that a crash
    // leaves either the old file or the new one.
    QSaveFile file(path);
    const auto fail = [&path, &file]() {
        return TFileError(
            QStringLiteral("Не удалось записать файл %1: %2").arg(path, file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly)) {
        throw fail();
    }
    // The new file takes the rights of the one it replaces; narrowed before the first byte.
    if (access == TFileAccess::OwnerOnly && !file.setPermissions(kOwnerOnly)) {
        const TFileError error = fail();
        file.cancelWriting();
        throw error;
    }
    if (file.write(bytes) != bytes.size()) {
        const TFileError error = fail();
        file.cancelWriting();
        throw error;
    }
    if (!file.commit()) {
        throw fail();
    }
}

void MakeOwnerOnlyFile(const QString& path) {
    QFile file(path);
    const bool done = file.exists()
                          ? file.setPermissions(kOwnerOnly)
                          : file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly);
    if (!done) {
        throw TFileError(QStringLiteral("Не удалось закрыть доступ к файлу %1 для других "
                                        "пользователей: %2")
                             .arg(path, file.errorString()));
    }
}
