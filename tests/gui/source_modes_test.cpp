// The whole migration of the sample from a source that answers as Oracle's driver does under a
// Russian client: numbers with a decimal comma, dates in the client's short form, long
// dictionary texts. Every value must arrive exactly as from the usual source.

#include "migration_copy_testbed.h"

namespace {

TEST_F(MigrationCopyTest, RussianClientSourceMigratesEveryValueExactly) {
    form_->MemoConnectFrom->setPlainText(OraEmulConnectString(kOraEmulSrc, kOraEmulRuDsn));
    form_->MemoConnectTo->setPlainText(TargetString());
    // One read portion per table: the mode's views hand numbers over as text, which the
    // emulation cannot compare with a key value (Oracle compares them as numbers).
    ASSERT_NO_FATAL_FAILURE(GoToStep5(100000, 5));
    ASSERT_EQ(RunCopyOnTimer(), 9) << Str(form_->MemoCopy->toPlainText()) << "\n"
                                   << Str(form_->MemoError->toPlainText());
    EXPECT_EQ(questions_.Count("error"), 0);
    EXPECT_EQ(questions_.asked.last().text, "Миграция завершена успешно.");
    ExpectTargetStructure();
    ExpectSameRows(TableNames());
    ExpectNextKeys();
}

}  // namespace
