#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <memory>

#include "control/app_state.h"
#include "dialogs/manual_speed_dialog.h"
#include "tests/gui/dialog_program.h"

namespace kelvanor {
namespace {

class ManualSpeedTest : public testing::Test, public test::DialogProgram {
  protected:
    ManualSpeedTest() { app.run.speed_knots = 4.0f; }

    void type(ManualSpeedDialog& dialog, const char* text) {
        dialog.speed_edit()->selectAll();
        QTest::keyClicks(dialog.speed_edit(), QString::fromLatin1(text));
    }
    void up(ManualSpeedDialog& dialog) {
        dialog.speed_arrows()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    }
    void down(ManualSpeedDialog& dialog) {
        dialog.speed_arrows()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    // Ok clicked: the program takes what the dialog hands back, as the window has it do.
    void ok(ManualSpeedDialog& dialog) {
        dialog.ok_button()->click();
        program.apply_manual_speed(outcome(dialog));
    }
};

TEST_F(ManualSpeedTest, OpensWithTheCurrentSpeedInFiveColumns) {
    ManualSpeedDialog dialog(nullptr, program.manual_speed_values(), ui);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Manual Speed"));
    EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral("  4.0"));
    EXPECT_TRUE(dialog.ok_button()->isDefault());
    EXPECT_EQ(dialog.default_button()->text(), QStringLiteral("Default"));
    EXPECT_EQ(dialog.cancel_button()->text(), QStringLiteral("Cancel"));
}

TEST_F(ManualSpeedTest, OutOfRangeOrNoNumberWarnsAndShowsThePreviousSpeedAgain) {
    for (const char* typed : {"12", "abc", "0.4", "10.05", "nan", "-3"}) {
        ManualSpeedDialog dialog(nullptr, program.manual_speed_values(), ui);
        dialog.show();
        type(dialog, typed);
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible()) << typed << ": the dialog stays open";
        EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral("  4.0")) << typed;
        EXPECT_FLOAT_EQ(dialog.working_speed(), 4.0f) << typed;
        EXPECT_FLOAT_EQ(app.run.speed_knots, 4.0f) << typed;
        dialog.reject();
    }
    const auto boxes = ui.boxes();
    ASSERT_EQ(boxes.size(), 6u);
    EXPECT_EQ(boxes[0].text, "Speed is out of range!\nUse 0.5 to 10.0 kts");
    EXPECT_EQ(boxes[0].caption, "Manual Speed");
}

TEST_F(ManualSpeedTest, ArrowsStepByATenthWithinHalfAKnotToTenKnots) {
    ManualSpeedDialog dialog(nullptr, program.manual_speed_values(), ui);
    dialog.show();
    type(dialog, "9.95");
    up(dialog);
    EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral(" 10.0")) << "capped, not 10.05";
    up(dialog);
    EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral(" 10.0"));

    type(dialog, "0.55");
    down(dialog);
    EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral("  0.5")) << "floored, not 0.45";
    down(dialog);
    EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral("  0.5"));
    up(dialog);
    up(dialog);
    EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral("  0.7"));
    // Page clicks on the arrows do nothing.
    dialog.speed_arrows()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral("  0.7"));

    ok(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_NEAR(app.run.speed_knots, 0.7f, 1e-6f);
    EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(ManualSpeedTest, DefaultThenCancelLeavesTheSpeedUnchanged) {
    ManualSpeedDialog dialog(nullptr, program.manual_speed_values(), ui);
    dialog.show();
    dialog.default_button()->click();
    EXPECT_EQ(dialog.speed_edit()->text(), QStringLiteral("  3.0"));
    EXPECT_FLOAT_EQ(dialog.working_speed(), 3.0f);
    dialog.cancel_button()->click();
    program.apply_manual_speed(outcome(dialog));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FLOAT_EQ(app.run.speed_knots, 4.0f);
}

TEST_F(ManualSpeedTest, EntryPointWritesTheSpeedOnlyOnOk) {
    QTimer::singleShot(0, [this] {
        auto* dialog = qobject_cast<ManualSpeedDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        type(*dialog, "7.5");
        QTest::keyClick(dialog->speed_edit(), Qt::Key_Return);  // Enter presses Ok
    });
    std::optional<ManualSpeedValues> chosen =
        run_manual_speed_dialog(nullptr, program.manual_speed_values(), ui);
    EXPECT_TRUE(chosen.has_value());
    program.apply_manual_speed(chosen);
    EXPECT_FLOAT_EQ(app.run.speed_knots, 7.5f);

    QTimer::singleShot(0, [this] {
        auto* dialog = qobject_cast<ManualSpeedDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        type(*dialog, "2.0");
        QTest::keyClick(dialog->speed_edit(), Qt::Key_Escape);
    });
    chosen = run_manual_speed_dialog(nullptr, program.manual_speed_values(), ui);
    EXPECT_FALSE(chosen.has_value());
    program.apply_manual_speed(chosen);
    EXPECT_FLOAT_EQ(app.run.speed_knots, 7.5f);
}

TEST(ManualSpeedText, ReadsTheFirstSixCharactersAsFarAsTheyAreANumber) {
    struct Case {
        const char* text;
        float value;
    };
    const Case cases[] = {
        {"  3.0", 3.0f},       {"12abc", 12.0f}, {"abc", 0.0f},          {"", 0.0f},
        {"+2.5", 2.5f},        {"-1", -1.0f},    {"1234567", 123456.0f}, {" 9.95", 9.95f},
        {"9.9999999", 9.9999f}};
    for (const Case& c : cases) EXPECT_FLOAT_EQ(parse_manual_speed(c.text), c.value) << c.text;
    EXPECT_EQ(manual_speed_text(3.0f), QStringLiteral("  3.0"));
    EXPECT_EQ(manual_speed_text(10.0f), QStringLiteral(" 10.0"));
}

}  // namespace
}  // namespace kelvanor
