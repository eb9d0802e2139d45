#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "control/app_state.h"
#include "headlink/diagnostics_view.h"
#include "headlink/link_indicators.h"

namespace kelvanor {
namespace {

// Records the calls a drawing makes; every character is one 8 x 16 cell.
class CallSurface final : public Surface {
  public:
    struct Fill {
        Rect rect;
        PaletteIndex colour;
    };
    struct Text {
        Point at;
        std::string text;
        PaletteIndex colour;
        std::optional<PaletteIndex> background;
    };
    Size size() const override { return {120, 242}; }
    void set_palette(const PaletteEntries&) override {}
    void fill_rect(Rect rect, PaletteIndex colour) override { fills.push_back({rect, colour}); }
    void frame_rect(Rect rect, PaletteIndex colour) override { frames.push_back({rect, colour}); }
    void line(Point, Point, PaletteIndex) override {}
    void ellipse(Rect, PaletteIndex, std::optional<PaletteIndex>) override {}
    void text(Point at, std::string_view text, PaletteIndex colour,
              std::optional<PaletteIndex> background) override {
        texts.push_back({at, std::string(text), colour, background});
    }
    Size text_extent(std::string_view text) const override {
        return {static_cast<int>(text.size()) * char_width, 16};
    }
    void glyph(SystemGlyph, Rect) override {}
    void set_clip(std::optional<Rect>) override {}
    void blit_indexed(Point, Size, const uint8_t*, int) override {}
    Rgb pixel(Point) const override { return {}; }

    const Text* text_at(Point at) const {
        for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
            if (it->at == at) return &*it;
        }
        return nullptr;
    }

