#include "db/connection_string.h"

#include <QRegularExpression>

#include "util/error.h"
#include "util/text_utils.h"

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool SameKey(const QString& a, const QString& b) {
    return UpperLatin(a) == UpperLatin(b);
}

const TConnectPair* FindPair(const QList<TConnectPair>& pairs, const QString& key) {
    for (const TConnectPair& pair : pairs) {
        if (SameKey(pair.key, key)) {
            return &pair;
        }
    }
    return nullptr;
}

QString Shorten(const QString& text) {
    return text.size() <= 40 ? text : text.left(40) + QStringLiteral("...");
}

// Reads a value closed by `close`, where a doubled `close` stands for the character itself.
// `pos` points after the opening character and ends after the closing one.
QString ReadQuoted(const QString& text, qsizetype& pos, QChar close, const QString& key) {
    QString value;
    while (true) {
        if (pos >= text.size()) {
            throw TError(QStringLiteral("В строке подключения не закрыта кавычка %1 у значения "
                                        "параметра «%2».")
                             .arg(close, key));
        }
        const QChar c = text[pos++];
        if (c != close) {
            value += c;
        } else if (pos < text.size() && text[pos] == close) {
            value += c;
            ++pos;
        } else {
            return value;
        }
    }
}

// One pair of a connection string with where its value stands in the text: from the opening
// quote or brace (or the first character of a plain value) to after the closing one (or the
// last character that is not blank).
struct TPairSpan {
    QString key;
    QString value;
    qsizetype begin = 0;
    qsizetype end = 0;
    QChar quote;  // '"', '\'', '{', or none
};

QList<TPairSpan> ScanConnectString(const QString& text) {
    QList<TPairSpan> pairs;
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size) {
        while (pos < size && (IsBlank(text[pos]) || text[pos] == u';')) {
            ++pos;
        }
        if (pos >= size) {
            break;
        }
        const qsizetype key_start = pos;
        while (pos < size && text[pos] != u'=' && text[pos] != u';') {
            ++pos;
        }
        const QString key = text.mid(key_start, pos - key_start).trimmed();
        if (pos >= size || text[pos] != u'=') {
            throw TError(QStringLiteral("В строке подключения у части «%1» нет знака «=».")
                             .arg(Shorten(key)));
        }
        if (key.isEmpty()) {
            throw TError(QStringLiteral("В строке подключения пропущено имя параметра перед «=»."));
        }
        ++pos;
        while (pos < size && IsBlank(text[pos])) {
            ++pos;
        }
        TPairSpan span;
        span.key = key;
        span.begin = pos;
        if (pos < size && (text[pos] == u'"' || text[pos] == u'\'' || text[pos] == u'{')) {
            span.quote = text[pos++];
            span.value = ReadQuoted(text, pos, span.quote == u'{' ? QChar(u'}') : span.quote, key);
            span.end = pos;
            while (pos < size && IsBlank(text[pos])) {
                ++pos;
            }
            if (pos < size && text[pos] != u';') {
                throw TError(QStringLiteral("В строке подключения после закрывающей кавычки "
                                            "значения параметра «%1» нет знака «;».")
                                 .arg(key));
            }
        } else {
            while (pos < size && text[pos] != u';') {
                ++pos;
            }
            span.end = pos;
            while (span.end > span.begin && IsBlank(text[span.end - 1])) {
                --span.end;
            }
            span.value = text.mid(span.begin, span.end - span.begin);
        }
        pairs.append(span);
    }
    return pairs;
}

// The pairs of an ODBC connection string: a value in braces runs to the '}' that is not
// doubled, any other value to the next ';'.
QList<TPairSpan> ScanOdbcString(const QString& text) {
    QList<TPairSpan> pairs;
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size) {
        while (pos < size && (IsBlank(text[pos]) || text[pos] == u';')) {
            ++pos;
        }
        const qsizetype key_start = pos;
        while (pos < size && text[pos] != u'=' && text[pos] != u';') {
            ++pos;
        }
        if (pos >= size || text[pos] != u'=') {
            continue;  // a part without "=" is no pair; the driver decides what it means
        }
        TPairSpan span;
        span.key = text.mid(key_start, pos - key_start).trimmed();
        span.begin = ++pos;
        if (pos < size && text[pos] == u'{') {
            span.quote = u'{';
            ++pos;
            while (pos < size) {
                if (text[pos] == u'}' && !(pos + 1 < size && text[pos + 1] == u'}')) {
                    ++pos;
                    break;
                }
                pos += text[pos] == u'}' ? 2 : 1;
            }
        } else {
            while (pos < size && text[pos] != u';') {
                ++pos;
            }
        }
        span.end = std::min(pos, size);
        pairs.append(span);
    }
    return pairs;
}

