#include "transfer/checkpoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <filesystem>
#include <system_error>

#include "util/code_page.h"
#include "util/error.h"
#include "util/text_file.h"

namespace {

const char* const kPositions[] = {"", "START", "KEY", "RESTART", "AFTER"};

QString Encode(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

QString EncodeList(const QStringList& values) {
    QStringList encoded;
    for (const QString& value : values) {
        encoded << Encode(value);
    }
    return encoded.join(u',');
}

[[noreturn]] void Damaged(const QString& where, const QString& what) {
    throw TConvertError(QStringLiteral("Файл контрольной точки %1 повреждён: %2").arg(where, what));
}

QString Decode(const QString& where, const QString& text) {
    const QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(text.toLatin1()));
    // Only what Encode writes reads back: anything else was not written by us.
    if (Encode(decoded) != text) {
        Damaged(where, QStringLiteral("значение «%1» записано не в своей форме").arg(text));
    }
    return decoded;
}

QStringList DecodeList(const QString& where, const QString& text) {
    QStringList values;
    for (const QString& part : text.split(u',')) {
        values << Decode(where, part);
    }
    return values;
}

qint64 ReadNumber(const QString& where, const QString& text, int line, qint64 minimum) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    // A negative index or offset is never written; reading one would only point the resume
    // outside the table list.
    if (!ok || value < minimum) {
        Damaged(where,
                QStringLiteral("строка %1 («%2») не является %3")
                    .arg(line)
                    .arg(text, minimum < 0 ? QStringLiteral("целым числом")
                                           : QStringLiteral("неотрицательным целым числом")));
    }
    return value;
}

}  // namespace

QStringList CheckpointLines(const TCheckpoint& cp) {
    QStringList lines{QString::number(cp.ind_table), QString::number(cp.copy_off)};
    if (cp.position == TCopyPosition::Count) {
        if (!cp.table_name.isEmpty()) {
            lines.append(cp.table_name);
        }
        return lines;
    }
    // The exact name follows encoded; this line only has to stay one line.
    lines.append(QString(cp.table_name).replace(u'\r', u'?').replace(u'\n', u'?'));
    lines.append(QStringLiteral("position=") +
                 QLatin1String(kPositions[static_cast<int>(cp.position)]));
    lines.append(QStringLiteral("name=") + Encode(cp.table_name));
    if (!cp.key_columns.isEmpty()) {
        lines.append(QStringLiteral("key=") + EncodeList(cp.key_columns));
    }
    if (cp.position == TCopyPosition::Key) {
        lines.append(QStringLiteral("last=") + EncodeList(cp.last_key));
    }
    lines.append(QStringLiteral("previous=") + QString::number(cp.previous_rows));
    lines.append(QStringLiteral("after_copy=") + QString::number(cp.after_copy_size));
    return lines;
}

TCheckpoint ParseCheckpoint(const QStringList& lines, const QString& where) {
    if (lines.size() < 2) {
        Damaged(where, QStringLiteral("в нём меньше двух строк"));
    }
    TCheckpoint cp;
    cp.ind_table = ReadNumber(where, lines[0], 1, 0);
    cp.copy_off = ReadNumber(where, lines[1], 2, 0);
    if (lines.size() > 2) {
        cp.table_name = lines[2];
    }
    bool has_position = false;
    bool has_last = false;
    for (int i = 3; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            Damaged(where, QStringLiteral("строка %1 («%2») не распознана").arg(i + 1).arg(line));
        }
        const QString name = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (name == QLatin1String("position")) {
            has_position = false;
            for (int p = 1; p < int(std::size(kPositions)); ++p) {
                if (value == QLatin1String(kPositions[p])) {
                    cp.position = static_cast<TCopyPosition>(p);
                    has_position = true;
                }
            }
            if (!has_position) {
                Damaged(where, QStringLiteral("неизвестное положение «%1»").arg(value));
            }
        } else if (name == QLatin1String("name")) {
            cp.table_name = Decode(where, value);
        } else if (name == QLatin1String("key")) {
            cp.key_columns = DecodeList(where, value);
        } else if (name == QLatin1String("last")) {
            cp.last_key = DecodeList(where, value);
            has_last = true;
        } else if (name == QLatin1String("previous")) {
            cp.previous_rows = ReadNumber(where, value, i + 1, -1);
        } else if (name == QLatin1String("after_copy")) {
            cp.after_copy_size = ReadNumber(where, value, i + 1, 0);
        }
        // Names of later versions are passed over.
    }
    const bool keyed = cp.position == TCopyPosition::Start || cp.position == TCopyPosition::Key;
    if (keyed && cp.key_columns.isEmpty()) {
        Damaged(where, QStringLiteral("не указаны столбцы ключа"));
    }
    if (cp.position == TCopyPosition::Key &&
        (!has_last || cp.last_key.size() != cp.key_columns.size())) {
        Damaged(where, QStringLiteral("значения последнего ключа не соответствуют его столбцам"));
    }
    if (cp.position == TCopyPosition::Start && cp.copy_off != 0) {
        Damaged(where, QStringLiteral("строки записаны, а последний ключ не указан"));
    }
    if (cp.position != TCopyPosition::Key) {
        cp.last_key.clear();
    }
    return cp;
}

