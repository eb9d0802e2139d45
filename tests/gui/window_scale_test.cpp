#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QFile>
#include <QTest>

#include "app/application.h"
#include "capture/qt_save_screen.h"
#include "dialogs/dialog_layout.h"
#include "gui_support.h"
#include "panel/panel_layout.h"
#include "platform/menu_ids.h"
#include "settings/ini_file.h"
#include "waterfall/palette.h"

namespace kelvanor {
namespace {

using test::FastClock;
using test::wait_until;
using test::WorkingFolder;

// The main window enlarged: by resizing it, and by Options > Window Size.
struct WindowScale : testing::Test {
    void start(const char* ini = "[Settings]\n") {
        QFile file(folder.file("KELVANOR.INI"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini);
        file.close();
        StartOptions options;
        options.clock = &clock;
        options.devices = &devices;
        options.show_logo = false;
        options.watch_signals = false;
        options.unattended = true;
        app = std::make_unique<Application>(std::move(options));
        app->start();
        QCoreApplication::processEvents();
    }
    void close() {
        app->request_close(CloseOrigin::Window);
        ASSERT_TRUE(wait_until([&] { return app->closed(); }));
    }
    ~WindowScale() override {
        if (app && !app->closed()) close();
    }

    SurfaceView* view() { return app->window().view(); }
    const PanelLayout& layout() { return app->state().panel.layout; }
    void menu(int id) { app->window().action(id)->trigger(); }
    bool marked(int id) { return app->window().action(id)->isChecked(); }
    std::optional<std::string> ini(const char* section, const char* key) {
        QFile file(folder.file("KELVANOR.INI"));
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return IniFile::parse(file.readAll().toStdString()).get(section, key);
    }
    QImage surface_copy() {
        std::lock_guard lock(app->surface().mutex());
        return app->surface().image().copy();
    }
    // Whether the view shows the surface with each pixel as a scale x scale square at the
    // placement's origin, and the panel colour round it.
    ::testing::AssertionResult shows_surface_scaled() {
        const QImage shown = view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage surface = surface_copy();
        const ClientPlacement& p = view()->placement();
        const QRgb panel = app->surface().rgb(kPalettePanelBackground);
        const QRect inside(p.origin.x, p.origin.y, surface.width() * p.scale,
                           surface.height() * p.scale);
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb got = shown.pixel(x, y) | 0xff000000u;
                const QRgb want =
                    inside.contains(x, y)
                        ? surface.pixel((x - p.origin.x) / p.scale, (y - p.origin.y) / p.scale) |
                              0xff000000u
                        : panel | 0xff000000u;
                if (got != want) {
                    return ::testing::AssertionFailure()
                           << "view pixel " << x << "," << y << " is " << std::hex << got
                           << ", not " << want << " (scale " << std::dec << p.scale << ")";
                }
            }
        }
        return ::testing::AssertionSuccess();
    }

    WorkingFolder folder;
    FastClock clock;
    Devices devices;
    std::unique_ptr<Application> app;
};

TEST_F(WindowScale, EnlargedWindowShowsEveryPixelDoubledAndClicksReachTheButtonUnderThem) {
    start();
    const QSize today = app->window().size();
    EXPECT_EQ(view()->size(), QSize(792, 600));
    EXPECT_EQ(view()->scale(), 1);
    EXPECT_TRUE(marked(menu::kWindowSize1x));
    EXPECT_TRUE(shows_surface_scaled());

    app->window().resize(1700, 1320);
    QCoreApplication::processEvents();
    ASSERT_EQ(view()->scale(), 2);
    EXPECT_EQ(view()->placement().origin.x, (1700 - 1584) / 2);
    EXPECT_TRUE(marked(menu::kWindowSize2x));
    EXPECT_FALSE(marked(menu::kWindowSize1x));
    EXPECT_TRUE(shows_surface_scaled());

    // The channel up button, at its doubled position: the channel steps from Both to Port.
    ASSERT_EQ(app->state().settings.SSTrain, ChannelSelection::Both);
    const Point button{layout().train_up_button.x + 5, layout().train_up_button.y + 5};
    const QPoint at = view()->to_view(button);
    EXPECT_GT(at.x(), 2 * button.x);
    QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(app->state().settings.SSTrain, ChannelSelection::Port);
    // The same spot at scale 1 would be far off the panel: nothing else was hit.
    QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, QPoint(button.x, button.y));
    EXPECT_EQ(app->state().settings.SSTrain, ChannelSelection::Port);
    view()->repaint();
    EXPECT_TRUE(shows_surface_scaled());

    // Back to 1x from the menu: the window is as it was at the start.
    menu(menu::kWindowSize1x);
    QCoreApplication::processEvents();
    EXPECT_EQ(app->window().size(), today);
    EXPECT_EQ(view()->scale(), 1);
    EXPECT_EQ(view()->placement().origin, (Point{0, 0}));
    EXPECT_TRUE(marked(menu::kWindowSize1x));
    EXPECT_FALSE(marked(menu::kWindowSize2x));
    EXPECT_TRUE(shows_surface_scaled());
}