bool KeyIn(const QString& key, const QStringList& names) {
    for (const QString& name : names) {
        if (SameKey(key, name)) {
            return true;
        }
    }
    return false;
}

// Sets every pair whose key is one of names to the value (written by OdbcValue, which both the
// driver manager and our own reader take), or adds a pair named by the first name.
QString SetPairs(const QString& text, const QList<TPairSpan>& pairs, const QStringList& names,
                 const QString& value) {
    const QString written = OdbcValue(value);
    QString result = text;
    bool found = false;
    for (auto it = pairs.crbegin(); it != pairs.crend(); ++it) {
        if (KeyIn(it->key, names)) {
            result.replace(it->begin, it->end - it->begin, written);
            found = true;
        }
    }
    if (!found) {
        while (!result.isEmpty() && IsBlank(result.back())) {
            result.chop(1);
        }
        if (!result.isEmpty() && !result.endsWith(u';')) {
            result += u';';
        }
        result += names.first() + u'=' + written;
    }
    return result;
}

// An ODBC connection string with line breaks (a memo wraps it) loses the breaks and the blanks
// beside them; otherwise it goes to the driver manager exactly as written.
QString JoinLines(const QString& text) {
    if (!text.contains(u'\n') && !text.contains(u'\r')) {
        return text.trimmed();
    }
    QStringList lines = text.split(QChar(u'\n'));
    for (QString& line : lines) {
        line = line.trimmed();
    }
    return lines.join(QString()).trimmed();
}

QString OracleOdbcString(const QList<TConnectPair>& pairs, const TOdbcInstalled& installed,
                         QString* chosen_driver) {
    const TConnectPair* source = FindPair(pairs, QStringLiteral("Data Source"));
    const TConnectPair* user = FindPair(pairs, QStringLiteral("User ID"));
    const TConnectPair* password = FindPair(pairs, QStringLiteral("Password"));
    if (source == nullptr || source->value.isEmpty()) {
        throw TError(QStringLiteral(
            "В строке подключения к Oracle не указан источник данных (Data Source)."));
    }
    QString login;
    if (user != nullptr) {
        login += QStringLiteral(";UID=") + OdbcValue(user->value);
    }
    if (password != nullptr) {
        login += QStringLiteral(";PWD=") + OdbcValue(password->value);
    }
    for (const TOdbcDataSource& ds : installed.data_sources) {
        if (SameKey(ds.name, source->value)) {
            return QStringLiteral("DSN=") + OdbcValue(ds.name) + login;
        }
    }
    const QString driver = NewestOracleDriver(installed.drivers);
    if (!driver.isEmpty()) {
        if (chosen_driver != nullptr) {
            *chosen_driver = driver;
        }
        QString braced = driver;
        braced.replace(QStringLiteral("}"), QStringLiteral("}}"));
        return QStringLiteral("DRIVER={") + braced + QStringLiteral("};DBQ=") +
               OdbcValue(source->value) + login;
    }
    throw TError(QStringLiteral("Не найден ODBC-драйвер Oracle: нет источника данных ODBC «%1», "
                                "и среди установленных драйверов ODBC нет драйвера, в названии "
                                "которого есть «Oracle». Проверьте: установлены ли пакеты "
                                "Oracle Instant Client Basic и ODBC; есть ли в odbcinst.ini "
                                "раздел драйвера (например, [Oracle 21 ODBC driver] со строкой "
                                "Driver = путь к libsqora.so; зарегистрированные драйверы "
                                "показывает команда odbcinst -q -d); установлена ли библиотека "
                                "libaio, без которой драйвер Oracle не загружается.")
                     .arg(source->value));
}

