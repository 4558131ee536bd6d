#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVariant>

#include "util/error.h"
#include "util/text_file.h"

namespace {

const QString kConnectFrom = QStringLiteral("ConnectFrom");
const QString kConnectTo = QStringLiteral("ConnectTo");
const QString kUser = QStringLiteral("User");
const QString kPassword = QStringLiteral("Password");
const QString kIntType = QStringLiteral("IntType");
const QString kPortionWrite = QStringLiteral("PortionWrite");
const QString kPortionRead = QStringLiteral("PortionRead");
const QString kGrantDba = QStringLiteral("GrantDba");
const QString kValidate = QStringLiteral("ValidateAfterCopy");
const QString kChecksum = QStringLiteral("ValidateChecksum");
const QString kWriteMethod = QStringLiteral("WriteMethod");

void ReadString(QSettings& settings, const QString& key, QString& out) {
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::QString) {
        out = value.toString();
    }
}

// The ini backend hands integers back as text, the registry as numbers; both are accepted, any
// other shape counts as missing.
void ReadInt(QSettings& settings, const QString& key, int& out) {
    const QVariant value = settings.value(key);
    bool ok = false;
    qlonglong number = 0;
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            number = value.toLongLong(&ok);
            break;
        case QMetaType::QString:
            number = value.toString().trimmed().toLongLong(&ok);
            break;
        default:
            break;
    }
    if (ok && number >= INT32_MIN && number <= INT32_MAX) {
        out = static_cast<int>(number);
    }
}

QString FolderFor(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        return QString();
    }
    return folder;
}

QString InFolder(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

}  // namespace

void LoadSettings(QSettings& settings, TSettingsValues& values) {
    ReadString(settings, kConnectFrom, values.connect_from);
    ReadString(settings, kConnectTo, values.connect_to);
    ReadString(settings, kUser, values.user);
    ReadString(settings, kPassword, values.password);

    int int_type = values.int_type;
    ReadInt(settings, kIntType, int_type);
    // Only the two items and "nothing selected" exist.
    if (int_type >= -1 && int_type <= 1) {
        values.int_type = int_type;
    }
    ReadInt(settings, kPortionWrite, values.portion_write);
    values.portion_write = qBound(kPortionWriteMin, values.portion_write, kPortionWriteMax);
    ReadInt(settings, kPortionRead, values.portion_read);
    values.portion_read = qBound(kPortionReadMin, values.portion_read, kPortionReadMax);
    int grant_dba = values.grant_dba ? 1 : 0;
    ReadInt(settings, kGrantDba, grant_dba);
    values.grant_dba = grant_dba != 0;
    int validate = values.validate ? 1 : 0;
    ReadInt(settings, kValidate, validate);
    values.validate = validate != 0;
    int checksum = values.checksum ? 1 : 0;
    ReadInt(settings, kChecksum, checksum);
    values.checksum = checksum != 0;
    int write_method = values.write_method;
    ReadInt(settings, kWriteMethod, write_method);
    // Only the two items exist.
    if (write_method == 0 || write_method == 1) {
        values.write_method = write_method;
    }
}

bool SaveSettings(QSettings& settings, const TSettingsValues& values) {
    if (!settings.isWritable()) {
        return false;
    }
#ifndef Q_OS_WIN
    // The store keeps the rights of the file it replaces: made private before anything is in it.
    const QString file_name = settings.fileName();
    if (!file_name.isEmpty()) {
        QDir().mkpath(QFileInfo(file_name).absolutePath());
        try {
            MakeOwnerOnlyFile(file_name);
        } catch (const TFileError&) {
            // Narrowed after the sync below, as far as that goes.
        }
    }
#endif
    settings.setValue(kConnectFrom, values.connect_from);
    settings.setValue(kConnectTo, values.connect_to);
    settings.setValue(kUser, values.user);
    settings.setValue(kPassword, values.password);
    settings.setValue(kIntType, values.int_type);
    settings.setValue(kPortionWrite, values.portion_write);
    settings.setValue(kPortionRead, values.portion_read);
    settings.setValue(kGrantDba, values.grant_dba ? 1 : 0);
    settings.setValue(kValidate, values.validate ? 1 : 0);
    settings.setValue(kChecksum, values.checksum ? 1 : 0);
    settings.setValue(kWriteMethod, values.write_method);
    settings.sync();
#ifndef Q_OS_WIN
    // The password is stored as typed; nobody but the owner may read the file.
    if (QFile::exists(file_name)) {
        QFile::setPermissions(file_name, QFile::ReadOwner | QFile::WriteOwner);
    }
#endif
    return settings.status() == QSettings::NoError;
}

TWorkPaths MakeWorkPaths(const QString& cur_dir) {
    TWorkPaths paths;
    paths.cur_dir = cur_dir;
    const QDir start(cur_dir);
    paths.file_addi = start.filePath(QStringLiteral("addi.dat"));
    paths.file_help = start.filePath(QStringLiteral("Skerrow.chm"));
    const QString app_data = FolderFor(QStandardPaths::AppDataLocation);
    paths.file_param = InFolder(app_data, QStringLiteral("param.tmp"));
    paths.file_temp = InFolder(app_data, QStringLiteral("Skerrow.tmp"));
    paths.file_log =
        InFolder(FolderFor(QStandardPaths::DocumentsLocation), QStringLiteral("Skerrow.log"));
    return paths;
}
