#include "transfer/query_addi.h"

#include <QFileInfo>
#include <QStringList>

#include "util/text_file.h"
#include "util/text_utils.h"

void LoadQueryAddi(const QString& file_addi, TTables& tables, const TCodePage& code_page) {
    if (!QFileInfo::exists(file_addi)) {
        return;
    }
    const QStringList lines = ReadTextLines(file_addi, code_page);
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
        const QString name = UpperLatin(lines[i]);
        for (TTableRec& table : tables) {
            if (UpperLatin(table.name) == name) {
                table.query_addi = lines[i + 1];
                break;
            }
        }
    }
}
