// What an operator sees when a recording of a known survey is played into the waterfall
// (the same path as `vkd render`): dark water from the zero line down to the sea floor at the
// head's altitude, and behind every target a dark acoustic shadow.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "datafile/record_source.h"
#include "datafile/render_file.h"
#include "sim/survey_recording.h"
#include "waterfall/image.h"

namespace kelvanor {
namespace {

// Echo levels (palette indices of the colour table, 0..107) that read as black water or
// shadow, and as a bright return.
constexpr int kDarkLevel = 20;
constexpr int kBrightLevel = 64;

// One side of the image as drawn: line entry j (nearest the head first) is at row
// first_row + direction * j and shows sample floor(j * step).
struct SideView {
    const char* name;
    bool starboard;
    int first_row;
    int direction;
    int entries;  // line entries that lie inside the image
};

struct SurveyCase {
    const char* name;
    char model;
    int32_t range_metres;
    int32_t channel_code;  // 1 Stbd, 2 Port, 3 Both
    float altitude_metres;
    std::vector<SurveyTarget> targets;
    // Image rows per metre of slant range: samples per metre of one side, over the line step
    // (samples_per_line / line_span of the model at this range).
    double rows_per_metre;
};

// The layout of the channel code: Both puts starboard below the zero line and port above it,
// mirrored; one side fills the image from its zero line.
std::vector<SideView> sides_of(int32_t channel_code) {
    const int zero = zero_line_row(static_cast<ChannelCode>(channel_code));
    switch (channel_code) {
        case 1:
            return {{"starboard", true, zero, +1, kImageHeight - zero}};
        case 2:
            return {{"port", false, zero, -1, zero + 1}};
        default:
            return {{"starboard", true, zero + 1, +1, kImageHeight - zero - 1},
                    {"port", false, zero, -1, zero + 1}};
    }
}

struct Rendered {
    std::vector<uint8_t> image;       // 784 x 500 palette indices, row by row
    std::vector<float> column_along;  // along-track position of the ping in each column
};

// Synthesises `pings` pings of the case into a data file held in memory and plays it through
// the FILE-mode pipeline; with no speed correction every ping is one column.
Rendered render_survey(const SurveyCase& c, int pings) {
    SurveyRecordingConfig config;
    config.model = c.model;
    config.range_metres = c.range_metres;
    config.channel_code = c.channel_code;
    config.gain = 20;
    config.speed_knots = 4.0f;
    config.scene.altitude_metres = c.altitude_metres;
    config.scene.seed = 7;
    config.scene.repeat_metres = 1000.0f;
    config.scene.targets = c.targets;
    SurveyRecording recording(config);

    std::vector<uint8_t> file;
    std::vector<float> along;
    RecordStamp stamp;
    RecordBuffer buffer{};
    for (int i = 0; i < pings; ++i) {
        along.push_back(recording.along_metres());
        const auto reply = recording.next(stamp);
        stamp.previous_record_length = i == 0 ? 0 : 640;
        const auto n = encode_ping_record(stamp, reply, buffer);
        EXPECT_TRUE(n.has_value());
        if (!n) break;
        file.insert(file.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*n));
    }

    MemoryRecordSource source(file);
    AppState app;
    const auto result = render_file(app, source, FileRenderOptions{});
    EXPECT_TRUE(result.has_value());
    if (result) {
        EXPECT_EQ(result->played, pings);
    }