    int char_width = 8;
    std::vector<Fill> fills;
    std::vector<Fill> frames;
    std::vector<Text> texts;
};

DiagnosticsSnapshot snapshot_with_reply(char model, uint8_t range) {
    DiagnosticsSnapshot s;
    s.reply.header = {'Q', static_cast<uint8_t>(model), 'Z', 0x10, 0x01, 1, 0, range, 0, 0, 0x10,
                      0x03};
    s.reply.terminator = 0xFC;
    s.reply.reply_length = 413;
    s.reply_type = 1;
    s.ss_delay = 20;
    s.delay_loops_per_second = 123456;
    std::snprintf(s.ping_interval_text.data(), s.ping_interval_text.size(), "%d", 207);
    s.lines_per_ping = 1.25f;
    s.columns_per_mark = 17;
    s.speed_knots = 3.5f;
    return s;
}

TEST(DiagnosticsValues, BeforeTheFirstReplyReplyRowsShowNa) {
    DiagnosticsSnapshot s;
    s.ss_delay = 8;
    s.delay_loops_per_second = 1000;
    s.lines_per_ping = 1.0f;
    s.speed_knots = 3.0f;
    const auto v = diagnostics_values(s);
    for (int row = 0; row < 7; ++row) EXPECT_EQ(v[static_cast<size_t>(row)], "n/a") << row;
    EXPECT_EQ(v[7], "8");
    EXPECT_EQ(v[8], "1000");
    EXPECT_EQ(v[9], "");
    EXPECT_EQ(v[10], "1.00");
    EXPECT_EQ(v[11], "0");
    EXPECT_EQ(v[12], "3.0 KTS");
}

TEST(DiagnosticsValues, TheLastRowNamesTheDevicesThatAreAway) {
    const std::tuple<bool, bool, const char*> cases[] = {
        {false, false, "none"}, {true, false, "HEAD"}, {false, true, "GPS"}, {true, true, "BOTH"}};
    for (const auto& [head, gps, text] : cases) {
        DiagnosticsSnapshot s;
        s.head_missing = head;
        s.gps_missing = gps;
        EXPECT_EQ(diagnostics_values(s)[13], text);
    }
    // Taken from the running threads' flags only.
    AppState app;
    app.link.device_missing = 1;
    app.gps.device_missing = 1;
    EXPECT_FALSE(take_diagnostics_snapshot(app).head_missing);
    app.link.acquisition_running = 1;
    app.gps.gps_running = 1;
    EXPECT_TRUE(take_diagnostics_snapshot(app).head_missing);
    EXPECT_TRUE(take_diagnostics_snapshot(app).gps_missing);
}

TEST(DiagnosticsValues, ReplyRowsShowTheHeader) {
    const auto v = diagnostics_values(snapshot_with_reply('G', 30));
    EXPECT_EQ(v[0], "0x10");
    EXPECT_EQ(v[1], "QGZ");
    EXPECT_EQ(v[2], "0x01");
    EXPECT_EQ(v[3], "30 M");
    EXPECT_EQ(v[4], "Dual");
    EXPECT_EQ(v[5], "400");  // 3 * 128 + 16
    EXPECT_EQ(v[6], "0xFC");
    EXPECT_EQ(v[9], "207");
    EXPECT_EQ(v[10], "1.25");
    EXPECT_EQ(v[11], "17");
    EXPECT_EQ(v[12], "3.5 KTS");
}

TEST(DiagnosticsValues, PingIntervalOnlyForTheSideScanHeadAndTypeOtherThanDualIsSingle) {
    DiagnosticsSnapshot s = snapshot_with_reply('G', 30);
    s.reply.header[3] = 0x12;
    s.reply_type = 7;
    const auto v = diagnostics_values(s);
    EXPECT_EQ(v[9], "");
    EXPECT_EQ(v[4], "Single");
}

TEST(DiagnosticsValues, RangeInFeetFollowsTheTableAndAnythingElseIsUnknown) {
    const std::pair<int, const char*> feet[] = {{15, "50 FT"},   {30, "100 FT"},  {60, "200 FT"},
                                                {90, "300 FT"},  {120, "400 FT"}, {150, "500 FT"},
                                                {180, "600 FT"}, {210, "700 FT"}, {240, "800 FT"},
                                                {45, "??? FT"},  {0, "??? FT"}};
    for (auto [metres, text] : feet)
        EXPECT_EQ(diagnostics_range_text(metres, LengthUnit::Feet), text);
    EXPECT_EQ(diagnostics_range_text(45, LengthUnit::Metres), "45 M");
}

TEST(DiagnosticsSnapshotTaking, WhileAcquisitionRunsThePublishedCopyIsRead) {
    AppState app;
    app.head.reply_length = 413;
    app.head.head_reply[0] = 'Q';
    app.head.head_reply[7] = 30;
    app.head.head_reply[412] = 0xFC;
    publish_reply_copy(app);
    // A new reply is being copied in: the window must not see it half-written.
    app.head.head_reply[7] = 99;
    app.link.acquisition_running = 1;
    DiagnosticsSnapshot s = take_diagnostics_snapshot(app);
    EXPECT_EQ(s.reply.header[7], 30);
    EXPECT_EQ(s.reply.terminator, 0xFC);
    // With no acquisition thread (FILE mode) only the GUI thread writes the buffer.
    app.link.acquisition_running = 0;
    s = take_diagnostics_snapshot(app);
    EXPECT_EQ(s.reply.header[7], 99);
}

TEST(DiagnosticsSnapshotTaking, AReplyLengthBeyondTheBufferGivesNoTerminator) {
    AppState app;
    app.head.reply_length = 5000;
    app.head.head_reply.fill(0xFC);
    EXPECT_EQ(take_diagnostics_snapshot(app).reply.terminator, 0);
    app.head.reply_length = 0;
    EXPECT_EQ(take_diagnostics_snapshot(app).reply.terminator, 0);
}

TEST(DiagnosticsDrawing, PaintWritesLabelsSeparatorsAndValuesInTheirCells) {
    CallSurface surface;
    const FontMetrics font{8, 16};
    const DiagnosticsLayout layout = diagnostics_layout(font, surface);
    draw_diagnostics(surface, layout, snapshot_with_reply('G', 30), true);
    ASSERT_FALSE(surface.fills.empty());
    EXPECT_EQ(surface.fills.front().rect, (Rect{0, 0, 120, 242}));
    EXPECT_EQ(surface.fills.front().colour, 122);
    const auto labels = diagnostics_labels();
    for (int row = 0; row < kDiagnosticsRows; ++row) {
        const int y = 6 + row * 16;
        const auto* label = surface.text_at({10, y});
        ASSERT_NE(label, nullptr) << row;
        EXPECT_EQ(label->text, labels[static_cast<size_t>(row)]);
        EXPECT_EQ(label->colour, 125);
        EXPECT_FALSE(label->background.has_value());
        const auto* dash = surface.text_at({layout.dash_x, y});
        ASSERT_NE(dash, nullptr) << row;
        EXPECT_EQ(dash->text, "-");
    }
    const auto* range = surface.text_at({layout.value_left + 4, 6 + 3 * 16});
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->text, "30 M");
    EXPECT_EQ(layout.value_box(3).top, 54);
    EXPECT_EQ(layout.value_box(3).bottom, 70);
    EXPECT_EQ(layout.window.height, 242);
}