// The version numbers in a driver's name: the first run of digits and the runs that follow it
// after a "." or "_" ("instantclient_21_12" gives 21, 12; "OraClient12Home1" gives 12). A
// word size ("64-bit", "32bit") is no version.
QList<int> DriverVersion(const QString& name) {
    const qsizetype n = name.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && !name[i].isDigit()) {
            ++i;
        }
        QList<int> version;
        while (i < n && name[i].isDigit()) {
            int number = 0;
            while (i < n && name[i].isDigit()) {
                number = std::min(number * 10 + name[i].digitValue(), 1000000);
                ++i;
            }
            version.append(number);
            if (i + 1 < n && (name[i] == u'.' || name[i] == u'_') && name[i + 1].isDigit()) {
                ++i;
            } else {
                break;
            }
        }
        const QStringView rest = QStringView(name).mid(i);
        if (!rest.startsWith(u"bit", Qt::CaseInsensitive) &&
            !rest.startsWith(u"-bit", Qt::CaseInsensitive)) {
            return version;
        }
    }
    return {};
}

// The PostgreSQL driver's LFConversion turns every line feed of a text value into CR LF when it
// reads it. The dialog's fixed driver options switch it on, which would change the data the
// copy and the export move; a migration must carry text exactly, so it is always switched off.
QString WithoutLineFeedConversion(const QString& odbc) {
    static const QRegularExpression kLfConversion(
        QStringLiteral("(^|;)(\\s*)LFConversion(\\s*)=[^;]*"),
        QRegularExpression::CaseInsensitiveOption);
    QString result = odbc;
    result.replace(kLfConversion, QStringLiteral("\\1\\2LFConversion\\3=0"));
    return result;
}

// The bridge form carries the ODBC string in "Extended Properties"; without it the remaining
// pairs are the ODBC string, with the usual OLE DB names turned into ODBC keys.
QString BridgeOdbcString(const QList<TConnectPair>& pairs) {
    if (const TConnectPair* extended = FindPair(pairs, QStringLiteral("Extended Properties"))) {
        const QString odbc = JoinLines(extended->value);
        if (odbc.isEmpty()) {
            throw TError(QStringLiteral(
                "В строке подключения пусто значение параметра Extended Properties."));
        }
        return WithoutLineFeedConversion(odbc);
    }
    static const struct {
        const char16_t* from;
        const char16_t* to;
    } kRenames[] = {{u"User ID", u"UID"},
                    {u"Password", u"PWD"},
                    {u"Data Source", u"DSN"},
                    {u"Initial Catalog", u"DATABASE"}};
    QStringList odbc;
    for (const TConnectPair& pair : pairs) {
        if (SameKey(pair.key, QStringLiteral("Provider")) ||
            SameKey(pair.key, QStringLiteral("Persist Security Info"))) {
            continue;
        }
        QString key = pair.key;
        for (const auto& rename : kRenames) {
            if (SameKey(key, QString::fromUtf16(rename.from))) {
                key = QString::fromUtf16(rename.to);
            }
        }
        odbc << key + u'=' + OdbcValue(pair.value);
    }
    if (odbc.isEmpty()) {
        throw TError(QStringLiteral(
            "В строке подключения не указаны параметры ODBC (Extended Properties)."));
    }
    return WithoutLineFeedConversion(odbc.join(u';'));
}

}  // namespace

QList<TConnectPair> ParseConnectString(const QString& text) {
    QList<TConnectPair> pairs;
    for (const TPairSpan& span : ScanConnectString(text)) {
        pairs.append({span.key, span.value});
    }
    return pairs;
}

TOdbcTranslation TranslateConnect(const QString& text, const TOdbcInstalled& installed) {
    const QList<TConnectPair> pairs = ParseConnectString(text);
    const TConnectPair* provider = FindPair(pairs, QStringLiteral("Provider"));
    if (provider == nullptr || provider->value.isEmpty()) {
        throw TError(QStringLiteral("В строке подключения не указан провайдер (Provider=...)."));
    }
    const QString name = UpperLatin(provider->value);
    TOdbcTranslation result;
    if (name.startsWith(QStringLiteral("MSDASQL"))) {
        result.odbc = BridgeOdbcString(pairs);
        return result;
    }
    if (name.startsWith(QStringLiteral("ORAOLEDB.ORACLE")) ||
        name.startsWith(QStringLiteral("MSDAORA"))) {
        result.oracle_form = true;
        result.odbc = OracleOdbcString(pairs, installed, &result.oracle_driver);
        return result;
    }
    throw TError(QStringLiteral("Провайдер «%1» не поддерживается: строка подключения должна "
                                "указывать OraOLEDB.Oracle, MSDAORA или MSDASQL.")
                     .arg(provider->value));
}

