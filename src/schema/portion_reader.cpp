#include "schema/portion_reader.h"

#include "db/odbc.h"
#include "db/sql_text.h"
#include "util/error.h"
#include "util/text_utils.h"

TPortionReader::TPortionReader(TDbQuery& query_from, TDbTable& table_from)
    : query_from_(query_from), table_from_(table_from) {}

void TPortionReader::Open(const TTableRec& table, const TReadPlan& plan, const QStringList& after,
                          qint64 portion_read) {
    Close();
    plan_ = plan;
    portion_read_ = portion_read;
    last_key_ = after;
    if (plan.mode == TReadMode::WholeTable) {
        table_from_.SetTableName(OraSourceName(table.name));
        table_from_.SetColumns(SelectList(plan));
        table_from_.Open();
        whole_table_ = true;
        rows_ = &table_from_;
        return;
    }
    const TReadQuery query = ReadQuery(table, plan, after, portion_read);
    query_from_.Close();
    query_from_.Clear();
    query_from_.ClearParams();
    // Additions are the operator's SQL; a colon in them is not a parameter of ours, unless the
    // key condition needs its own.
    query_from_.SetParamCheck(false);
    BindKeyParams(query_from_, query.params);
    for (const QString& line : query.lines) {
        query_from_.Add(line);
    }
    query_from_.Open();
    whole_table_ = false;
    rows_ = &query_from_;
}

void TPortionReader::Close() {
    if (rows_ == &table_from_) {
        table_from_.Close();
    } else if (rows_ == &query_from_) {
        query_from_.Close();
    }
    rows_ = nullptr;
    taken_ = 0;
    key_index_.clear();
}

bool TPortionReader::IsOpen() const {
    if (rows_ == nullptr) {
        return false;
    }
    return whole_table_ ? table_from_.Active() : query_from_.Active();
}

bool TPortionReader::TableEnds() const {
    return plan_.mode != TReadMode::KeyPortions || portion_read_ <= 0 || taken_ < portion_read_;
}

// The key columns are found by name once a row is there: the row set decides the case of its
// column names.
void TPortionReader::FindKeyColumns() {
    for (const QString& column : plan_.key.columns) {
        const QString wanted = UpperLatin(column);
        int found = -1;
        for (int i = 0; i < rows_->FieldCount() && found < 0; ++i) {
            if (UpperLatin(rows_->Field(i).Name()) == wanted) {
                found = i;
            }
        }
        if (found < 0) {
            throw TError(QStringLiteral("Столбец ключа «%1» не найден среди прочитанных столбцов")
                             .arg(column));
        }
        key_index_.push_back(found);
    }
    last_key_.resize(plan_.key.columns.size());
}

bool TPortionReader::Eof() const {
    return rows_ == nullptr || rows_->Eof();
}

void TPortionReader::Next() {
    if (plan_.mode == TReadMode::KeyPortions && !rows_->Eof()) {
        if (key_index_.empty()) {
            FindKeyColumns();
        }
        for (size_t i = 0; i < key_index_.size(); ++i) {
            const TDbField& field = rows_->Field(key_index_[i]);
            QString value = field.AsString();
            // The next portion starts after this value: one that lost its fraction of a second
            // would start before rows already taken.
            if (plan_.key.types[qsizetype(i)] == TKeyType::DateTime &&
                field.Category() == TFieldCategory::DateTime && !value.contains(u'.') &&
                field.AsDateTime().time().msec() != 0) {
                throw TConvertError(QStringLiteral("Значение ключа «%1» столбца %2 прочитано без "
                                                   "долей секунды; читать таблицу по ключу нельзя")
                                        .arg(value, plan_.key.columns[qsizetype(i)]));
            }
            last_key_[qsizetype(i)] = std::move(value);
        }
    }
    rows_->Next();
    ++taken_;
}

int TPortionReader::FieldCount() const {
    return rows_->FieldCount();
}

const TDbField& TPortionReader::Field(int index) const {
    return rows_->Field(index);
}

const TDbField& TPortionReader::FieldByName(const QString& name) const {
    return rows_->FieldByName(name);
}
