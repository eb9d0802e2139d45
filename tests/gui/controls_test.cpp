#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTest>
#include <QTimer>

#include "app/application.h"
#include "datafile/record_writer.h"
#include "gui_support.h"
#include "panel/panel_layout.h"
#include "platform/menu_ids.h"
#include "sim/survey_recording.h"
#include "waterfall/image.h"

namespace kelvanor {
namespace {

using test::FastClock;
using test::wait_until;
using test::WorkingFolder;

// The window driven as an operator would: clicks at the panel's pixel positions and keys.
struct Controls : testing::Test {
    void start(const char* ini_settings = "") {
        QFile ini(folder.file("KELVANOR.INI"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QByteArray("[Settings]\n") + ini_settings);
        ini.close();
        StartOptions options;
        options.clock = &clock;
        options.devices = &devices;
        options.show_logo = false;
        options.watch_signals = false;
        options.unattended = true;
        app = std::make_unique<Application>(std::move(options));
        app->start();
    }
    ~Controls() override {
        if (app && !app->closed()) {
            app->request_close(CloseOrigin::Window);
            wait_until([&] { return app->closed(); });
        }
    }

    AppState& state() { return app->state(); }
    const PanelLayout& layout() { return state().panel.layout; }
    QWidget* view() { return app->window().view(); }
    void click(Point p) {
        QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, QPoint(p.x, p.y));
    }
    static Point centre(Rect r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    static Point centre(const ButtonBox& b) { return {b.x + b.width / 2, b.y + b.height / 2}; }
    Point range_up() { return {layout().range_up_button.x + 5, layout().range_up_button.y + 5}; }
    Point channel_up() { return {layout().train_up_button.x + 5, layout().train_up_button.y + 5}; }
    Point channel_down() {
        return {layout().train_down_button.x + 5, layout().train_down_button.y + 5};
    }
    void type(const char* keys) { QTest::keyClicks(view(), keys); }
    void enter() { QTest::keyClick(view(), Qt::Key_Return); }

    std::string write_survey(int pings, int32_t range_metres, int32_t gain) {
        const std::string path = folder.file("line.vkd").toStdString();
        std::string error;
        std::optional<RecordWriter> writer = RecordWriter::create(path, error);
        SurveyRecordingConfig config;
        config.range_metres = range_metres;
        config.gain = gain;
        SurveyRecording survey(config);
        for (int i = 0; i < pings; ++i) {
            RecordStamp stamp;
            std::span<const uint8_t> reply = survey.next(stamp);
            writer->write_ping_record(stamp, reply);
        }
        return path;
    }

    WorkingFolder folder;
    FastClock clock;
    Devices devices;
    std::unique_ptr<Application> app;
};

TEST_F(Controls, TypedRangeIsLimitedAtHighFrequency) {
    start("Frequency=1\nSSRange=0\n");
    type("r90");
    EXPECT_EQ(state().run.entry_kind, 1);
    enter();
    EXPECT_EQ(state().settings.SSRange, 1);  // 90 m is index 3, lowered to the limit 1
    EXPECT_EQ(state().run.entry_kind, 0);
    EXPECT_EQ(state().head.range_metres, 30);

    type("g123");  // a gain beyond 40 changes nothing
    enter();
    EXPECT_EQ(state().settings.SSGain, 6);
    type("g1234");  // the fourth digit is dropped
    enter();
    EXPECT_EQ(state().settings.SSGain, 6);
    type("g25");
    enter();
    EXPECT_EQ(state().settings.SSGain, 25);
}

TEST_F(Controls, GainRepeatsFrom38ToItsLimitThenReleases) {
    start("SSGain=38\n");
    const Point up = centre(layout().gain_up_rect);
    QTest::mousePress(view(), Qt::LeftButton, Qt::NoModifier, QPoint(up.x, up.y));
    EXPECT_EQ(state().settings.SSGain, 39);  // one step at once
    ASSERT_TRUE(app->repeat_timer()->isActive());
    EXPECT_EQ(app->repeat_timer()->interval(), 500);
    app->repeat_tick();
    EXPECT_EQ(state().settings.SSGain, 40);
    app->repeat_tick();  // at the limit the repeat ends and the button is released
    EXPECT_EQ(state().settings.SSGain, 40);
    EXPECT_FALSE(app->repeat_timer()->isActive());
    EXPECT_EQ(state().panel.repeat.button, PanelButton::None);
    QTest::mouseRelease(view(), Qt::LeftButton, Qt::NoModifier, QPoint(up.x, up.y));
}

TEST_F(Controls, GainRepeatStopsWhenThePointerSlidesOff) {
    start("SSGain=10\n");
    const Point down = centre(layout().gain_down_rect);
    QTest::mousePress(view(), Qt::LeftButton, Qt::NoModifier, QPoint(down.x, down.y));
    EXPECT_EQ(state().settings.SSGain, 9);
    app->repeat_tick();
    EXPECT_EQ(state().settings.SSGain, 8);
    EXPECT_EQ(app->repeat_timer()->interval(), 50);  // later steps come faster
    QTest::mouseMove(view(), QPoint(down.x + 200, down.y));
    EXPECT_FALSE(app->repeat_timer()->isActive());
    app->repeat_tick();
    EXPECT_EQ(state().settings.SSGain, 8);
}

TEST_F(Controls, HoldBlocksTheDataFromButtonsButNotTheHoldBox) {
    start();
    const Point hold{125, 510};
    click(hold);
    EXPECT_EQ(state().run.hold, 1);
    click(centre(layout().file_button));
    EXPECT_EQ(state().settings.RunMode, RunMode::Head);
    click(range_up());
    EXPECT_EQ(state().settings.SSRange, 4);
    type("h");  // the H key toggles Hold too
    EXPECT_EQ(state().run.hold, 0);
    click(hold);
    click(hold);
    EXPECT_EQ(state().run.hold, 0);
}

TEST_F(Controls, HeadFileHeadRestoresRangeAndGain) {
    start("SSRange=1\nSSGain=20\n");
    const std::string path = write_survey(30, 120, 3);
    app->ui().queue_dialog_answer(path);
    click(centre(layout().file_button));
    ASSERT_EQ(state().settings.RunMode, RunMode::File);
    ASSERT_TRUE(wait_until([&] { return state().datafile.playback_offset >= 10 * 640; }));
    EXPECT_EQ(state().settings.SSGain, 3);  // the file's own gain is shown while it plays
    click(centre(layout().head_button));
    EXPECT_EQ(state().settings.RunMode, RunMode::Head);
    EXPECT_EQ(state().settings.SSRange, 1);
    EXPECT_EQ(state().settings.SSGain, 20);
    EXPECT_TRUE(app->window().action(menu::kHead)->isChecked());
    EXPECT_FALSE(app->window().action(menu::kFile)->isChecked());
}

TEST_F(Controls, FileModeIgnoresRangeGainAndPauseKeys) {
    start("RunMode=1\n");
    type("r");
    EXPECT_EQ(state().run.entry_kind, 0);
    type("g");
    EXPECT_EQ(state().run.entry_kind, 0);
    type("p");
    EXPECT_EQ(state().run.rec_pause, 0);
    type("h");
    EXPECT_EQ(state().run.hold, 1);
}

TEST_F(Controls, TargetToolsExcludeEachOther) {
    start();
    QAction* length = app->window().action(menu::kTargetLength);
    QAction* height = app->window().action(menu::kTargetHeight);
    length->trigger();
    EXPECT_TRUE(length->isChecked());
    EXPECT_EQ(state().run.target_length_mode, 1);
    height->trigger();
    EXPECT_TRUE(height->isChecked());
    EXPECT_FALSE(length->isChecked());
    EXPECT_EQ(state().run.target_length_mode, 0);
    EXPECT_EQ(state().run.target_height_mode, 1);
    height->trigger();
    EXPECT_FALSE(height->isChecked());
    EXPECT_EQ(state().run.target_height_mode, 0);
}

TEST_F(Controls, AChannelChangeMovesTheGridToTheNewLayout) {
    start("Grid=1\nSSTrain=1\n");
    auto grid_bits_on_row = [&](int row) {
        int bits = 0;
        auto held = lock_image(state().waterfall);
        for (int column = 0; column < 784; ++column) {
            bits += (image_pixel(state().waterfall, held, row, column) & 0x80) != 0;
        }
        return bits;
    };
    const int both_row = zero_line_row(ChannelCode::Both);
    ASSERT_GT(grid_bits_on_row(both_row), 0);
    click(channel_down());  // Both -> Stbd
    EXPECT_EQ(state().settings.SSTrain, ChannelSelection::Starboard);
    EXPECT_EQ(state().settings.channel_code, ChannelCode::Starboard);
    const int stbd_row = zero_line_row(ChannelCode::Starboard);
    EXPECT_GT(grid_bits_on_row(stbd_row), 0);
    if (stbd_row != both_row) {
        EXPECT_EQ(grid_bits_on_row(both_row), 0);
    }
    click(channel_up());
    EXPECT_EQ(state().settings.channel_code, ChannelCode::Both);
}

TEST_F(Controls, RangeButtonsStepAndRedrawTheReadOut) {
    start("SSRange=2\n");
    const Rect box = layout().range_box;
    auto box_pixels = [&] {
        std::lock_guard lock(app->surface().mutex());
        return app->surface().image().copy(box.left, box.top, box.width(), box.height());
    };
    const QImage shown_60 = box_pixels();
    click(range_up());
    EXPECT_EQ(state().settings.SSRange, 3);
    EXPECT_EQ(state().head.range_metres, 90);
    EXPECT_NE(box_pixels(), shown_60);  // "90 M" replaced "60 M" on the panel
    click({layout().range_down_button.x + 5, layout().range_down_button.y + 5});
    click({layout().range_down_button.x + 5, layout().range_down_button.y + 5});
    EXPECT_EQ(state().settings.SSRange, 1);
    click({layout().range_up_button.x + 5, layout().range_up_button.y + 5});
    EXPECT_EQ(box_pixels(), shown_60);
}

}  // namespace
}  // namespace kelvanor