namespace {

// The name as the system spells it (the locale's encoding is not involved).
std::filesystem::path FileSystemPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

}  // namespace

void WritePrivateFile(const QString& path, const QByteArray& bytes, TFileSync sync) {
    const auto fail = [&path](const QString& why) {
        return TFileError(QStringLiteral("Не удалось записать файл %1: %2")
                              .arg(QDir::toNativeSeparators(path), why));
    };
    if (sync == TFileSync::Cached) {
        // Whole in a file beside and renamed over the old one: a process that dies leaves the
        // old file or the new one; only the flush to the disk is left to the system.
        const QString beside = path + QStringLiteral(".new");
        QFile file(beside);
        file.remove();
        // Made with the owner's rights only, never readable by others for a moment.
        if (!file.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            throw fail(file.errorString());
        }
        const bool written = file.write(bytes) == bytes.size() && file.flush();
        const QString why = file.errorString();
        file.close();
        std::error_code error;
        if (written) {
            std::filesystem::rename(FileSystemPath(beside), FileSystemPath(path), error);
        }
        if (!written || error) {
            QFile::remove(beside);
            throw fail(written ? QString::fromLocal8Bit(error.message().c_str()) : why);
        }
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw fail(file.errorString());
    }
    // Set on the new file before it takes the name: it is never readable by others, whatever
    // the umask or the rights of the file it replaces.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size()) {
        const TFileError error = fail(file.errorString());
        file.cancelWriting();
        throw error;
    }
    if (!file.commit()) {
        throw fail(file.errorString());
    }
}

void SaveTmpFile(const QString& file_temp, const TCheckpoint& cp, const TCodePage& code_page,
                 TFileSync sync) {
    const QStringList lines = CheckpointLines(cp);
    QString text;
    for (const QString& line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    WritePrivateFile(file_temp, code_page.FromUnicode(text), sync);
}

TCheckpoint ReadTmpFile(const QString& file_temp, const TCodePage& code_page) {
    return ParseCheckpoint(ReadTextLines(file_temp, code_page),
                           QDir::toNativeSeparators(file_temp));
}

QString AfterCopyFile(const QString& file_temp) {
    const QFileInfo info(file_temp);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".after.sql"));
}

void SaveAfterCopyFile(const QString& file_temp, const QString& section) {
    WritePrivateFile(AfterCopyFile(file_temp), "\xEF\xBB\xBF" + section.toUtf8());
}

QString ReadAfterCopyFile(const QString& file_temp) {
    const QString path = AfterCopyFile(file_temp);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw TFileError(QStringLiteral("Не удалось прочитать файл %1: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    return QString::fromUtf8(bytes);
}

void RemoveTmpFiles(const QString& file_temp) {
    for (const QString& path : {file_temp, AfterCopyFile(file_temp)}) {
        if (!QFile::remove(path) && QFileInfo::exists(path)) {
            throw TFileError(QStringLiteral("Не удалось удалить файл контрольной точки %1")
                                 .arg(QDir::toNativeSeparators(path)));
        }
    }
}
