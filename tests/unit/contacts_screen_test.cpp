// Contacts on the waterfall: the picture cut from the image, the column serials that let a
// marker follow its column, the markers drawn over the image, the measurement a contact
// takes, and a ping found in its file by record index or by byte offset alike.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "contacts/file_contact.h"
#include "control/app_state.h"
#include "datafile/record_source.h"
#include "memory_surface.h"
#include "settings/sensor_offsets_io.h"
#include "sim/survey_recording.h"
#include "waterfall/column_history.h"
#include "waterfall/contact_markers.h"
#include "waterfall/image.h"
#include "waterfall/image_crop.h"
#include "waterfall/target_measurement.h"

namespace kelvanor {
namespace {

using test::MemorySurface;

// Every image pixel gets a value from its place, and the palette a colour per value that no
// other value shares, so that a picture's pixel says which image pixel it came from.
void fill_image(AppState& app) {
    const ImageLock held = lock_image(app.waterfall);
    for (int r = 0; r < kImageHeight; ++r) {
        for (int c = 0; c < kImageWidth; ++c) {
            set_image_pixel(app.waterfall, held, r, c, static_cast<uint8_t>((r * 7 + c * 3) % 251));
        }
    }
    for (int i = 0; i < 256; ++i) {
        app.waterfall.palette[static_cast<size_t>(i)] =
            Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 77};
    }
}

TEST(ContactPicture, ImagePixelsThroughThePaletteBlackPastTheEdges) {
    auto owned = std::make_unique<AppState>();
    AppState& app = *owned;
    fill_image(app);
    struct Case {
        const char* name;
        int row;
        int column;
    } cases[] = {
        {"middle", 250, 400},   {"top-left corner", 0, 0},    {"bottom-right corner", 499, 783},
        {"left edge", 300, 10}, {"far outside", -1000, 5000}, {"just outside the top", -64, 100},
    };
    const int n = kContactPictureSize;
    for (const Case& c : cases) {
        const std::vector<uint8_t> rgb = crop_image_rgb24(app.waterfall, c.row, c.column);
        ASSERT_EQ(rgb.size(), static_cast<size_t>(n * n * 3)) << c.name;
        int inside = 0;
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                const int r = c.row - n / 2 + y;
                const int col = c.column - n / 2 + x;
                const uint8_t* p = &rgb[static_cast<size_t>((y * n + x) * 3)];
                Rgb want{0, 0, 0};
                if (r >= 0 && r < kImageHeight && col >= 0 && col < kImageWidth) {
                    const ImageLock held = lock_image(app.waterfall);
                    want = app.waterfall.palette[image_pixel(app.waterfall, held, r, col)];
                    ++inside;
                }
                ASSERT_EQ((Rgb{p[0], p[1], p[2]}), want) << c.name << " at " << x << "," << y;
            }
        }
        if (c.row == 250) {
            EXPECT_EQ(inside, n * n);
        }
        if (c.row == -1000) {
            EXPECT_EQ(inside, 0);
        }
    }
}

HistoryEntry entry_with_range(int32_t metres) {
    HistoryEntry e;
    e.reply_header[0] = 'Q';
    e.reply_header[7] = static_cast<uint8_t>(metres);
    return e;
}

// A column keeps its serial while it scrolls across the screen; it leaves at the left edge,
// and Clear Screen (which zeroes the records alone) takes it off too.
TEST(ColumnSerials, ColumnIsFoundWhileOnScreen) {
    ColumnHistory history;
    store_history_records(history, entry_with_range(60), 10, ColumnSource{0, 1234, {2.5f, 0.0f}});
    const int32_t newest_slot = history_slot_for_column(history.history_index, kHistoryColumns);
    const std::optional<ColumnSource> newest = column_source(history, newest_slot);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->serial, 10u);
    EXPECT_EQ(newest->record_offset, 1234);
    EXPECT_EQ(newest->altitude_metres[0], 2.5f);
    EXPECT_EQ(screen_column_of(history, 10), kHistoryColumns);
    EXPECT_EQ(screen_column_of(history, 1), kHistoryColumns - 9);
    EXPECT_FALSE(screen_column_of(history, 11)) << "not drawn yet";
    EXPECT_FALSE(screen_column_of(history, 0));

    store_history_records(history, entry_with_range(60), 100);
    EXPECT_EQ(screen_column_of(history, 10), kHistoryColumns - 100);
    EXPECT_EQ(
        column_source(history, history_slot_for_column(history.history_index, kHistoryColumns))
            ->record_offset,
        -1);
    store_history_records(history, entry_with_range(60), kHistoryColumns - 100 - 1);
    EXPECT_EQ(screen_column_of(history, 10), 1) << "the oldest column on screen";
    store_history_records(history, entry_with_range(60), 1);
    EXPECT_FALSE(screen_column_of(history, 10)) << "scrolled off";
    // More than a turn at once still numbers every column.
    store_history_records(history, entry_with_range(60), kHistoryColumns + 5);
    EXPECT_EQ(screen_column_of(history, history.next_serial - 1), kHistoryColumns);

    const uint64_t shown = history.next_serial - 3;
    ASSERT_TRUE(screen_column_of(history, shown));
    std::fill(history.records.begin(), history.records.end(), HistoryRecordBytes{});
    EXPECT_FALSE(screen_column_of(history, shown)) << "cleared";
    store_history_records(history, entry_with_range(60), 1);
    EXPECT_FALSE(screen_column_of(history, shown)) << "still cleared after the next ping";
}

