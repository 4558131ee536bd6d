#pragma once
// A source row held in memory, for the tests of code written against the field interface of
// the access layer (value rendering, export lines). The real binding is tested on the server.

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <vector>

#include "db/db_field.h"
#include "util/error.h"

class TMemoryField : public TDbField {
public:
    TMemoryField(QString name, TFieldCategory category, bool is_null, QString text,
                 QByteArray bytes = {}, QDateTime date_time = {})
        : name_(std::move(name)),
          category_(category),
          is_null_(is_null),
          text_(std::move(text)),
          bytes_(std::move(bytes)),
          date_time_(std::move(date_time)) {}

    QString Name() const override { return name_; }
    TFieldCategory Category() const override { return category_; }
    bool IsNull() const override { return is_null_; }
    QString AsString() const override { return is_null_ ? QString() : text_; }
    qint64 AsInteger() const override { return text_.toLongLong(); }
    QDateTime AsDateTime() const override { return date_time_; }
    QByteArray AsBytes() const override { return bytes_.isNull() ? text_.toUtf8() : bytes_; }
    void SaveToFile(const QString& path) const override {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            throw TFileError(QStringLiteral("cannot write ") + path);
        }
        file.write(AsBytes());
    }

private:
    QString name_;
    TFieldCategory category_;
    bool is_null_;
    QString text_;
    QByteArray bytes_;
    QDateTime date_time_;
};

// A row set positioned on its only row.
class TMemoryRow : public TDbRowSet {
public:
    TMemoryRow& Text(const QString& name, const QString& text) {
        fields_.emplace_back(name, TFieldCategory::Other, false, text);
        return *this;
    }
    TMemoryRow& Null(const QString& name, TFieldCategory category = TFieldCategory::Other) {
        fields_.emplace_back(name, category, true, QString());
        return *this;
    }
    TMemoryRow& Add(TMemoryField field) {
        fields_.push_back(std::move(field));
        return *this;
    }

    bool Eof() const override { return false; }
    void Next() override {}
    int FieldCount() const override { return int(fields_.size()); }
    const TDbField& Field(int index) const override { return fields_.at(index); }
    const TDbField& FieldByName(const QString& name) const override {
        for (const TMemoryField& field : fields_) {
            if (field.Name().compare(name, Qt::CaseInsensitive) == 0) {
                return field;
            }
        }
        throw TError(QStringLiteral("no column ") + name);
    }

private:
    std::vector<TMemoryField> fields_;
};
