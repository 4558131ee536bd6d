// The copy page as the operator reads it during a real copy: the table gauge counts finished
// tables, the strip names the step and the table, a pause is marked and not counted as copy
// time.

#include "migration_copy_testbed.h"

TEST_F(MigrationCopyTest, TheCopyPageCountsFinishedTablesAndStopsTheClockWhilePaused) {
    ASSERT_NO_FATAL_FAILURE(GoToStep5(3, 2));
    form_->BtnNextClick();
    ASSERT_EQ(form_->step, 6);
    const int lines_index = TableNames().indexOf("ORDER_LINES");
    ASSERT_GT(lines_index, 0);

    // Half-way through ORDER_LINES the tables before it are done, it is not.
    ASSERT_TRUE(TickUntil([&] {
        return form_->copy_engine.IndTable() == lines_index && form_->copy_engine.CopyOff() == 2;
    }));
    EXPECT_EQ(form_->GaugeTable->value(), lines_index);
    EXPECT_EQ(form_->GaugeTable->maximum(), form_->tables.size());
    EXPECT_EQ(form_->StepStripText(), "Шаг 6 из 6: ORDER_LINES");

    form_->BtnPauseClick();
    form_->TimerCheckTimer();
    EXPECT_EQ(form_->StepStripText(), "Шаг 6 из 6: Пауза");
    EXPECT_FALSE(form_->LabelPause->isHidden());
    ASSERT_TRUE(form_->copy_paused_at.isValid());
    // Two hours pass in the pause: none of them is copy time.
    form_->copy_paused_at = form_->copy_paused_at.addSecs(-2 * 3600);
    form_->BtnContinueClick();
    form_->TimerCheckTimer();
    EXPECT_TRUE(form_->LabelPause->isHidden());
    EXPECT_TRUE(form_->LabelTime->text().isEmpty() || form_->LabelTime->text().startsWith("00:"))
        << Str(form_->LabelTime->text());
    EXPECT_EQ(form_->GaugeTable->value(), lines_index);

    ASSERT_EQ(RunCopy(), 9);
    EXPECT_EQ(form_->GaugeTable->value(), form_->tables.size());
    EXPECT_EQ(form_->StepStripText(), "Шаг 6 из 6: Миграция завершена");
    ExpectSameRows(TableNames());
}
