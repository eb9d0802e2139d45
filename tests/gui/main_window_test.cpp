#include <gtest/gtest.h>
#include <signal.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <thread>

#include "app/application.h"
#include "gui_support.h"
#include "platform/menu_ids.h"
#include "settings/ini_file.h"

namespace kelvanor {
namespace {

using test::FastClock;
using test::wait_until;
using test::WorkingFolder;

StartOptions test_options(Clock& clock) {
    static Devices no_devices;  // no serial port of the test machine is touched
    StartOptions options;
    options.clock = &clock;
    options.devices = &no_devices;
    options.show_logo = false;
    options.watch_signals = false;
    return options;
}

QString read_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll());
}

TEST(MainWindow, StartsWithTitleClientAreaAndMenuThenSavesSettingsOnClose) {
    WorkingFolder folder;
    FastClock clock;
    Application app(test_options(clock));
    app.start();

    EXPECT_EQ(app.window().windowTitle(), QStringLiteral("Kelvanor Marlinray"));
    EXPECT_GE(app.window().view()->width(), 792);
    EXPECT_GE(app.window().view()->height(), 600);
    EXPECT_GT(app.state().run.delay_loops_per_second, 0);

    QStringList top;
    for (QAction* a : app.window().menuBar()->actions()) top << a->text();
    EXPECT_EQ(top, (QStringList{"&File", "&Color Table", "Com &Ports", "&Misc", "&Options",
                                "&About..."}));

    // Marks from the default settings: HEAD mode, colour table Color, grid, metres, speed from
    // GPS (Manual Speed greyed), low frequency.
    for (int id :
         {menu::kHead, menu::kColor, menu::kGrid, menu::kMeters, menu::kSpeedFromGps, menu::kLow}) {
        ASSERT_NE(app.window().action(id), nullptr) << id;
        EXPECT_TRUE(app.window().action(id)->isChecked()) << id;
    }
    for (int id :
         {menu::kFile, menu::kHigh, menu::kFeet, menu::kSpeedCorrection, menu::kTargetLength}) {
        EXPECT_FALSE(app.window().action(id)->isChecked()) << id;
    }
    EXPECT_FALSE(app.window().action(menu::kManualSpeed)->isEnabled());
    EXPECT_FALSE(app.window().action(menu::kPlayback)->isEnabled());
    EXPECT_TRUE(app.window().action(menu::kRecord)->isEnabled());
    EXPECT_EQ(app.window().action(menu::kExit)->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(app.window().action(menu::kTargetHeight)->text(), QStringLiteral("Target &Height"));

    EXPECT_FALSE(app.window().diagnostics_window()->isVisible());
    EXPECT_EQ(app.window().zoom_window()->windowTitle(), QStringLiteral("Zoom x3"));

    app.window().close();
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
    const QString ini = read_file(folder.file("KELVANOR.INI"));
    EXPECT_TRUE(ini.startsWith("[Settings]\nGrid=1\nColors=0\n")) << ini.toStdString();
}

// A program torn down with its window still up and focused (a test's early return, an
// exit that skips the close handling) must not hand the window's last focus loss to a
// program that is already gone.
TEST(MainWindow, GoingAwayWithTheWindowStillFocusedIsSafe) {
    WorkingFolder folder;
    FastClock clock;
    {
        Application app(test_options(clock));
        app.start();
        app.window().activateWindow();
        app.window().view()->setFocus();
        ASSERT_TRUE(wait_until([&] { return app.window().view()->hasFocus(); }));
    }
}

TEST(MainWindow, FileModeWithoutAFileSaysSoInTheTitle) {
    WorkingFolder folder;
    QFile ini(folder.file("KELVANOR.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Settings]\nRunMode=1\nSSRange=3\n");
    ini.close();
    FastClock clock;
    Application app(test_options(clock));
    app.ui().queue_dialog_answer(std::nullopt);  // the playback dialog at start-up is cancelled
    app.start();
    EXPECT_EQ(app.window().windowTitle(), QStringLiteral("Kelvanor Marlinray - [No File]"));
    EXPECT_NE(app.slider(), nullptr);
    EXPECT_FALSE(app.program().playback_ready());
    EXPECT_TRUE(app.window().action(menu::kFile)->isChecked());
    EXPECT_FALSE(app.window().action(menu::kRecord)->isEnabled());
    EXPECT_FALSE(app.window().action(menu::kComPorts)->isEnabled());
    EXPECT_TRUE(app.window().action(menu::kCopy)->isEnabled());
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
    IniFile saved = IniFile::load(folder.file("KELVANOR.INI").toStdString());
    EXPECT_EQ(saved.get("Settings", "RunMode"), "1");
    EXPECT_EQ(saved.get("Settings", "SSRange"), "3");
}

TEST(MainWindow, DiagnosticsAndZoomFollowTheMenuAndTheirCloseBoxes) {
    WorkingFolder folder;
    FastClock clock;
    Application app(test_options(clock));
    app.start();
    app.window().action(menu::kDiagnostics)->trigger();
    EXPECT_TRUE(app.window().diagnostics_window()->isVisible());
    EXPECT_TRUE(app.window().action(menu::kDiagnostics)->isChecked());
    EXPECT_TRUE(app.state().run.diagnostics_shown);
    app.window().diagnostics_window()->close();  // its own close box
    EXPECT_FALSE(app.window().diagnostics_window()->isVisible());
    EXPECT_FALSE(app.window().action(menu::kDiagnostics)->isChecked());
    EXPECT_FALSE(app.state().run.diagnostics_shown);

    app.window().action(menu::kZoom)->trigger();
    EXPECT_TRUE(app.window().zoom_window()->isVisible());
    app.window().action(menu::kZoom)->trigger();
    EXPECT_FALSE(app.window().zoom_window()->isVisible());
    EXPECT_FALSE(app.window().action(menu::kZoom)->isChecked());
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
}

TEST(MainWindow, CloseWaitsForAModalBoxAndASignalDismissesIt) {
    WorkingFolder folder;
    FastClock clock;
    Application app(test_options(clock));
    app.start();
    // While the box is up the close waits; a signal's close dismisses the box and then runs.
    // The box runs its own loop, so the steps are timers that fire inside it.
    bool closed_while_modal = true;
    QTimer::singleShot(50, [&] { app.request_close(CloseOrigin::Window); });
    QTimer::singleShot(300, [&] {
        closed_while_modal = app.closed();
        app.request_close(CloseOrigin::Signal);
    });
    // A worker thread raises a message box: it is queued, and the worker does not wait.
    std::thread worker(
        [&] { app.ui().message_box("No Data at COM1", "Test", MessageKind::Warning); });
    worker.join();
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
    EXPECT_FALSE(closed_while_modal);
    EXPECT_TRUE(QFile::exists(folder.file("KELVANOR.INI")));
}

TEST(MainWindow, SigtermRunsTheCloseHandlingOfTheRealProgram) {
    WorkingFolder folder;
    QProcess program;
    program.setWorkingDirectory(folder.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(KELVANOR_BIN_DIR "/kelvanor"),
                  {"--no-logo", "--screenshot", folder.file("shot.bmp")});
    ASSERT_TRUE(program.waitForStarted());
    QThread::msleep(1500);
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(read_file(folder.file("KELVANOR.INI")).contains("PlotSpeed=100"));

    // The screenshot is a 24-bit bottom-up BMP of the window with the 54-byte headers.
    QFile shot(folder.file("shot.bmp"));
    ASSERT_TRUE(shot.open(QIODevice::ReadOnly));
    const QByteArray bmp = shot.readAll();
    ASSERT_GT(bmp.size(), 54);
    auto u32 = [&](int at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bmp[at])) |
               static_cast<uint32_t>(static_cast<uint8_t>(bmp[at + 1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(bmp[at + 2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(bmp[at + 3])) << 24;
    };
    EXPECT_EQ(bmp.left(2), QByteArray("BM"));
    EXPECT_EQ(u32(2), static_cast<uint32_t>(bmp.size()));
    EXPECT_EQ(u32(10), 54u);
    EXPECT_GE(u32(18), 792u);
    EXPECT_GE(u32(22), 600u);
    EXPECT_EQ(u32(34), ((u32(18) * 3 + 3) / 4 * 4) * u32(22));
}

}  // namespace
}  // namespace kelvanor