class ContactMarkers : public testing::Test {
  protected:
    ContactMarkers() {
        app.settings.channel_code = ChannelCode::Both;
        app.settings.Grid = 0;
        app.settings.AlongTrackMarks = 0;
    }
    // One ping drawn as the pipeline does: image column and history record together.
    void ping() {
        ColumnRequest request;
        draw_ping(app.waterfall, app.settings, request);
        const ImageLock held = lock_image(app.waterfall);
        store_history_records(app.ping.column_history, entry_with_range(60), 1);
    }
    uint64_t newest_serial() const { return app.ping.column_history.next_serial - 1; }
    int light_pixels_near(int x, int y) const {
        return surface.count(Rect{x - 8, y - 8, x + 9, y + 9}, kOverlayLight);
    }
    std::unique_ptr<AppState> owned = std::make_unique<AppState>();
    AppState& app = *owned;
    MemorySurface surface{{800, 600}};
};

// The marker is drawn over its column at every refresh and never into the image; it moves
// left with its column and is gone once the column leaves the screen.
TEST_F(ContactMarkers, FollowTheirColumnAndNeverTouchTheImage) {
    for (int i = 0; i < 20; ++i) ping();
    const uint64_t serial = newest_serial() - 4;  // at screen column 780
    set_contact_markers(app, {ContactMarker{7, serial, 200}});
    EXPECT_TRUE(take_image_changed(app.waterfall)) << "a new marker needs a refresh";
    blit_image_with_overlays(app, surface);
    EXPECT_GT(light_pixels_near(780, 200), 8);
    EXPECT_TRUE(surface.find_text("7"));
    EXPECT_EQ(light_pixels_near(400, 200), 0);
    {
        const ImageLock held = lock_image(app.waterfall);
        for (int r = 190; r < 210; ++r) {
            for (int c = 770; c < kImageWidth; ++c) {
                ASSERT_EQ(image_pixel(app.waterfall, held, r, c), 0)
                    << "image at " << r << "," << c;
            }
        }
    }
    for (int i = 0; i < 100; ++i) ping();
    surface.clear_records();
    blit_image_with_overlays(app, surface);
    EXPECT_EQ(light_pixels_near(780, 200), 0) << "the old place is the image again";
    EXPECT_GT(light_pixels_near(680, 200), 8);
    for (int i = 0; i < 680; ++i) ping();
    surface.clear_records();
    blit_image_with_overlays(app, surface);
    EXPECT_EQ(surface.count(Rect{1, 1, 785, 501}, kOverlayLight), 0);
    EXPECT_FALSE(surface.find_text("7"));
}

// A length or height completed on screen is kept, in metres, for the next contact; starting
// the next measurement forgets it.
TEST(CompletedMeasurement, LengthAtItsSecondPointHeightAtTheShadowEnd) {
    auto owned = std::make_unique<AppState>();
    AppState& app = *owned;
    app.settings.channel_code = ChannelCode::Starboard;
    app.settings.Units = LengthUnit::Feet;  // feet on screen; the contact stores metres
    app.head.range_metres = 60;
    app.ping.columns_per_mark = 100;
    app.run.target_length_mode = 1;
    ASSERT_TRUE(target_right_click(app, {100, 100}));
    EXPECT_FALSE(app.target.completed_length_metres);
    ASSERT_TRUE(target_right_click(app, {200, 100}));
    ASSERT_TRUE(app.target.completed_length_metres);
    EXPECT_NEAR(*app.target.completed_length_metres, 12.0f, 1e-4f);  // 100 rows x 60 x 0.002
    ASSERT_TRUE(target_right_click(app, {300, 100}));
    EXPECT_FALSE(app.target.completed_length_metres) << "a new measurement started";

    app.run.target_length_mode = 0;
    app.run.target_length_active = 0;
    app.run.target_height_mode = 1;
    for (const Point p : {Point{50, 120}, Point{50, 100}, Point{50, 200}}) {
        ASSERT_TRUE(target_left_click(app, p));
        EXPECT_FALSE(app.target.completed_height_metres);
    }
    ASSERT_TRUE(target_left_click(app, {50, 300}));
    ASSERT_TRUE(app.target.completed_height_metres);
    EXPECT_NEAR(
        *app.target.completed_height_metres,
        *target_height(100, 200, 300, HeightScale{ChannelCode::Starboard, 60, LengthUnit::Metres}),
        1e-6f);
}

