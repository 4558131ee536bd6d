#include "transfer/checkpoint.h"

#include <QDir>
#include <QStringList>

#include "util/error.h"
#include "util/text_file.h"

namespace {

qint64 ReadCount(const QString& file_temp, const QStringList& lines, int index) {
    bool ok = false;
    const qint64 value = lines[index].trimmed().toLongLong(&ok);
    // A negative index or offset is never written; reading one would only point the resume
    // outside the table list.
    if (!ok || value < 0) {
        throw TConvertError(
            QStringLiteral("Файл контрольной точки %1 повреждён: строка %2 («%3») не является "
                           "неотрицательным целым числом")
                .arg(QDir::toNativeSeparators(file_temp))
                .arg(index + 1)
                .arg(lines[index]));
    }
    return value;
}

}  // namespace

void SaveTmpFile(const QString& file_temp, const TCheckpoint& cp, const TCodePage& code_page) {
    QStringList lines{QString::number(cp.ind_table), QString::number(cp.copy_off)};
    if (!cp.table_name.isEmpty()) {
        lines.append(cp.table_name);
    }
    WriteTextLines(file_temp, lines, code_page);
}

TCheckpoint ReadTmpFile(const QString& file_temp, const TCodePage& code_page) {
    const QStringList lines = ReadTextLines(file_temp, code_page);
    if (lines.size() < 2) {
        throw TConvertError(
            QStringLiteral("Файл контрольной точки %1 повреждён: в нём меньше двух строк")
                .arg(QDir::toNativeSeparators(file_temp)));
    }
    TCheckpoint cp;
    cp.ind_table = ReadCount(file_temp, lines, 0);
    cp.copy_off = ReadCount(file_temp, lines, 1);
    if (lines.size() > 2) {
        cp.table_name = lines[2];
    }
    return cp;
}
