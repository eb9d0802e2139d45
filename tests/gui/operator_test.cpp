// The window as an operator meets it: what the panel shows once pings have been drawn, what
// happens when the pointer leaves the waterfall, where the tool windows open, which menu
// items carry a check mark.

#include <gtest/gtest.h>

#include <QAction>
#include <QFocusEvent>
#include <QMouseEvent>

#include <string>
#include <vector>

#include "app/application.h"
#include "gui_support.h"
#include "headlink/link_indicators.h"
#include "platform/menu_ids.h"
#include "waterfall/palette.h"
#include "waterfall/target_measurement.h"

namespace kelvanor {
namespace {

using test::FastClock;
using test::wait_until;
using test::WorkingFolder;

StartOptions options_for(Clock& clock, bool demo) {
    static Devices no_devices;  // no serial port of the test machine is touched
    StartOptions options;
    options.clock = &clock;
    options.show_logo = false;
    options.watch_signals = false;
    options.unattended = true;
    options.demo = demo;
    if (!demo) options.devices = &no_devices;
    return options;
}

void close(Application& app) {
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
}

struct PixelCount {
    int white = 0;
    int grid = 0;  // the colour palette entry 255 has in the image
};

PixelCount count_pixels(const QtSurface& surface, Rect area, Rgb grid) {
    PixelCount n;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const Rgb p = surface.pixel({x, y});
            n.white += p == Rgb{255, 255, 255};
            n.grid += p == grid;
        }
    }
    return n;
}

// Every element drawn in plain white is white, not the image's colour for the same palette
// entry, once pings have been drawn and the image blitted: the panel painted again (as on an
// expose), the ping star, the "No Data" notice.
TEST(Operator, WhiteIsWhiteAfterPingsAndImageBlits) {
    WorkingFolder folder;
    FastClock clock;
    Application app(options_for(clock, true));
    app.start();
    AppState& state = app.state();
    ASSERT_TRUE(wait_until([&] { return state.ping.column_history.history_index != 0; }))
        << "no ping was drawn";
    blit_image_with_overlays(state, app.surface());
    app.program().repaint_panel();
    blit_image_with_overlays(state, app.surface());
    ASSERT_TRUE(wait_until([&] { return state.ping.column_history.history_index < 780; }));
    {
        std::lock_guard lock(app.surface().mutex());
        draw_no_data_notice(app.surface(), panel_font().metrics, "No Data at COM1", kPaletteWhite);
    }

    const Rgb grid = make_palette(state.settings.Colors)[kPaletteWhite];
    ASSERT_NE(grid, (Rgb{255, 255, 255}));
    const PanelLayout& l = state.panel.layout;
    const int cy = l.cy;
    auto label = [&](Point at, const char* text) {
        return Rect{at.x, at.y, at.x + app.surface().text_extent(text).width, at.y + cy};
    };
    const int label_y = 521 - cy - 2;
    const struct {
        const char* what;
        Rect area;
    } whites[] = {
        {"DATA FROM", label(l.data_from_label, "DATA FROM")},
        {"Range", label({l.range_box.left + 2, label_y}, "Range")},
        {"Gain", label({l.gain_box.left + 2, label_y}, "Gain")},
        {"Channel", label({l.channel_box.left + 2, label_y}, "Channel")},
        {"Hold", label({119, 503}, "Hold")},
        {"LAT", label({657, 522}, "LAT")},
        {"LNG", label({657, cy + 520}, "LNG")},
        {"range value", l.range_box},
        {"gain value", l.gain_box},
        {"FILE button edge",
         Rect{l.file_button.x, l.file_button.y, l.file_button.x + 20, l.file_button.y + 1}},
        {"No Data notice", label(kNoDataTextAt, "No Data at COM1")},
    };
    {
        // Not held while the program closes: its refresh takes the lock.
        std::lock_guard lock(app.surface().mutex());
        for (const auto& w : whites) {
            const PixelCount n = count_pixels(app.surface(), w.area, grid);
            EXPECT_GT(n.white, 0) << w.what;
            EXPECT_EQ(n.grid, 0) << w.what;
        }
        EXPECT_EQ(count_pixels(app.surface(), ping_indicator_rect(panel_font().metrics), grid).grid,
                  0)
            << "ping star";
    }
    close(app);
}