// A file of synthetic pings in memory, with the offset of every record.
struct MemoryFile {
    std::vector<uint8_t> bytes;
    std::vector<int64_t> offsets;
};
MemoryFile survey_file(int pings) {
    MemoryFile f;
    SurveyRecordingConfig config;
    config.fix_interval_ms = 1000;
    SurveyRecording survey(config);
    RecordBuffer buffer{};
    int32_t previous = 0;
    for (int i = 0; i < pings; ++i) {
        RecordStamp stamp;
        const std::span<const uint8_t> reply = survey.next(stamp);
        stamp.previous_record_length = previous;
        const std::optional<size_t> length = encode_ping_record(stamp, reply, buffer);
        EXPECT_TRUE(length);
        f.offsets.push_back(static_cast<int64_t>(f.bytes.size()));
        f.bytes.insert(f.bytes.end(), buffer.begin(), buffer.begin() + static_cast<long>(*length));
        previous = static_cast<int32_t>(*length);
    }
    return f;
}

TEST(FileContact, RecordIndexAndOffsetFindTheSamePing) {
    const MemoryFile f = survey_file(120);
    MemoryRecordSource source(f.bytes);
    const SensorOffsets offsets{1.0, -0.5, 12.0};
    std::vector<FileTarget> targets;
    for (const int64_t i : {0, 37, 119}) {
        targets.push_back({i, std::nullopt, SonarSide::Starboard, 25.0});
        targets.push_back(
            {std::nullopt, f.offsets[static_cast<size_t>(i)], SonarSide::Starboard, 25.0});
    }
    const std::vector<FileContact> found = locate_in_file(source, targets, offsets);
    ASSERT_EQ(found.size(), targets.size());
    for (size_t i = 0; i < found.size(); i += 2) {
        ASSERT_TRUE(found[i].contact) << found[i].error;
        ASSERT_TRUE(found[i + 1].contact) << found[i + 1].error;
        const Contact& a = *found[i].contact;
        const Contact& b = *found[i + 1].contact;
        EXPECT_EQ(a.ping.record, targets[i].record);
        EXPECT_EQ(b.ping.record, targets[i].record);
        ASSERT_EQ(a.target.has_value(), b.target.has_value());
        if (a.target) {
            EXPECT_EQ(*a.target, *b.target);
        }
        EXPECT_EQ(a.ping.time_seconds, b.ping.time_seconds);
    }

    struct Bad {
        FileTarget target;
        const char* error;
    } bad[] = {
        {{500, std::nullopt, SonarSide::Port, 10.0}, "no record 500"},
        {{std::nullopt, f.offsets[3] + 1, SonarSide::Port, 10.0}, "no readable record at byte"},
        {{3, std::nullopt, SonarSide::Port, 61.0}, "beyond the 60 m of record 3"},
    };
    for (const Bad& b : bad) {
        const std::vector<FileContact> r = locate_in_file(source, {&b.target, 1}, offsets);
        EXPECT_FALSE(r[0].contact);
        EXPECT_NE(r[0].error.find(b.error), std::string::npos) << r[0].error;
    }
}

// A record that cannot be read is skipped and the next ones numbered on, as vkd dump numbers
// them: the ping after it is found by its offset with an index one lower than its place.
TEST(FileContact, RecordsPastAnUnreadableOneAreNumberedOn) {
    MemoryFile f = survey_file(20);
    f.bytes[static_cast<size_t>(f.offsets[10])] = 'X';
    MemoryRecordSource source(f.bytes);
    const FileTarget targets[] = {{std::nullopt, f.offsets[9], SonarSide::Port, 10.0},
                                  {std::nullopt, f.offsets[12], SonarSide::Port, 10.0},
                                  {std::nullopt, f.offsets[10], SonarSide::Port, 10.0}};
    const std::vector<FileContact> found = locate_in_file(source, targets, {});
    ASSERT_TRUE(found[0].contact);
    EXPECT_EQ(found[0].contact->ping.record, 9);
    ASSERT_TRUE(found[1].contact);
    EXPECT_EQ(found[1].contact->ping.record, 11);
    EXPECT_FALSE(found[2].contact) << "the unreadable record itself";
}

// The offsets and layback of the settings file: decimal metres with a point; anything else,
// or a value vkd locate would refuse, counts as 0.
TEST(SensorOffsetsSetting, ReadFromTheSonarSection) {
    struct Case {
        const char* text;
        SensorOffsets want;
    } cases[] = {
        {"[Sonar]\nOffsetForward=1.5\nOffsetStarboard= -2.25 \nLayback=12\n", {1.5, -2.25, 12.0}},
        {"[Settings]\nLayback=12\n", {0, 0, 0}},
        {"[Sonar]\nLayback=12,5\nOffsetForward=abc\nOffsetStarboard=\n", {0, 0, 0}},
        {"[Sonar]\nLayback=-3\nOffsetForward=1001\nOffsetStarboard=+4\n", {0, 4.0, 0}},
        {"[Sonar]\nLayback=nan\nOffsetForward=inf\n", {0, 0, 0}},
    };
    for (const Case& c : cases) {
        const SensorOffsets o = sensor_offsets_from(IniFile::parse(c.text));
        EXPECT_EQ(o.forward_metres, c.want.forward_metres) << c.text;
        EXPECT_EQ(o.starboard_metres, c.want.starboard_metres) << c.text;
        EXPECT_EQ(o.layback_metres, c.want.layback_metres) << c.text;
    }
}

}  // namespace
}  // namespace kelvanor
