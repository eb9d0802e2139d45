#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "control/app_state.h"
#include "panel/panel_hooks.h"
#include "panel/panel_layout.h"
#include "panel/panel_paint.h"
#include "panel/readouts.h"
#include "platform/qt_surface.h"

namespace kelvanor {
namespace {

// The window's surface with the panel font, recording where every text went and how far
// it reached.
class RecordingSurface final : public Surface {
  public:
    struct Text {
        std::string text;
        Rect extent;
    };
    RecordingSurface() : inner_(Size{792, 600}) {}
    Size size() const override { return inner_.size(); }
    void set_palette(const PaletteEntries& e) override { inner_.set_palette(e); }
    void fill_rect(Rect r, PaletteIndex c) override { inner_.fill_rect(r, c); }
    void frame_rect(Rect r, PaletteIndex c) override { inner_.frame_rect(r, c); }
    void line(Point a, Point b, PaletteIndex c) override { inner_.line(a, b, c); }
    void ellipse(Rect r, PaletteIndex p, std::optional<PaletteIndex> f) override {
        inner_.ellipse(r, p, f);
    }
    void text(Point at, std::string_view t, PaletteIndex c,
              std::optional<PaletteIndex> bg) override {
        const Size s = inner_.text_extent(t);
        // With a background the cells are filled; without, only the glyphs' ink shows.
        const Rect ink = bg ? Rect{0, 0, s.width, s.height} : ink_of(t, s);
        texts.push_back({std::string(t),
                         {at.x + ink.left, at.y + ink.top, at.x + ink.right, at.y + ink.bottom}});
        inner_.text(at, t, c, bg);
    }
    Size text_extent(std::string_view t) const override { return inner_.text_extent(t); }
    void glyph(SystemGlyph g, Rect r) override { inner_.glyph(g, r); }
    void set_clip(std::optional<Rect> r) override {
        clip = r;
        inner_.set_clip(r);
    }
    void blit_indexed(Point at, Size s, const uint8_t* p, int stride) override {
        inner_.blit_indexed(at, s, p, stride);
    }
    Rgb pixel(Point at) const override { return inner_.pixel(at); }

    std::vector<Text> texts;
    std::optional<Rect> clip;

  private:
    // The pixels a transparent text really covers, relative to its origin.
    static Rect ink_of(std::string_view t, Size s) {
        QtSurface scratch({s.width + 8, s.height + 8});
        PaletteEntries palette{};
        palette[1] = {255, 255, 255};
        scratch.set_palette(palette);
        scratch.fill_rect({0, 0, s.width + 8, s.height + 8}, 0);
        scratch.text({4, 4}, t, 1);
        Rect ink{s.width + 8, s.height + 8, 0, 0};
        for (int y = 0; y < s.height + 8; ++y) {
            for (int x = 0; x < s.width + 8; ++x) {
                if (scratch.pixel({x, y}) == Rgb{0, 0, 0}) continue;
                ink = {std::min(ink.left, x - 4), std::min(ink.top, y - 4),
                       std::max(ink.right, x - 3), std::max(ink.bottom, y - 3)};
            }
        }
        return ink.right > ink.left ? ink : Rect{0, 0, 0, 0};
    }

    QtSurface inner_;
};

bool inside(Rect inner, Rect outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Every text whose origin lies in a read-out box or button fits inside it, with the real
// panel font, for every value the panel can show: texts with a background by their cells,
// transparent ones by their ink.
TEST(PanelLayout, EveryTextFitsItsBox) {
    AppState app;
    app.panel.layout = compute_panel_layout(panel_font().metrics);
    const PanelLayout& l = app.panel.layout;
    const std::vector<std::pair<const char*, Rect>> boxes = {
        {"range", l.range_box},
        {"gain", l.gain_box},
        {"channel", l.channel_box},
        {"head", l.head_button.rect()},
        {"file", l.file_button.rect()},
        {"date and time", l.date_time_box},
        {"position", l.position_box},
        // The frequency and balance texts run past their small boxes on the panel, but stay
        // clear of each other and of the Range box.
        {"frequency", Rect{101, 520, 160, 539}},
        {"balance", Rect{102, 539, 160, 556}},
    };
    PanelHooks hooks;
    RecordingSurface surface;
    int checked = 0;
    auto check_texts = [&](const std::string& situation) {
        for (const auto& t : surface.texts) {
            for (const auto& [name, box] : boxes) {
                if (!box.contains({t.extent.left, t.extent.top})) continue;
                ++checked;
                EXPECT_TRUE(inside(t.extent, box))
                    << '"' << t.text << "\" leaves the " << name << " box (" << situation
                    << "): text " << t.extent.left << ".." << t.extent.right << " x "
                    << t.extent.top << ".." << t.extent.bottom << ", box " << box.left << ".."
                    << box.right << " x " << box.top << ".." << box.bottom;
            }
        }
        surface.texts.clear();
    };
    for (int run_mode : {0, 1}) {
        for (int units : {0, 1}) {
            for (int range = 0; range <= 8; ++range) {
                for (int frequency : {0, 1}) {
                    app.settings.RunMode = static_cast<RunMode>(run_mode);
                    app.settings.Units = static_cast<LengthUnit>(units);
                    app.settings.SSRange = range;
                    app.settings.Frequency = static_cast<FrequencyBand>(frequency);
                    app.settings.file_frequency = static_cast<FrequencyBand>(frequency);
                    app.settings.SSGain = range * 5;
                    app.settings.SSTrain = static_cast<ChannelSelection>(range % 3);
                    app.settings.ChannelBalance = range * 7;
                    app.settings.PlotSpeed = range * 10;
                    paint_panel(panel_context(app), surface, nullptr, hooks);
                    check_texts("mode " + std::to_string(run_mode) + ", units " +
                                std::to_string(units) + ", range " + std::to_string(range));
                }
            }
        }
    }
    // "Plot Spd" inside its bar, clear of the right arrow (FILE mode only).
    app.settings.RunMode = RunMode::File;
    paint_panel(panel_context(app), surface, nullptr, hooks);
    bool plot_speed_seen = false;
    for (const auto& t : surface.texts) {
        if (t.text != "Plot Spd") continue;
        plot_speed_seen = true;
        // Up to the right arrow at 454; the descender may touch the frame's bottom edge.
        EXPECT_TRUE(inside(t.extent, Rect{405, 506, 454, 522}))
            << "\"Plot Spd\" covers " << t.extent.left << ".." << t.extent.right << " x "
            << t.extent.top << ".." << t.extent.bottom << "; the right arrow is at x 454";
    }
    EXPECT_TRUE(plot_speed_seen);
    surface.texts.clear();
    draw_date_time(panel_context(app), surface, nullptr, "28-SEP-2026  23:58:59");
    check_texts("date and time");
    app.settings.RunMode = RunMode::File;
    draw_line_position(panel_context(app), surface, nullptr, "5420.1234N 01007.5678E  ", true);
    check_texts("line position");
    EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace kelvanor