// Every label ends before its dash, the dash before the value box, the widest values fit
// the box with a margin and the box fits the window, whatever the width of the font's
// characters; the character-cell places stay the least the layout uses.
TEST(DiagnosticsDrawing, LayoutMakesRoomForTheFontsTexts) {
    for (const int char_width : {4, 6, 8, 11}) {
        SCOPED_TRACE(char_width);
        CallSurface measure;
        measure.char_width = char_width;
        const FontMetrics font{char_width, 16};
        const DiagnosticsLayout l = diagnostics_layout(font, measure);
        auto width = [&](std::string_view t) { return measure.text_extent(t).width; };
        for (const std::string& label : diagnostics_labels()) {
            EXPECT_LT(10 + width(label), l.dash_x) << label;
        }
        EXPECT_GE(l.dash_x, 6 * char_width + 10);
        EXPECT_LT(l.dash_x + width("-"), l.value_left);
        EXPECT_GE(l.value_left, 7 * char_width + 11);
        for (const char* value : {"2147483647", "??? FT", "10.0 KTS", "Single", "0x10"}) {
            EXPECT_LE(l.value_left + 4 + width(value), l.value_right) << value;
        }
        EXPECT_LE(l.value_right, l.window.width);
        EXPECT_GE(l.window.width, 170);
        EXPECT_EQ(l.window.height, 15 * 16 + 2);
    }
}

TEST(DiagnosticsDrawing, RefreshOnlyRefillsValueBoxesAndLeavesOutAPingIntervalTooWide) {
    CallSurface surface;
    const FontMetrics font{8, 16};
    DiagnosticsSnapshot s = snapshot_with_reply('G', 30);
    const DiagnosticsLayout layout = diagnostics_layout(font, surface);
    std::snprintf(s.ping_interval_text.data(), s.ping_interval_text.size(), "%s", "99999999999");
    draw_diagnostics(surface, layout, s, false);
    EXPECT_EQ(surface.fills.size(), static_cast<size_t>(kDiagnosticsRows));
    for (const auto& fill : surface.fills) EXPECT_EQ(fill.colour, 122);
    EXPECT_EQ(surface.text_at({10, 6}), nullptr);  // no labels
    const int x = layout.value_left + 4;
    EXPECT_EQ(surface.text_at({x, 6 + 9 * 16}), nullptr);  // too wide for the box
    EXPECT_NE(surface.text_at({x, 6 + 10 * 16}), nullptr);
}

TEST(NoDataNotice, DrawnInRedWithAGreyOutlineAndErasedToThePanel) {
    CallSurface surface;
    const FontMetrics font{8, 16};
    EXPECT_EQ(no_data_text(0), "No Data at COM1");
    EXPECT_EQ(no_data_text(6), "No Data at COM7");
    draw_no_data_notice(surface, font, no_data_text(2), 120);
    EXPECT_EQ(surface.fills.back().rect, (Rect{402, 504, 532, 523}));
    EXPECT_EQ(surface.fills.back().colour, 127);
    EXPECT_EQ(surface.frames.back().colour, 123);
    const auto* text = surface.text_at({411, 505});
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, "No Data at COM3");
    EXPECT_EQ(text->colour, 120);
    erase_no_data_notice(surface, font);
    EXPECT_EQ(surface.fills.back().rect, (Rect{402, 504, 532, 523}));
    EXPECT_EQ(surface.fills.back().colour, 121);
}

TEST(PingIndicator, StarBlinksOnValidPingsAndStaysOffOtherwise) {
    const FontMetrics font{8, 16};
    SharedInt phase = 0;
    int stars = 0;
    for (int ping = 0; ping < 6; ++ping) {
        CallSurface surface;
        draw_ping_indicator(surface, font, true, phase, 120);
        EXPECT_EQ(surface.fills.back().rect, (Rect{558, 530, 582, 549}));
        if (!surface.texts.empty()) {
            ++stars;
            EXPECT_EQ(surface.texts.back().text, "*");
            EXPECT_EQ(surface.texts.back().at, (Point{562, 533}));  // centred on x = 566
        }
    }
    EXPECT_EQ(stars, 3);
    for (int retry = 0; retry < 4; ++retry) {
        CallSurface surface;
        draw_ping_indicator(surface, font, false, phase, 120);
        EXPECT_TRUE(surface.texts.empty());
    }
}

}  // namespace
}  // namespace kelvanor
