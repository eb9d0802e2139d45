#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <memory>

#include "control/app_state.h"
#include "dialogs/about_dialog.h"
#include "dialogs/channel_balance_dialog.h"
#include "dialogs/dialog_layout.h"
#include "dialogs/manual_speed_dialog.h"
#include "tests/unit/fake_ui.h"

namespace kelvanor {
namespace {

TEST(DialogUnits, QuarterCharacterAcrossAndEighthCharacterDown) {
    const DialogUnits du(6, 13);
    EXPECT_EQ(du.rect(67, 8, 28, 12), QRect(100, 13, 42, 19));
    EXPECT_EQ(du.size(150, 48), QSize(225, 78));
}

TEST(DialogPlacement, CentresOnThePointAndKeepsOffTheScreenEdges) {
    struct Case {
        const char* name;
        QPoint window;
        QPoint expected;
    };
    // A 270 x 333 dialog, caption 23, menu bar 20, screen 1280 x 1024.
    const Case cases[] = {
        // x = 100 + 393 - 135; y = 50 + 251 - 166 + 23.
        {"centred", {100, 50}, {358, 158}},
        // 1000 + 393 - 135 + 270 reaches 1280: x = 1280 - 270 - 11.
        {"right edge", {1000, 50}, {999, 158}},
        // 800 + 251 - 166 + 333 + 20 + 23 reaches 1024: y = 1024 - 333 - 23 - 10.
        {"bottom edge", {100, 800}, {358, 658}},
    };
    for (const Case& c : cases) {
        const PlacementFrame frame{
            QRect(c.window, QSize(808, 670)), 23, 20, QSize(1280, 1024), 1, QPoint()};
        EXPECT_EQ(centred_dialog_position(frame, QSize(270, 333), kWaterfallCentre), c.expected)
            << c.name;
    }
}

class DialogOwnerTest : public testing::Test {
  protected:
    DialogOwnerTest() {
        owner.setGeometry(100, 50, 800, 600);
        owner.show();
    }
    const Size screen{1920, 1080};
    QWidget owner;
};

TEST_F(DialogOwnerTest, AboutOpensOnTheMiddleOfTheWaterfallWithItsTexts) {
    QPoint opened;
    QSize size;
    QStringList texts;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        opened = dialog->frameGeometry().topLeft();
        size = dialog->size();
        for (const QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("About KELVANOR"));
        EXPECT_EQ(dialog->ok_button()->text(), QStringLiteral("OK"));
        dialog->ok_button()->click();
    });
    run_about_dialog(&owner, screen);
    const QRect frame = owner.frameGeometry();
    const int caption = owner.geometry().top() - frame.top();
    EXPECT_EQ(opened, QPoint(frame.left() + 393 - size.width() / 2,
                             frame.top() + 251 - size.height() / 2 + caption));
    EXPECT_TRUE(texts.contains(QStringLiteral("KELVANOR For Win XP/Vista/7/8")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Version 4.00 (30AUG13)")));
}

TEST_F(DialogOwnerTest, ChannelBalanceOpensFiftyPixelsAboveTheMiddleOfTheWindow) {
    QPoint opened;
    QSize size;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ChannelBalanceDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        opened = dialog->frameGeometry().topLeft();
        size = dialog->size();
        dialog->cancel_button()->click();
    });
    run_channel_balance_dialog(&owner, ChannelBalanceValues{}, screen, {});
    const QRect frame = owner.frameGeometry();
    const int caption = owner.geometry().top() - frame.top();
    EXPECT_EQ(opened, QPoint(frame.left() + 400 - size.width() / 2,
                             frame.top() + 300 - size.height() / 2 + caption - 50));
}

TEST_F(DialogOwnerTest, DialogsHaveTheirTemplateSizesInDialogUnits) {
    test::FakeUi ui;
    ManualSpeedDialog speed(&owner, ManualSpeedValues{kManualSpeedDefault}, ui);
    EXPECT_EQ(speed.size(), DialogUnits(speed.font()).size(150, 48));
    ChannelBalanceDialog balance(&owner, ChannelBalanceValues{}, {});
    EXPECT_EQ(balance.size(), DialogUnits(balance.font()).size(150, 73));
    AboutDialog about(&owner, QPixmap());
    EXPECT_EQ(about.size(), DialogUnits(about.font()).size(180, 205));
    // Every control lies inside its dialog.
    for (const QDialog* dialog : {static_cast<QDialog*>(&speed), static_cast<QDialog*>(&balance),
                                  static_cast<QDialog*>(&about)}) {
        for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(dialog->rect().contains(child->geometry()))
                << dialog->windowTitle().toStdString() << " " << child->metaObject()->className();
        }
    }
}

}  // namespace
}  // namespace kelvanor