// Leaving the waterfall by any way but over the panel (out of the window, up to the menu
// bar, under another window, the focus gone) shows the live read-outs again.
TEST(Operator, LeavingTheWaterfallAnyWayClearsTheHistoryView) {
    WorkingFolder folder;
    FastClock clock;
    Application app(options_for(clock, false));
    app.start();
    SurfaceView* view = app.window().view();
    const std::vector<QEvent::Type> leaves = {QEvent::Leave, QEvent::FocusOut};
    for (QEvent::Type leave : leaves) {
        SCOPED_TRACE(leave);
        QMouseEvent move(QEvent::MouseMove, QPointF(300, 200), view->mapToGlobal(QPointF(300, 200)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
        ASSERT_EQ(app.state().ping.history_view, 1);
        if (leave == QEvent::FocusOut) {
            QFocusEvent event(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
            QCoreApplication::sendEvent(view, &event);
        } else {
            QEvent event(leave);
            QCoreApplication::sendEvent(view, &event);
        }
        EXPECT_EQ(app.state().ping.history_view, 0);
    }
    close(app);
}

// The tool windows open at their offsets from the main window's client area, wherever the
// main window is, and the Diagnostics window is as wide as its content.
TEST(Operator, ToolWindowsOpenOverTheMainWindow) {
    WorkingFolder folder;
    FastClock clock;
    Application app(options_for(clock, false));
    app.start();
    app.window().move(230, 170);
    const struct {
        int id;
        ToolWindow* window;
        QPoint offset;
    } tools[] = {{menu::kDiagnostics, app.window().diagnostics_window(), {10, 10}},
                 {menu::kZoom, app.window().zoom_window(), {2, 2}}};
    for (const auto& t : tools) {
        SCOPED_TRACE(t.id);
        app.window().action(t.id)->trigger();
        ASSERT_TRUE(t.window->isVisible());
        EXPECT_EQ(t.window->pos(), app.window().view()->mapToGlobal(t.offset));
    }
    EXPECT_GE(app.window().diagnostics_window()->width(), 170);
    // Closing with the tool windows open: they go too, or they would hold up the quit.
    close(app);
    for (const auto& t : tools) EXPECT_FALSE(t.window->isVisible()) << t.id;
}

// Only the items whose state the menu shows carry a check mark.
TEST(Operator, OnlyMarkedMenuItemsAreCheckable) {
    WorkingFolder folder;
    FastClock clock;
    Application app(options_for(clock, false));
    app.start();
    const std::vector<int> marked = {menu::kHead,
                                     menu::kFile,
                                     menu::kColor,
                                     menu::kGrey,
                                     menu::kReverseGrey,
                                     menu::kBrown,
                                     menu::kMeters,
                                     menu::kFeet,
                                     menu::kGrid,
                                     menu::kDiagnostics,
                                     menu::kZoom,
                                     menu::kSpeedFromGps,
                                     menu::kSpeedCorrection,
                                     menu::kAlongTrackMarks,
                                     menu::kTargetLength,
                                     menu::kTargetHeight,
                                     menu::kLow,
                                     menu::kHigh};
    const std::vector<int> plain = {menu::kRecord,      menu::kPlayback,       menu::kCopy,
                                    menu::kSaveScreen,  menu::kExit,           menu::kClearScreen,
                                    menu::kManualSpeed, menu::kChannelBalance, menu::kComPorts,
                                    menu::kAbout};
    for (int id : marked) EXPECT_TRUE(app.window().action(id)->isCheckable()) << id;
    for (int id : plain) EXPECT_FALSE(app.window().action(id)->isCheckable()) << id;
    close(app);
}

}  // namespace
}  // namespace kelvanor
