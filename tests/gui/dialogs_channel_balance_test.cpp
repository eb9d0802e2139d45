#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <memory>

#include "control/app_state.h"
#include "dialogs/channel_balance_dialog.h"
#include "tests/gui/dialog_program.h"

namespace kelvanor {
namespace {

class ChannelBalanceTest : public testing::Test, public test::DialogProgram {
  protected:
    ChannelBalanceTest() { app.settings.ChannelBalance = 12; }

    ChannelBalanceValues current() const { return program.channel_balance_values(); }
    void finish(const ChannelBalanceDialog& dialog) {
        program.apply_channel_balance(outcome(dialog));
    }

    // Default applies through the program, which redraws the balance read-out.
    int readout_redraws = 0;
    ChannelBalanceDialog::ApplyNow redraw = [this](const ChannelBalanceValues& values) {
        program.set_channel_balance(values);
        ++readout_redraws;
    };
};

TEST_F(ChannelBalanceTest, ArrowsStepByOneWithinZeroToSixtyAndPageClicksDoNothing) {
    ChannelBalanceDialog dialog(nullptr, current(), redraw);
    QScrollBar* bar = dialog.balance_bar();
    EXPECT_EQ(bar->value(), 12);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dialog.working_balance(), 13);
    EXPECT_EQ(bar->value(), 13);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(dialog.working_balance(), 13);
    EXPECT_EQ(bar->value(), 13) << "the bar shows the working balance";

    bar->setSliderPosition(60);  // the thumb dragged to the right end
    EXPECT_EQ(dialog.working_balance(), 60);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dialog.working_balance(), 60);
    bar->setSliderPosition(0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(dialog.working_balance(), 0);
    EXPECT_EQ(app.settings.ChannelBalance, 12) << "nothing written before Ok";
}

TEST_F(ChannelBalanceTest, OkWritesTheWorkingBalanceAndCancelDoesNot) {
    {
        ChannelBalanceDialog dialog(nullptr, current(), redraw);
        dialog.balance_bar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        dialog.cancel_button()->click();
        finish(dialog);
        EXPECT_EQ(app.settings.ChannelBalance, 12);
    }
    ChannelBalanceDialog dialog(nullptr, current(), redraw);
    dialog.balance_bar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    dialog.ok_button()->click();
    finish(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(app.settings.ChannelBalance, 11);
}

TEST_F(ChannelBalanceTest, DefaultCentresTheBalanceAtOnceAndSurvivesCancel) {
    QTimer::singleShot(0, [this] {
        auto* dialog = qobject_cast<ChannelBalanceDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->default_button()->click();
        EXPECT_EQ(app.settings.ChannelBalance, 30) << "written at once";
        EXPECT_EQ(readout_redraws, 1) << "the panel shows it at once";
        EXPECT_EQ(dialog->balance_bar()->value(), 30);
        EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
        dialog->balance_bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        dialog->cancel_button()->click();
    });
    const std::optional<ChannelBalanceValues> chosen =
        run_channel_balance_dialog(nullptr, current(), {}, redraw);
    EXPECT_FALSE(chosen.has_value());
    program.apply_channel_balance(chosen);
    EXPECT_EQ(app.settings.ChannelBalance, 30);
}

}  // namespace
}  // namespace kelvanor
