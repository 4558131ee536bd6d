#include "db/sql_text.h"

#include "db/odbc.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

QSet<QString> WordSet(const char* const* words, bool lower) {
    QSet<QString> set;
    for (const char* const* word = words; *word != nullptr; ++word) {
        const QString text = QString::fromLatin1(*word);
        set.insert(lower ? LowerLatin(text) : UpperLatin(text));
    }
    return set;
}

// PostgreSQL 15, key-word appendix: "reserved" and "reserved (can be function or type)".
const char* const kPgReserved[] = {"all",
                                   "analyse",
                                   "analyze",
                                   "and",
                                   "any",
                                   "array",
                                   "as",
                                   "asc",
                                   "asymmetric",
                                   "authorization",
                                   "binary",
                                   "both",
                                   "case",
                                   "cast",
                                   "check",
                                   "collate",
                                   "collation",
                                   "column",
                                   "concurrently",
                                   "constraint",
                                   "create",
                                   "cross",
                                   "current_catalog",
                                   "current_date",
                                   "current_role",
                                   "current_schema",
                                   "current_time",
                                   "current_timestamp",
                                   "current_user",
                                   "default",
                                   "deferrable",
                                   "desc",
                                   "distinct",
                                   "do",
                                   "else",
                                   "end",
                                   "except",
                                   "false",
                                   "fetch",
                                   "for",
                                   "foreign",
                                   "freeze",
                                   "from",
                                   "full",
                                   "grant",
                                   "group",
                                   "having",
                                   "ilike",
                                   "in",
                                   "initially",
                                   "inner",
                                   "intersect",
                                   "into",
                                   "is",
                                   "isnull",
                                   "join",
                                   "lateral",
                                   "leading",
                                   "left",
                                   "like",
                                   "limit",
                                   "localtime",
                                   "localtimestamp",
                                   "natural",
                                   "not",
                                   "notnull",
                                   "null",
                                   "offset",
                                   "on",
                                   "only",
                                   "or",
                                   "order",
                                   "outer",
                                   "overlaps",
                                   "placing",
                                   "primary",
                                   "references",
                                   "returning",
                                   "right",
                                   "select",
                                   "session_user",
                                   "similar",
                                   "some",
                                   "symmetric",
                                   "table",
                                   "tablesample",
                                   "then",
                                   "to",
                                   "trailing",
                                   "true",
                                   "union",
                                   "unique",
                                   "user",
                                   "using",
                                   "variadic",
                                   "verbose",
                                   "when",
                                   "where",
                                   "window",
                                   "with",
                                   nullptr};

// Oracle SQL reserved words (V$RESERVED_WORDS with RESERVED = 'Y').
const char* const kOraReserved[] = {
    "ACCESS",    "ADD",     "ALL",        "ALTER",      "AND",        "ANY",       "AS",
    "ASC",       "AUDIT",   "BETWEEN",    "BY",         "CHAR",       "CHECK",     "CLUSTER",
    "COLUMN",    "COMMENT", "COMPRESS",   "CONNECT",    "CREATE",     "CURRENT",   "DATE",
    "DECIMAL",   "DEFAULT", "DELETE",     "DESC",       "DISTINCT",   "DROP",      "ELSE",
    "EXCLUSIVE", "EXISTS",  "FILE",       "FLOAT",      "FOR",        "FROM",      "GRANT",
    "GROUP",     "HAVING",  "IDENTIFIED", "IMMEDIATE",  "IN",         "INCREMENT", "INDEX",
    "INITIAL",   "INSERT",  "INTEGER",    "INTERSECT",  "INTO",       "IS",        "LEVEL",
    "LIKE",      "LOCK",    "LONG",       "MAXEXTENTS", "MINUS",      "MLSLABEL",  "MODE",
    "MODIFY",    "NOAUDIT", "NOCOMPRESS", "NOT",        "NOWAIT",     "NULL",      "NUMBER",
    "OF",        "OFFLINE", "ON",         "ONLINE",     "OPTION",     "OR",        "ORDER",
    "PCTFREE",   "PRIOR",   "PUBLIC",     "RAW",        "RENAME",     "RESOURCE",  "REVOKE",
    "ROW",       "ROWID",   "ROWNUM",     "ROWS",       "SELECT",     "SESSION",   "SET",
    "SHARE",     "SIZE",    "SMALLINT",   "START",      "SUCCESSFUL", "SYNONYM",   "SYSDATE",
    "TABLE",     "THEN",    "TO",         "TRIGGER",    "UID",        "UNION",     "UNIQUE",
    "UPDATE",    "USER",    "VALIDATE",   "VALUES",     "VARCHAR",    "VARCHAR2",  "VIEW",
    "WHENEVER",  "WHERE",   "WITH",       nullptr};

bool IsUpper(QChar c) {
    return c >= u'A' && c <= u'Z';
}
bool IsLower(QChar c) {
    return c >= u'a' && c <= u'z';
}
bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Letters of one case, digits and the extra characters, starting with a letter.
bool IsPlain(const QString& name, bool upper, QStringView extra) {
    if (name.isEmpty() || !(upper ? IsUpper(name[0]) : IsLower(name[0]))) {
        return false;
    }
    for (const QChar c : name) {
        const bool letter = upper ? IsUpper(c) : IsLower(c);
        if (!letter && !IsDigit(c) && c != u'_' && !extra.contains(c)) {
            return false;
        }
    }
    return true;
}