QString SetConnectKey(const QString& text, TConnectKey key, const QString& value) {
    const QList<TPairSpan> pairs = ScanConnectString(text);
    const TPairSpan* provider = nullptr;
    const TPairSpan* extended = nullptr;
    for (const TPairSpan& pair : pairs) {
        if (provider == nullptr && SameKey(pair.key, QStringLiteral("Provider"))) {
            provider = &pair;
        }
        if (extended == nullptr && SameKey(pair.key, QStringLiteral("Extended Properties"))) {
            extended = &pair;
        }
    }
    if (provider == nullptr) {
        return text;
    }
    const QString name = UpperLatin(provider->value);
    if (name.startsWith(QStringLiteral("MSDASQL"))) {
        static const QStringList kOdbcNames[] = {
            {QStringLiteral("DATABASE")},
            {QStringLiteral("UID"), QStringLiteral("Username")},
            {QStringLiteral("PWD"), QStringLiteral("Password")}};
        static const QStringList kBridgeNames[] = {
            {QStringLiteral("DATABASE"), QStringLiteral("Initial Catalog")},
            {QStringLiteral("UID"), QStringLiteral("User ID")},
            {QStringLiteral("PWD"), QStringLiteral("Password")}};
        const int index = int(key);
        if (extended == nullptr) {
            return SetPairs(text, pairs, kBridgeNames[index], value);
        }
        // The ODBC string is itself a value of the outer string: set inside, quote outside.
        const QString odbc =
            SetPairs(extended->value, ScanOdbcString(extended->value), kOdbcNames[index], value);
        const QChar quote = extended->quote.isNull() ? QChar(u'"') : extended->quote;
        QString result = text;
        result.replace(extended->begin, extended->end - extended->begin,
                       ConnectQuoted(odbc, quote));
        return result;
    }
    if (name.startsWith(QStringLiteral("ORAOLEDB.ORACLE")) ||
        name.startsWith(QStringLiteral("MSDAORA"))) {
        if (key == TConnectKey::User) {
            return SetPairs(text, pairs, {QStringLiteral("User ID")}, value);
        }
        if (key == TConnectKey::Password) {
            return SetPairs(text, pairs, {QStringLiteral("Password")}, value);
        }
    }
    return text;
}

QString ConnectValue(const QString& text, const QString& key) {
    const QList<TConnectPair> pairs = ParseConnectString(text);
    const TConnectPair* pair = FindPair(pairs, key);
    return pair == nullptr ? QString() : pair->value;
}

QString TranslateConnectString(const QString& text, const TOdbcInstalled& installed) {
    return TranslateConnect(text, installed).odbc;
}

QString NewestOracleDriver(const QStringList& drivers) {
    QString newest;
    QList<int> newest_version;
    bool found = false;
    for (const QString& driver : drivers) {
        if (!driver.contains(QStringLiteral("oracle"), Qt::CaseInsensitive)) {
            continue;
        }
        const QList<int> version = DriverVersion(driver);
        if (!found || newest_version < version) {
            newest = driver;
            newest_version = version;
            found = true;
        }
    }
    return newest;
}

QString OracleDriverHint(const QString& driver, const QString& library) {
    const QString file = library.isEmpty() ? QStringLiteral("из строки Driver") : library;
    return QStringLiteral(
               "Не удалось загрузить ODBC-драйвер Oracle «%1» (библиотека %2). "
               "Проверьте: есть ли этот файл и указан ли он в строке Driver раздела "
               "[%1] файла odbcinst.ini; установлена ли библиотека libaio (пакет "
               "libaio1), без которой драйвер Oracle не загружается; видны ли "
               "библиотеки Instant Client загрузчику (каталог Instant Client в "
               "LD_LIBRARY_PATH или в настройках ldconfig).")
        .arg(driver, file);
}
