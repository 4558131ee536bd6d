// Steps 2 and 4: the structure browser with its table-list commands, the script page, and the
// commands on the new database's table list of step 5.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTreeWidget>

#include "app/migration_form.h"
#include "app/table_list_commands.h"
#include "db/sql_text.h"
#include "ddl/script_gen.h"
#include "schema/catalog_reader.h"
#include "schema/structure_browser.h"
#include "util/error.h"
#include "util/number_text.h"
#include "util/questions.h"
#include "util/text_file.h"

namespace {

void FillList(QTreeWidget* list, const QList<QStringList>& rows) {
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const QStringList& row : rows) {
        items.append(new QTreeWidgetItem(row));
    }
    list->addTopLevelItems(items);
}

const QStringList& ScriptFilters() {
    static const QStringList filters = {QStringLiteral("Сценарий sql (*.sql)"),
                                        QStringLiteral("Все файлы (*.*)")};
    return filters;
}

// The one selected row of a single-selection list, or null.
QTreeWidgetItem* SelectedRow(const QTreeWidget* list) {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.size() == 1 ? selected.first() : nullptr;
}

}  // namespace

void TFormMigration::ReadStructFrom() {
    MemoTypes->clear();
    tables.clear();
    sequences.clear();
    read_notes.clear();
    TStructRead result;
    try {
        ::ReadStructFrom(QueryFrom, db_from, MemoText(MemoConnectFrom), result);
    } catch (...) {
        // What was read before the failure stays visible; the lists are not refreshed.
        tables = result.tables;
        MemoTypes->setPlainText(result.types.join(u'\n'));
        throw;
    }
    tables = result.tables;
    sequences = result.sequences;
    read_notes = result.notes;
    if (!ADOConnectionFrom.OracleDriver().isEmpty()) {
        // Several drivers may be installed: the operator sees which one reads the source.
        read_notes.prepend(QStringLiteral("Драйвер Oracle: ") + ADOConnectionFrom.OracleDriver());
    }
    MemoTypes->setPlainText(result.types.join(u'\n'));
    if (result.version_read) {
        oracle_vers = result.oracle_vers;
        EditVersionFrom->setText(oracle_vers);
    }
    if (result.disable_portion_read) {
        // Servers before 12 have no OFFSET ... FETCH NEXT: the copy reads whole tables.
        SpinPortionRead->setEnabled(false);
        SpinPortionRead->setValue(0);
    }
    RefreshStructFrom();
    Guarded([this] { RunPreflightCheck(); });
    PanelInfo->setText(QString());
    is_done = true;
}

void TFormMigration::RefreshStructFrom() {
    ListTableFrom->clear();
    FillList(ListTableFrom, TableListRows(tables));
    EditSumTable->setText(GroupDigits(ListTableFrom->topLevelItemCount()));
    EditSumRow->setText(GroupDigits(SumRows(tables)));
    ListKeys->clear();
    FillList(ListKeys, KeyRows(tables));
    ListSequences->clear();
    FillList(ListSequences, SequenceRows(sequences));
    LabelReadNotes->setText(read_notes.join(u'\n'));
    LabelReadNotes->setVisible(!read_notes.isEmpty());
    ClearTableDetails();
}

void TFormMigration::ClearTableDetails() {
    ListField->clear();
    ListUk->clear();
    ListFk->clear();
    ListIndexes->clear();
    ListChecks->clear();
    field_table_.clear();
}

void TFormMigration::AddType(const QString& str) {
    QStringList types = MemoTypes->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    if (types.contains(str)) {
        return;
    }
    MemoTypes->appendPlainText(str);
}

void TFormMigration::ListTableFromSelectItem(QTreeWidgetItem* item) {
    ShowTableDetails(item == nullptr ? QString() : item->text(0));
}

void TFormMigration::ShowTableDetails(const QString& name) {
    ClearTableDetails();
    const int index = FindTable(tables, name);
    if (index < 0) {
        return;
    }
    const TTableRec& table = tables[index];
    field_table_ = table.name;
    FillList(ListField, FieldRows(table));
    FillList(ListUk, UniqueKeyRows(table));
    FillList(ListFk, ForeignKeyRows(table));
    FillList(ListIndexes, IndexRows(table));
    FillList(ListChecks, CheckRows(table));
}

void TFormMigration::PopupTableFromPopup() {
    const bool one = MenuItemEnabled(ListTableFrom->selectedItems().size());
    NDelTable->setEnabled(one);
    NFileSave->setEnabled(one);
}

