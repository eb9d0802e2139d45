#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <memory>

#include "control/app_state.h"
#include "dialogs/channel_balance_dialog.h"

namespace kelvanor {
namespace {

class ChannelBalanceTest : public testing::Test {
  protected:
    ChannelBalanceTest() { app.settings.ChannelBalance = 12; }

    std::unique_ptr<AppState> owned = std::make_unique<AppState>();
    AppState& app = *owned;
    int readout_redraws = 0;
    std::function<void()> redraw = [this] { ++readout_redraws; };
};

TEST_F(ChannelBalanceTest, ArrowsStepByOneWithinZeroToSixtyAndPageClicksDoNothing) {
    ChannelBalanceDialog dialog(nullptr, app, redraw);
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
        ChannelBalanceDialog dialog(nullptr, app, redraw);
        dialog.balance_bar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        dialog.cancel_button()->click();
        EXPECT_EQ(app.settings.ChannelBalance, 12);
    }
    ChannelBalanceDialog dialog(nullptr, app, redraw);
    dialog.balance_bar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    dialog.ok_button()->click();
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
    EXPECT_FALSE(run_channel_balance_dialog(nullptr, app, redraw));
    EXPECT_EQ(app.settings.ChannelBalance, 30);
}

}  // namespace
}  // namespace kelvanor