void RefuseNul(const QString& text, const QString& what) {
    if (text.contains(QChar(0))) {
        throw TError(QStringLiteral("%1 содержит символ с кодом 0, который нельзя передать "
                                    "серверу базы данных")
                         .arg(what));
    }
}

QString DoubleQuoted(const QString& name) {
    return u'"' + DoubleChar(name, u'"') + u'"';
}

}  // namespace

const QSet<QString>& PgReservedWords() {
    static const QSet<QString> words = WordSet(kPgReserved, true);
    return words;
}

const QSet<QString>& OraReservedWords() {
    static const QSet<QString> words = WordSet(kOraReserved, false);
    return words;
}

TSqlNames::TSqlNames(int db_kind) : db_kind_(db_kind), pg_reserved_(PgReservedWords()) {}

void TSqlNames::SetPgReservedWords(const QSet<QString>& words) {
    pg_reserved_ = words;
}

bool TSqlNames::NeedsQuotes(const QString& name) const {
    if (db_kind_ == kDbOracle) {
        return !IsPlain(name, true, u"$#") || OraReservedWords().contains(name);
    }
    // A bare upper-case name folds to lower case on the server; a bare lower-case name stays as
    // it is. Both are the same name as the quoted original only when no key word is in the way.
    const bool plain = IsPlain(name, true, u"") || IsPlain(name, false, u"");
    return !plain || pg_reserved_.contains(LowerLatin(name));
}

QString TSqlNames::Name(const QString& name) const {
    RefuseNul(name, QStringLiteral("Имя «%1»").arg(QString(name).replace(QChar(0), u'?')));
    return NeedsQuotes(name) ? DoubleQuoted(name) : name;
}

QString TSqlNames::Qualified(const QString& schema, const QString& name) const {
    return Name(schema) + u'.' + Name(name);
}

QString TSqlNames::List(const QStringList& names) const {
    QStringList written;
    written.reserve(names.size());
    for (const QString& name : names) {
        written << Name(name);
    }
    return written.join(u',');
}

QString TSqlNames::Stored(const QString& name) const {
    if (NeedsQuotes(name)) {
        return name;
    }
    return db_kind_ == kDbOracle ? UpperLatin(name) : LowerLatin(name);
}

QString OraSourceName(const QString& name) {
    RefuseNul(name, QStringLiteral("Имя «%1»").arg(QString(name).replace(QChar(0), u'?')));
    const bool bare = IsPlain(name, true, u"") && !OraReservedWords().contains(name) &&
                      !PgReservedWords().contains(LowerLatin(name));
    return bare ? name : DoubleQuoted(name);
}

QSet<QString> ReadPgReservedWords(TDbQuery& query) {
    query.SetText(QStringLiteral("SELECT word FROM pg_get_keywords() WHERE catcode IN ('R', 'T')"));
    query.Open();
    QSet<QString> words;
    for (; !query.Eof(); query.Next()) {
        words.insert(LowerLatin(query.Field(0).AsString()));
    }
    query.Close();
    return words;
}

QStringList SplitKeyList(const QString& list) {
    if (list.size() < 3 || !list.startsWith(u'(') || !list.endsWith(u')')) {
        return {};
    }
    return list.mid(1, list.size() - 2).split(u',');
}

QString PgLiteral(const QString& text) {
    RefuseNul(text, QStringLiteral("Значение"));
    const QString doubled = DoubleChar(text, u'\'');
    if (!text.contains(u'\\')) {
        return u'\'' + doubled + u'\'';
    }
    return QStringLiteral("E'") + DoubleChar(doubled, u'\\') + u'\'';
}

QString OraLiteral(const QString& text) {
    RefuseNul(text, QStringLiteral("Значение"));
    return u'\'' + DoubleChar(text, u'\'') + u'\'';
}

QString SqlLiteral(int db_kind, const QString& text) {
    return db_kind == kDbOracle ? OraLiteral(text) : PgLiteral(text);
}

QString OraPassword(const QString& password) {
    RefuseNul(password, QStringLiteral("Пароль"));
    if (password.contains(u'"')) {
        throw TError(QStringLiteral(
            "Пароль пользователя Oracle не может содержать двойную кавычку (\"): Oracle "
            "принимает пароль только в двойных кавычках"));
    }
    return u'"' + password + u'"';
}

QString OdbcValue(const QString& value) {
    const bool quote_first = value.startsWith(u'"') || value.startsWith(u'\'');
    const bool plain = !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') &&
                       !value.contains(u'=') && value.trimmed() == value && !quote_first;
    if (plain) {
        return value;
    }
    QString braced = value;
    braced.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + braced + u'}';
}

QString ConnectQuoted(const QString& value, QChar open) {
    const QChar close = open == u'{' ? QChar(u'}') : open;
    return open + DoubleChar(value, close) + close;
}

bool IsPlainIdentifier(const QString& name) {
    if (name.isEmpty() || !(IsUpper(name[0]) || IsLower(name[0]))) {
        return false;
    }
    for (const QChar c : name) {
        if (!IsUpper(c) && !IsLower(c) && !IsDigit(c) && c != u'_' && c != u'$' && c != u'#') {
            return false;
        }
    }
    return true;
}