    Rendered r;
    r.image.resize(static_cast<size_t>(kImageWidth) * kImageHeight);
    {
        const ImageLock held = lock_image(app.waterfall);
        copy_image(app.waterfall, held, r.image.data(), kImageWidth);
    }
    r.column_along.assign(along.end() - kImageWidth, along.end());
    return r;
}

int level_at(const Rendered& r, const SideView& side, int column, int entry) {
    const int row = side.first_row + side.direction * entry;
    return r.image[static_cast<size_t>(row) * kImageWidth + column];
}

// Line entry at which a slant range shows.
int entry_for_slant(const SurveyCase& c, double slant_metres) {
    return static_cast<int>(std::lround(slant_metres * c.rows_per_metre));
}

int entry_for_ground(const SurveyCase& c, double ground_metres) {
    return entry_for_slant(c, std::hypot(ground_metres, static_cast<double>(c.altitude_metres)));
}

// First entry, outward from the zero line, where the echo turns bright: where a person sees
// the sea floor begin. -1 when the column has none.
int floor_entry(const Rendered& r, const SideView& side, int column) {
    for (int j = 0; j < side.entries; ++j) {
        if (level_at(r, side, column, j) >= kBrightLevel) return j;
    }
    return -1;
}

// Share of the pixels of entries [first, last) in the columns that are dark.
double dark_share(const Rendered& r, const SideView& side, const std::vector<int>& columns,
                  int first, int last) {
    int dark = 0;
    int all = 0;
    for (int column : columns) {
        for (int j = std::max(first, 0); j < std::min(last, side.entries); ++j) {
            dark += level_at(r, side, column, j) < kDarkLevel ? 1 : 0;
            ++all;
        }
    }
    return all == 0 ? 0.0 : static_cast<double>(dark) / all;
}

// Columns whose ping was taken within `half_width` metres of `along`.
std::vector<int> columns_near(const Rendered& r, float along, float half_width) {
    std::vector<int> columns;
    for (int x = 0; x < kImageWidth; ++x) {
        if (std::fabs(r.column_along[x] - along) <= half_width) columns.push_back(x);
    }
    return columns;
}

// Columns whose ping was taken well away from every target: plain sea floor.
std::vector<int> columns_clear_of_targets(const Rendered& r, const SurveyCase& c) {
    std::vector<int> columns;
    for (int x = 0; x < kImageWidth; ++x) {
        const bool clear = std::all_of(c.targets.begin(), c.targets.end(), [&](const auto& t) {
            return std::fabs(r.column_along[x] - t.along_metres) > t.length_metres + 2.0f;
        });
        if (clear) columns.push_back(x);
    }
    return columns;
}

// 4 knots, one column per ping: the last 784 pings cover about 195 m at 60 m range (121 ms
// per ping) and 130 m at 30 m (82 ms), starting some 25 m and 17 m into the line.
const SurveyCase kCases[] = {
    {"G head, 60 m, both sides",
     'G',
     60,
     3,
     8.0f,
     {{80.0f, 18.0f, 5.0f, 2.0f}, {140.0f, -28.0f, 5.0f, 2.0f}, {190.0f, 12.0f, 4.0f, 1.5f}},
     // 200 samples a side over 60 m, line step 400 / 500.
     200.0 / 60.0 / 0.8},
    {"H head, 30 m, starboard",
     'H',
     30,
     1,
     5.0f,
     {{60.0f, 10.0f, 4.0f, 1.5f}, {110.0f, 18.0f, 4.0f, 1.5f}},
     // 500 samples over 30 m, line step 500 / 500.
     500.0 / 30.0},
    {"G head, 30 m, port",
     'G',
     30,
     2,
     6.0f,
     {{70.0f, -12.0f, 4.0f, 1.5f}},
     // 400 samples over 30 m, line step 400 / 533.
     400.0 / 30.0 / (400.0 / 533.0)},
};

constexpr int kPings = 900;  // the first column, drawn as a restart mark, has scrolled out

void PrintTo(const SurveyCase& c, std::ostream* out) {
    *out << c.name;
}

class WaterfallRenderCheck : public testing::TestWithParam<SurveyCase> {};

TEST_P(WaterfallRenderCheck, SeaFloorStartsAtTheAltitude) {
    const SurveyCase& c = GetParam();
    const Rendered r = render_survey(c, kPings);
    const int expected = entry_for_slant(c, c.altitude_metres);
    for (const SideView& side : sides_of(c.channel_code)) {
        int near_expected = 0;
        int worst = 0;
        for (int x = 0; x < kImageWidth; ++x) {
            const int found = floor_entry(r, side, x);
            const int miss = found < 0 ? kImageHeight : std::abs(found - expected);
            if (miss <= 2) ++near_expected;
            worst = std::max(worst, miss);
        }
        EXPECT_GE(near_expected, kImageWidth * 95 / 100)
            << side.name << ": floor expected " << expected << " rows from the zero line; worst "
            << worst << " rows off";
    }
}

TEST_P(WaterfallRenderCheck, WaterColumnAboveTheFloorIsDark) {
    const SurveyCase& c = GetParam();
    const Rendered r = render_survey(c, kPings);
    const int floor = entry_for_slant(c, c.altitude_metres);
    std::vector<int> all_columns(kImageWidth);
    for (int x = 0; x < kImageWidth; ++x) all_columns[x] = x;
    for (const SideView& side : sides_of(c.channel_code)) {
        // Past the ring-down of the head's first metre, up to just above the floor.
        EXPECT_GE(dark_share(r, side, all_columns, entry_for_slant(c, 1.0), floor - 2), 0.95)
            << side.name;
        // The floor below is not dark: the check above would pass on an empty image.
        EXPECT_LE(dark_share(r, side, all_columns, floor + 1, floor + 20), 0.5) << side.name;
    }
}

TEST_P(WaterfallRenderCheck, EveryTargetShowsBrightWithADarkShadowBehindIt) {
    const SurveyCase& c = GetParam();
    const Rendered r = render_survey(c, kPings);
    const std::vector<int> clear = columns_clear_of_targets(r, c);
    ASSERT_GT(clear.size(), 100u);
    for (const SurveyTarget& t : c.targets) {
        SCOPED_TRACE("target at " + std::to_string(t.along_metres) + " m along, " +
                     std::to_string(t.across_metres) + " m across");
        const auto sides = sides_of(c.channel_code);
        const auto view = std::find_if(sides.begin(), sides.end(), [&](const SideView& s) {
            return s.starboard == (t.across_metres > 0.0f);
        });
        ASSERT_NE(view, sides.end()) << "the target is on a side the layout does not show";
        const std::vector<int> columns = columns_near(r, t.along_metres, t.length_metres * 0.3f);
        ASSERT_GE(columns.size(), 3u) << "the target is not in the image";

        const double near = std::fabs(t.across_metres);
        const double shadow = near * t.height_metres / (c.altitude_metres - t.height_metres);

        // The face towards the head returns strongly in every column across the target.
        const int face_first = entry_for_ground(c, near - 0.5);
        const int face_last = entry_for_ground(c, near);
        for (int x : columns) {
            int brightest = 0;
            for (int j = face_first - 1; j <= face_last + 1; ++j) {
                brightest = std::max(brightest, level_at(r, *view, x, j));
            }
            EXPECT_GE(brightest, kBrightLevel) << "column " << x;
        }

        // Beyond it, a run of dark rows where the sea floor elsewhere is lit.
        const int shadow_first = entry_for_ground(c, near + 0.3) + 1;
        const int shadow_last = entry_for_ground(c, near + shadow - 0.3) - 1;
        ASSERT_GE(shadow_last - shadow_first, 5) << "a shadow of a few rows at least";
        EXPECT_GE(dark_share(r, *view, columns, shadow_first, shadow_last), 0.9);
        EXPECT_LE(dark_share(r, *view, clear, shadow_first, shadow_last), 0.5);
    }
}

TEST(RenderFile, RefusesASourceThatIsNoDataFile) {
    const std::vector<uint8_t> bytes = {'P', 'N', 'G', 0, 1, 2, 3};
    MemoryRecordSource source(bytes);
    AppState app;
    EXPECT_FALSE(render_file(app, source, FileRenderOptions{}).has_value());
}

TEST(RenderFile, StripKeepsEveryColumnUpToItsLimitAndIsDetachedAfterwards) {
    SurveyRecording recording(SurveyRecordingConfig{});
    std::vector<uint8_t> file;
    RecordStamp stamp;
    RecordBuffer buffer{};
    for (int i = 0; i < 1000; ++i) {
        const auto reply = recording.next(stamp);
        const auto n = encode_ping_record(stamp, reply, buffer);
        ASSERT_TRUE(n.has_value());
        file.insert(file.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*n));
    }
    for (const size_t limit : {size_t{0}, size_t{100}}) {
        MemoryRecordSource source(file);
        AppState app;
        std::vector<uint8_t> spill;
        FileRenderOptions options;
        options.column_spill = &spill;
        options.max_spill_columns = limit;
        const auto result = render_file(app, source, options);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(app.waterfall.column_spill, nullptr);
        if (limit == 0) {
            // One column per ping leaves the image: first the empty screen, then the pings
            // that the last 784 pushed out.
            EXPECT_FALSE(result->cut);
            EXPECT_EQ(result->played, 1000);
            EXPECT_EQ(spill.size(), size_t{1000} * kImageHeight);
        } else {
            EXPECT_TRUE(result->cut);
            EXPECT_EQ(spill.size(), (limit + 1) * kImageHeight);
            EXPECT_EQ(result->played, static_cast<int64_t>(limit + 1));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(KnownSurveys, WaterfallRenderCheck, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SurveyCase>& case_info) {
                             std::string name;
                             for (const char* p = case_info.param.name; *p != '\0'; ++p) {
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             }
                             return name;
                         });

}  // namespace
}  // namespace kelvanor
