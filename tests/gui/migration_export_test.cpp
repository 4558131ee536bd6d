// The export window opened from the source table list, and the round trip of an exported
// table: written in the PostgreSQL format, attached on the target list at step 5 and brought
// back by the copy's bulk load.

#include <QAction>

#include "export/postgre_data_file_form.h"
#include "migration_copy_testbed.h"
#include "schema/structure_browser.h"

TEST_F(MigrationCopyTest, DataToFileOpensOneExportWindowPerTable) {
    ASSERT_NO_FATAL_FAILURE(GoToStep2());
    form_->ListTableFrom->clearSelection();
    form_->PopupTableFromPopup();
    EXPECT_FALSE(form_->NFileSave->isEnabled());
    EXPECT_EQ(form_->NFileSave->text(), "Данные в файл");

    ASSERT_NE(Select(form_->ListTableFrom, "ORDERS"), nullptr);
    form_->PopupTableFromPopup();
    EXPECT_TRUE(form_->NFileSave->isEnabled());
    form_->SpinPortionRead->setValue(5000);
    form_->NFileSave->trigger();
    auto* orders = form_->findChild<TFormPostgreDataFile*>("FormPostgreDataFile_ORDERS");
    ASSERT_NE(orders, nullptr);
    EXPECT_TRUE(orders->isWindow());
    EXPECT_TRUE(orders->isVisible());
    // Read as the copy reads it: by its key.
    EXPECT_EQ(orders->Export().Plan().mode, TReadMode::KeyPortions);
    EXPECT_EQ(orders->Export().Plan().key.columns, QStringList({"ORDER_ID"}));
    EXPECT_EQ(orders->Export().Table(), form_->tables[FindTable(form_->tables, "ORDERS")]);
    EXPECT_EQ(orders->Export().DbType(), kDbPostgres);
    EXPECT_EQ(orders->SpinPortionRead->value(), 5000);
    EXPECT_TRUE(orders->SpinPortionRead->isEnabled());
    EXPECT_EQ(Str(orders->error_title), Str(kApplicationTitle));
    EXPECT_EQ(Str(orders->EditTable->text()), "ORDERS");

    // A second window for the same table is refused by the general report.
    form_->NFileSaveClick();
    ASSERT_EQ(questions_.Count("error"), 1);
    EXPECT_EQ(Str(questions_.asked.last().caption), Str(kApplicationTitle));
    EXPECT_TRUE(questions_.asked.last().text.endsWith(u'.'));
    EXPECT_EQ(form_->findChildren<TFormPostgreDataFile*>().size(), 1);

    // A table without an enabled key, with the read portion switched off as for an old server.
    form_->SpinPortionRead->setValue(0);
    form_->SpinPortionRead->setEnabled(false);
    Select(form_->ListTableFrom, "DOCUMENTS");
    form_->NFileSaveClick();
    auto* documents = form_->findChild<TFormPostgreDataFile*>("FormPostgreDataFile_DOCUMENTS");
    ASSERT_NE(documents, nullptr);
    EXPECT_EQ(documents->Export().Plan().mode, TReadMode::WholeTable);
    EXPECT_FALSE(documents->SpinPortionRead->isEnabled());
    EXPECT_EQ(documents->SpinPortionRead->value(), 0);

    // A table name that cannot be part of a window name.
    TTableRec odd;
    odd.name = QStringLiteral("Old Orders");
    form_->tables.append(odd);
    form_->ListTableFrom->addTopLevelItem(new QTreeWidgetItem({odd.name}));
    Select(form_->ListTableFrom, odd.name);
    form_->NFileSaveClick();
    EXPECT_EQ(questions_.Count("error"), 2);
    EXPECT_EQ(form_->findChildren<TFormPostgreDataFile*>().size(), 2);
}

