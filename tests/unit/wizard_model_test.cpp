// The parts of the wizard that need no window: settings values, the structure browser's rows
// and the table-list edits.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include "app/settings.h"
#include "app/table_list_commands.h"
#include "schema/structure_browser.h"

namespace {

TTableRec Table(const char* name, qint64 rows) {
    TTableRec t;
    t.name = QLatin1String(name);
    t.rows = rows;
    return t;
}

TEST(WizardSettings, MissingWrongTypedAndOutOfRangeValues) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings settings(dir.filePath("skerrow.ini"), QSettings::IniFormat);

    TSettingsValues values;
    LoadSettings(settings, values);
    EXPECT_EQ(values, TSettingsValues());

    settings.setValue("ConnectFrom", "Provider=MSDAORA.1;Password=;User ID=a,b;Data Source=x");
    settings.setValue("User", QStringList{"A", "B"});
    settings.setValue("IntType", "1");
    settings.setValue("PortionWrite", 0);
    settings.setValue("PortionRead", "99999999999");  // beyond 32 bits: not a stored integer
    settings.sync();
    values.user = "kept";
    LoadSettings(settings, values);
    EXPECT_EQ(values.connect_from, "Provider=MSDAORA.1;Password=;User ID=a,b;Data Source=x");
    EXPECT_EQ(values.user, "kept");
    EXPECT_EQ(values.int_type, 1);
    EXPECT_EQ(values.portion_write, 1);
    EXPECT_EQ(values.portion_read, 100000);

    settings.setValue("PortionRead", 20000000);
    settings.setValue("PortionWrite", 20000);
    settings.setValue("IntType", 7);
    LoadSettings(settings, values);
    EXPECT_EQ(values.portion_read, 10000000);
    EXPECT_EQ(values.portion_write, 10000);
    EXPECT_EQ(values.int_type, 1);  // no such item: left as it was
}