TEST_F(WindowScale, MenuSizesTheWindowAndTheScaleIsRememberedInItsOwnSection) {
    const struct {
        int item;
        int scale;
    } cases[] = {{menu::kWindowSize3x, 3}, {menu::kWindowSize2x, 2}, {menu::kWindowSize1x, 1}};
    for (const auto& c : cases) {
        start("[Settings]\nSSGain=9\n");
        menu(c.item);
        QCoreApplication::processEvents();
        EXPECT_EQ(view()->size(), QSize(792, 600) * c.scale);
        EXPECT_EQ(view()->scale(), c.scale);
        for (int id : {menu::kWindowSize1x, menu::kWindowSize2x, menu::kWindowSize3x})
            EXPECT_EQ(marked(id), id == c.item) << id;
        close();
        EXPECT_EQ(ini("Window", "Scale"), std::to_string(c.scale));
        EXPECT_EQ(ini("Settings", "SSGain"), "9");
        EXPECT_EQ(ini("Settings", "Scale"), std::nullopt);

        // The next start opens at the stored scale.
        start(("[Settings]\n[Window]\nScale=" + std::to_string(c.scale) + "\n").c_str());
        EXPECT_EQ(view()->scale(), c.scale);
        EXPECT_EQ(view()->size(), QSize(792, 600) * c.scale);
        EXPECT_TRUE(marked(c.item));
        close();
    }
}

TEST_F(WindowScale, SaveScreenCapturesTheWindowAsDisplayed) {
    start();
    app->window().resize(1700, 1320);
    QCoreApplication::processEvents();
    ASSERT_EQ(view()->scale(), 2);
    const QImage shot = capture_main_window(app->window());
    EXPECT_EQ(shot.size(), app->window().size());
    // Every client pixel of the panel's Hold box appears doubled where the view shows it.
    const QImage surface = surface_copy();
    const QPoint view_at = view()->mapTo(&app->window(), QPoint(0, 0));
    for (int y = 500; y < 520; ++y) {
        for (int x = 100; x < 150; ++x) {
            const QPoint corner = view_at + view()->to_view({x, y}) - QPoint(1, 1);
            for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
                ASSERT_EQ(shot.pixel(corner + d) | 0xff000000u, surface.pixel(x, y) | 0xff000000u)
                    << x << "," << y;
            }
        }
    }
}

TEST_F(WindowScale, ArrowKeysMoveThePointerByScaledSteps) {
    start();
    app->window().resize(1700, 1320);
    QCoreApplication::processEvents();
    ASSERT_EQ(view()->scale(), 2);
    const Point start_at{400, 300};
    QCursor::setPos(view()->mapToGlobal(view()->to_view(start_at)));
    QTest::keyPress(view(), Qt::Key_Right);  // a step of one client pixel: two on the screen
    EXPECT_EQ(view()->mapFromGlobal(QCursor::pos()), view()->to_view({401, 300}));
    EXPECT_EQ(app->state().panel.mouse_x, 401);
    QTest::keyPress(view(), Qt::Key_Down);  // 1.5 client pixels, cut to one
    EXPECT_EQ(view()->mapFromGlobal(QCursor::pos()), view()->to_view({401, 301}));
    QTest::keyRelease(view(), Qt::Key_Down);
}

TEST_F(WindowScale, ToolWindowsAndDialogsFollowTheScale) {
    start();
    // A screen large enough that no dialog is pushed back from its edges.
    app->state().run.screen_width = 5000;
    app->state().run.screen_height = 4000;
    const QSize diagnostics = app->window().diagnostics_window()->size();
    const QSize zoom = app->window().zoom_window()->size();
    EXPECT_EQ(client_scale(&app->window()), 1);
    const PlacementFrame one = placement_frame(&app->window(), app->program().screen_size());
    const QPoint about_at_one = centred_dialog_position(one, QSize(100, 80), kWaterfallCentre);

    app->window().resize(1700, 1320);
    QCoreApplication::processEvents();
    EXPECT_EQ(app->window().diagnostics_window()->size(), diagnostics * 2);
    EXPECT_EQ(app->window().zoom_window()->size(), zoom * 2);
    EXPECT_EQ(client_scale(&app->window()), 2);
    EXPECT_EQ(dialog_font(2).pointSize(), 2 * dialog_font(1).pointSize());

    // A dialog centred on the waterfall moves to where the enlarged waterfall's middle is.
    const PlacementFrame two = placement_frame(&app->window(), app->program().screen_size());
    EXPECT_EQ(two.scale, 2);
    EXPECT_EQ(two.client_offset,
              QPoint(view()->placement().origin.x, view()->placement().origin.y));
    const QPoint about_at_two = centred_dialog_position(two, QSize(100, 80), kWaterfallCentre);
    EXPECT_EQ(about_at_two - about_at_one + (one.window.topLeft() - two.window.topLeft()),
              kWaterfallCentre + two.client_offset);
    // Manual Speed keeps its place over the client area, which now starts further in.
    EXPECT_EQ(client_origin(&app->window()),
              view()->mapToGlobal(QPoint(two.client_offset.x(), two.client_offset.y())));
}

}  // namespace
}  // namespace kelvanor