TEST_F(MigrationCopyTest, ExportedTableComesBackThroughTheBulkLoad) {
    ASSERT_NO_FATAL_FAILURE(GoToStep2());
    Select(form_->ListTableFrom, "CUSTOMERS");
    form_->NFileSaveClick();
    auto* exporter = form_->findChild<TFormPostgreDataFile*>("FormPostgreDataFile_CUSTOMERS");
    ASSERT_NE(exporter, nullptr);
    const QString data_file = QDir(dir_.path()).filePath("customers.txt");
    questions_.files = {data_file};
    exporter->ButtonCopyClick();
    for (int i = 0; i < 1000 && !exporter->Export().Finished() && !exporter->Failed(); ++i) {
        exporter->TimerCopyTimer();
    }
    ASSERT_TRUE(exporter->Export().Finished());
    ASSERT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.last().text);
    exporter->close();

    form_->BtnNextClick();
    form_->TimerCheckTimer();
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 1000, true));

    // The target list's commands act on the tables the copy reads.
    form_->ListTableTo->clearSelection();
    form_->PopupTableToPopup();
    EXPECT_FALSE(form_->NFileCopy->isEnabled());
    QTreeWidgetItem* lines = Select(form_->ListTableTo, "ORDER_LINES");
    form_->PopupTableToPopup();
    EXPECT_TRUE(form_->NQueryAddi->isEnabled());
    questions_.inputs = {QStringLiteral("WHERE ORDER_ID <> 1000")};
    form_->NQueryAddi->trigger();
    EXPECT_EQ(Str(lines->text(2)), "WHERE ORDER_ID <> 1000");
    QTreeWidgetItem* customers = Select(form_->ListTableTo, "CUSTOMERS");
    form_->PopupTableToPopup();
    EXPECT_TRUE(form_->NFileCopy->isEnabled());
    questions_.files = {data_file};
    form_->NFileCopy->trigger();
    EXPECT_EQ(Str(customers->text(3)), Str(data_file));
    EXPECT_EQ(Str(form_->tables[FindTable(form_->tables, "CUSTOMERS")].file_copy), Str(data_file));

    ASSERT_EQ(RunCopy(), 9);
    EXPECT_EQ(questions_.Count("error"), 0);
    const QString journal = form_->MemoCopy->toPlainText();
    EXPECT_TRUE(journal.startsWith("\nCUSTOMERS\nCopy from " + data_file + "\n")) << Str(journal);
    // The addition filters one row: the portion is short of its size, which ends the table.
    EXPECT_TRUE(journal.contains("ORDER_LINES\n7 [0]\n"));
    EXPECT_FALSE(journal.contains("ORDER_LINES\n7 [6]\n"));

    ExpectSameRows(TableNames(), {"ORDER_LINES"});
    EXPECT_EQ(target_->Rows("order_lines"),
              source_->Rows("(SELECT * FROM skerrow_src.order_lines WHERE order_id <> 1000)"));
    // The sequence follows the bulk-loaded keys too.
    ExpectNextKeys();
}

TEST_F(MigrationCopyTest, ExportsInterleaveWithTheCopyOnOneSourceConnection) {
    ASSERT_NO_FATAL_FAILURE(GoToStep2());
    // Two exports in small portions, so that each needs many ticks of its own.
    QList<TFormPostgreDataFile*> exporters;
    QStringList files;
    for (const QString& name : {QStringLiteral("ORDERS"), QStringLiteral("ORDER_LINES")}) {
        Select(form_->ListTableFrom, name);
        form_->NFileSaveClick();
        auto* exporter = form_->findChild<TFormPostgreDataFile*>("FormPostgreDataFile_" + name);
        ASSERT_NE(exporter, nullptr);
        exporter->SpinPortionWrite->setValue(1);
        exporter->SpinPortionRead->setValue(2);
        files << QDir(dir_.path()).filePath(name.toLower() + ".txt");
        questions_.files = {files.last()};
        exporter->ButtonCopyClick();
        exporters << exporter;
    }
    form_->BtnNextClick();
    form_->TimerCheckTimer();
    ASSERT_NO_FATAL_FAILURE(GoToStep5(3, 2, true));
    form_->BtnNextClick();
    ASSERT_EQ(form_->step, 6);

    // The wizard's copy and both exports take turns, a unit each, on the source connection.
    for (TFormPostgreDataFile* exporter : exporters) {
        exporter->TimerCopy->stop();  // the test gives the turns
        ASSERT_FALSE(exporter->Export().Finished());
    }
    auto running = [&] {
        return form_->step == 6 || !exporters[0]->Export().Finished() ||
               !exporters[1]->Export().Finished();
    };
    for (int i = 0; i < 5000 && running(); ++i) {
        form_->TimerCheckTimer();
        for (TFormPostgreDataFile* exporter : exporters) {
            if (!exporter->Export().Finished() && !exporter->Failed()) {
                exporter->TimerCopyTimer();
            }
        }
    }
    ASSERT_EQ(form_->step, 9);
    ASSERT_EQ(questions_.Count("error"), 0) << Str(questions_.asked.last().text);
    ExpectSameRows(TableNames());
    for (int i = 0; i < exporters.size(); ++i) {
        ASSERT_TRUE(exporters[i]->Export().Finished());
        QFile file(files[i]);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString table = i == 0 ? QStringLiteral("orders") : QStringLiteral("order_lines");
        EXPECT_EQ(file.readAll().count("\r\n"), source_->Rows("skerrow_src." + table).size())
            << Str(table);
    }
}
