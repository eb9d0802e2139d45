#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "app/application.h"
#include "datafile/record_writer.h"
#include "gui_support.h"
#include "sim/survey_recording.h"

namespace kelvanor {
namespace {

using test::FastClock;
using test::wait_until;
using test::WorkingFolder;

std::string write_survey(const WorkingFolder& folder, int pings) {
    const std::string path = folder.file("line.vkd").toStdString();
    std::string error;
    std::optional<RecordWriter> writer = RecordWriter::create(path, error);
    SurveyRecording survey(SurveyRecordingConfig{});
    for (int i = 0; i < pings; ++i) {
        RecordStamp stamp;
        std::span<const uint8_t> reply = survey.next(stamp);
        writer->write_ping_record(stamp, reply);
    }
    return path;
}

StartOptions playing(Clock& clock, const std::string& path) {
    StartOptions options;
    options.clock = &clock;
    options.show_logo = false;
    options.watch_signals = false;
    options.play_path = path;
    return options;
}

TEST(Playback, AdvancesInTheEventLoopMovesTheSliderAndStopsUnderHold) {
    WorkingFolder folder;
    const std::string path = write_survey(folder, 200);
    FastClock clock;
    Application app(playing(clock, path));
    app.start();
    AppState& state = app.state();
    ASSERT_EQ(state.run.playback_file_open, 1);
    ASSERT_NE(app.slider(), nullptr);
    EXPECT_EQ(app.slider()->focusPolicy(), Qt::NoFocus);
    ASSERT_TRUE(wait_until([&] { return state.datafile.playback_percent >= 50; }));
    ASSERT_TRUE(wait_until([&] { return app.slider()->value() >= 50; }));

    state.run.hold = 1;
    app.program().command(0);  // any command re-evaluates whether playback may advance
    QCoreApplication::processEvents();
    const int64_t held_at = state.datafile.playback_offset;
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(state.datafile.playback_offset, held_at);
    state.run.hold = 0;
    app.program().command(0);
    ASSERT_TRUE(wait_until([&] { return state.datafile.playback_offset != held_at; }));

    // A user's slider move seeks; playback's own moves do not.
    app.slider()->setValue(10);
    ASSERT_TRUE(wait_until([&] { return state.datafile.playback_offset <= 200 * 640 / 10 + 640; }));
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
}

// How long input waits in the queue while records play: reported, not asserted.
TEST(Playback, InputWaitsLittleWhilePlaying) {
    WorkingFolder folder;
    const std::string path = write_survey(folder, 400);
    for (int plot_speed : {100, 0}) {
        FastClock clock;
        Application app(playing(clock, path));
        app.start();
        app.state().settings.PlotSpeed = plot_speed;
        QElapsedTimer elapsed;
        elapsed.start();
        std::vector<qint64> waits;
        QTimer poster;
        int posted = 0;
        QObject::connect(&poster, &QTimer::timeout, [&] {
            if (posted++ >= 50) return;
            const qint64 sent = elapsed.nsecsElapsed();
            QMetaObject::invokeMethod(
                &app, [&, sent] { waits.push_back(elapsed.nsecsElapsed() - sent); },
                Qt::QueuedConnection);
        });
        poster.start(7);
        ASSERT_TRUE(wait_until([&] { return waits.size() >= 50; }));
        poster.stop();
        std::sort(waits.begin(), waits.end());
        std::printf("plot speed %3d: input waited median %.2f ms, worst %.2f ms over %zu events\n",
                    plot_speed, static_cast<double>(waits[waits.size() / 2]) / 1e6,
                    static_cast<double>(waits.back()) / 1e6, waits.size());
        EXPECT_GT(app.state().datafile.playback_offset + app.state().datafile.playback_restart, 0);
        app.request_close(CloseOrigin::Window);
        ASSERT_TRUE(wait_until([&] { return app.closed(); }));
    }
}

}  // namespace
}  // namespace kelvanor