TEST(WizardSettings, SaveThenLoadGivesTheSameValuesAndAPrivateFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("skerrow.ini");
    TSettingsValues saved;
    saved.connect_from = "Provider=OraOLEDB.Oracle.1;\r\nUser ID=src;Password=p, q";
    saved.connect_to = "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;UID=postgres\"";
    saved.user = "newdb";
    saved.password = "";
    saved.int_type = -1;
    saved.portion_write = 10;
    saved.portion_read = 0;
    {
        QSettings settings(path, QSettings::IniFormat);
        ASSERT_TRUE(SaveSettings(settings, saved));
    }
#ifndef Q_OS_WIN
    EXPECT_EQ(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
#endif
    QSettings settings(path, QSettings::IniFormat);
    TSettingsValues loaded;
    loaded.password = "default";
    LoadSettings(settings, loaded);
    EXPECT_EQ(loaded, saved);
}

TEST(StructureBrowser, RowsTotalsAndKeys) {
    TTables tables{Table("B", 3000000000LL), Table("A", 5)};
    tables[0].primary_key = {"PK_B", "(ID)"};
    tables[0].f_key = {{"FK_B_A", "(A_ID)", "A(ID)"}, {"", "(X)", "Y"}};
    tables[0].comment = "Комментарий";
    tables[1].unique_key = {{"uk_a", "(CODE)"}};
    TFieldRec f;
    f.name = "ID";
    f.data_type = "NUMBER";
    f.size = 10;
    f.is_null = true;
    f.default_ = "0";
    f.autoinc = true;
    f.change_name = "NEW_ID";
    tables[0].fields = {f};

    EXPECT_EQ(TableListRows(tables),
              QList<QStringList>({{"B", "3000000000", "(ID)", "Комментарий"}, {"A", "5", "", ""}}));
    // Large schemas do not wrap the total.
    EXPECT_EQ(SumRows(tables), 3000000005LL);
    EXPECT_EQ(SumRows({}), 0);
    // Unnamed foreign keys are left out; the rows are sorted by name without regard to case.
    EXPECT_EQ(KeyRows(tables),
              QList<QStringList>(
                  {{"FK_B_A", "FK", "B", ""}, {"PK_B", "PK", "B", ""}, {"uk_a", "UK", "A", ""}}));
    EXPECT_EQ(FieldRows(tables[0]),
              QList<QStringList>({{"ID", "NUMBER", "10", "NULL", "0", "Да", "NEW_ID", "", ""}}));
    EXPECT_EQ(UniqueKeyRows(tables[1]), QList<QStringList>({{"uk_a", "(CODE)", ""}}));
    EXPECT_EQ(ForeignKeyRows(tables[0]).size(), 2);
    EXPECT_EQ(FindTable(tables, "A"), 1);
    EXPECT_EQ(FindTable(tables, "a"), -1);
}

TEST(StructureBrowser, StatesProfilesAndObjects) {
    TTableRec t = Table("EMP", 3);
    TFieldRec id;
    id.name = "ID";
    id.data_type = "NUMBER";
    id.identity = true;
    id.profile = {true, false, "3"};
    TFieldRec rate = id;
    rate.name = "RATE";
    rate.identity = false;
    rate.profile = {true, true, "3.75"};
    TFieldRec empty = rate;
    empty.name = "EMPTY";
    empty.profile = {true, false, ""};
    TFieldRec amount;
    amount.name = "AMOUNT";
    amount.is_virtual = true;
    amount.virtual_expr = "\"QTY\"*\"PRICE\"";
    amount.comment = "Сумма";
    t.fields = {id, rate, empty, amount};
    t.primary_key = {"PK_EMP", "(ID)", false};
    t.unique_key = {{"UK_OFF", "(RATE)", false, false}};
    t.f_key = {{"FK_NOV", "(ID)", "DEPT(ID)", true, false}};
    t.checks = {{"CK_ON", "RATE > 0"}, {"CK_OFF", "RATE < 9", false, true}};
    t.indexes = {{"IX_UP", false, "(SYS_NC00005$,ID)", {"UPPER(\"NAME\")", ""}},
                 {"UX_RATE", true, "(RATE)", {}}};

    const QList<QStringList> fields = FieldRows(t);
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[0][5], "identity");
    EXPECT_EQ(fields[0][7], "целые, до 3");
    EXPECT_EQ(fields[1][7], "дробные, до 3.75");
    EXPECT_EQ(fields[2][7], "нет значений");
    EXPECT_EQ(fields[3][4], "вычисляется: \"QTY\"*\"PRICE\"");
    EXPECT_EQ(fields[3][7], "");
    EXPECT_EQ(fields[3][8], "Сумма");

    // Constraints Oracle does not enforce say so.
    EXPECT_EQ(KeyRows({t}), QList<QStringList>({{"FK_NOV", "FK", "EMP", "не проверено"},
                                                {"PK_EMP", "PK", "EMP", "не проверено"},
                                                {"UK_OFF", "UK", "EMP", "отключено"}}));
    EXPECT_EQ(CheckRows(t),
              QList<QStringList>({{"CK_ON", "RATE > 0", ""}, {"CK_OFF", "RATE < 9", "отключено"}}));
    EXPECT_EQ(ForeignKeyRows(t)[0][3], "не проверено");
    // A function-based index shows its expression in place of the hidden column.
    EXPECT_EQ(IndexRows(t), QList<QStringList>({{"IX_UP", "", "(UPPER(\"NAME\"),ID)"},
                                                {"UX_RATE", "Да", "(RATE)"}}));

    TSequenceRec seq{"SEQ_A", "1", "9999", "-5", "20", "0", true};
    EXPECT_EQ(SequenceRows({seq}),
              QList<QStringList>({{"SEQ_A", "20", "-5", "1", "9999", "Да", "0"}}));
}

TEST(TableListCommands, DeleteKeepsTheOrderAndDataFileMustExist) {
    TTables tables{Table("A", 1), Table("B", 2), Table("C", 3), Table("B", 4)};
    EXPECT_TRUE(DeleteTable(tables, "B"));
    ASSERT_EQ(tables.size(), 3);
    EXPECT_EQ(tables[0].name, "A");
    EXPECT_EQ(tables[1].name, "C");
    EXPECT_EQ(tables[2].rows, 4);
    EXPECT_FALSE(DeleteTable(tables, "c"));
    EXPECT_EQ(tables.size(), 3);

    EXPECT_FALSE(MenuItemEnabled(0));
    EXPECT_TRUE(MenuItemEnabled(1));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("t.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(DataFileFor(dir.filePath("t.dat")),
              QFileInfo(dir.filePath("t.dat")).absoluteFilePath());
    EXPECT_TRUE(DataFileFor(dir.filePath("none.dat")).isEmpty());
    EXPECT_TRUE(DataFileFor(dir.path()).isEmpty());  // a folder is no data file
    EXPECT_TRUE(DataFileFor("").isEmpty());
}

}  // namespace