void TFormMigration::PopupFieldPopup() {
    NRenameField->setEnabled(MenuItemEnabled(ListField->selectedItems().size()));
}

void TFormMigration::PopupTableToPopup() {
    const bool one = MenuItemEnabled(ListTableTo->selectedItems().size());
    NQueryAddi->setEnabled(one);
    NFileCopy->setEnabled(one);
}

void TFormMigration::NDelTableClick() {
    QTreeWidgetItem* row = SelectedRow(ListTableFrom);
    if (row == nullptr || !DeleteTable(tables, row->text(0))) {
        return;
    }
    delete row;
}

void TFormMigration::NRenameFieldClick() {
    QTreeWidgetItem* row = SelectedRow(ListField);
    if (row == nullptr) {
        return;
    }
    // The column list belongs to the table whose details are shown, which is the table of the
    // row selected (or last deselected) in the table list.
    const int table_index = FindTable(tables, field_table_);
    const int field_index = ListField->indexOfTopLevelItem(row);
    if (table_index < 0 || field_index < 0 || field_index >= tables[table_index].fields.size()) {
        return;
    }
    Guarded([&] {
        QString value = tables[table_index].fields[field_index].change_name;
        if (questions_->InputText(QStringLiteral("Переименовать поле"),
                                  QStringLiteral("Новое название:"), value)) {
            tables[table_index].fields[field_index].change_name = value;
        }
        row->setText(6, value);
    });
}

void TFormMigration::NQueryAddiClick() {
    QTreeWidgetItem* row = SelectedRow(ListTableTo);
    const int index = row == nullptr ? -1 : ListTableTo->indexOfTopLevelItem(row);
    // The table model is the copy's while a unit runs.
    if (index < 0 || index >= tables.size() || copy_worker.Busy()) {
        return;
    }
    Guarded([&] {
        QString value = tables[index].query_addi;
        if (questions_->InputText(QStringLiteral("Довесок к запросу при выборке"),
                                  QStringLiteral("Добавочный текст:"), value)) {
            tables[index].query_addi = value;
        }
        row->setText(2, value);
    });
}

void TFormMigration::NFileCopyClick() {
    QTreeWidgetItem* row = SelectedRow(ListTableTo);
    const int index = row == nullptr ? -1 : ListTableTo->indexOfTopLevelItem(row);
    // The table model is the copy's while a unit runs.
    if (index < 0 || index >= tables.size() || copy_worker.Busy()) {
        return;
    }
    Guarded([&] {
        const QString chosen = questions_->OpenFile(QString(), ScriptFilters(), 1);
        if (chosen.isEmpty()) {
            return;
        }
        tables[index].file_copy = DataFileFor(chosen);
        row->setText(3, tables[index].file_copy);
    });
}

void TFormMigration::MakeScriptNew() {
    TScriptOptions options;
    options.db_from = db_from;
    options.db_to = db_to;
    options.int_type_index = ComboIntType->currentIndex();
    options.user = EditUser->text();
    options.sequences = sequences;
    // The target server's own key words, so that a name reserved only in its version is
    // quoted too; the kept list when the server does not answer.
    if (db_to == kDbPostgres && ADOConnectionTo.Connected()) {
        try {
            options.pg_reserved_words = ReadPgReservedWords(QueryTo);
        } catch (const TError&) {
            options.pg_reserved_words.clear();
        }
    }
    const QStringList lines = ::MakeScriptNew(tables, options);
    MemoScript->setPlainText(lines.join(u'\n'));
    PanelInfo->setText(QString());
    is_done = true;
}

QStringList TFormMigration::ScriptLines() const {
    const QString text = MemoScript->toPlainText();
    if (text.isEmpty()) {
        return {};
    }
    return text.split(u'\n');
}

void TFormMigration::BtnAddScriptClick() {
    Guarded([this] {
        const QString path = questions_->OpenFile(QString(), ScriptFilters(), 0);
        if (path.isEmpty()) {
            return;
        }
        const QStringList lines = ReadTextLines(path, code_page);
        if (lines.isEmpty()) {
            return;
        }
        if (MemoScript->toPlainText().isEmpty()) {
            MemoScript->setPlainText(lines.join(u'\n'));
        } else {
            MemoScript->appendPlainText(lines.join(u'\n'));
        }
    });
}
