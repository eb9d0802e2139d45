#include "waterfall/grid.h"

#include <algorithm>
#include <array>

#include "waterfall/image.h"

namespace kelvanor {

namespace {

constexpr std::array<std::string_view, 9> kRangeMetres = {
    "15 M", "30 M", "60 M", "90 M", "120 M", "150 M", "180 M", "210 M", "240 M"};
constexpr std::array<std::string_view, 9> kRangeFeet = {
    "50 FT", "100 FT", "200 FT", "300 FT", "400 FT", "500 FT", "600 FT", "700 FT", "800 FT"};
constexpr std::array<std::string_view, 9> kDivisionMetres = {" 3 M/DIV", " 6 M/DIV", "12 M/DIV",
                                                             "18 M/DIV", "24 M/DIV", "30 M/DIV",
                                                             "36 M/DIV", "42 M/DIV", "48 M/DIV"};
constexpr std::array<std::string_view, 9> kDivisionFeet = {
    "10 FT/DIV",  "20 FT/DIV",  "40 FT/DIV",  "60 FT/DIV", "80 FT/DIV",
    "100 FT/DIV", "120 FT/DIV", "140 FT/DIV", "160 FT/DIV"};

void mark_row(WaterfallState& waterfall, const ImageLock& held, int row, bool grid_on) {
    for (int column = 0; column < kImageWidth; ++column) {
        const uint8_t value = image_pixel(waterfall, held, row, column);
        set_image_pixel(waterfall, held, row, column,
                        grid_on ? set_grid_mark(value) : clear_grid_mark(value));
    }
}

}  // namespace

int grid_rows_per_division(ChannelCode channel_code) {
    return channel_code == ChannelCode::Both ? 50 : 100;
}

void draw_grid(WaterfallState& waterfall, const ImageLock& held, bool grid_on,
               ChannelCode channel_code) {
    const int zero_row = zero_line_row(channel_code);
    for (int column = 0; column < kImageWidth; ++column) {
        const uint8_t value = image_pixel(waterfall, held, zero_row, column);
        if (!grid_on) {
            set_image_pixel(waterfall, held, zero_row, column, clear_grid_mark(value));
        } else if (zero_line_dash(column)) {
            set_image_pixel(waterfall, held, zero_row, column, set_grid_mark(value));
        }
    }

    const int division = grid_rows_per_division(channel_code);
    if (shows_starboard(channel_code)) {
        for (int row = zero_row + division; row < kImageHeight; row += division) {
            mark_row(waterfall, held, row, grid_on);
        }
    }
    if (shows_port(channel_code)) {
        for (int row = zero_row - division; row >= 0; row -= division) {
            mark_row(waterfall, held, row, grid_on);
        }
    }
    show_image(waterfall);
}

void draw_grid(WaterfallState& waterfall, const Settings& settings) {
    const ImageLock held = lock_image(waterfall);
    draw_grid(waterfall, held, settings.Grid, settings.channel_code);
}

void change_grid_layout(WaterfallState& waterfall, ChannelCode old_channel_code,
                        ChannelCode new_channel_code) {
    const ImageLock held = lock_image(waterfall);
    draw_grid(waterfall, held, false, old_channel_code);
    draw_grid(waterfall, held, true, new_channel_code);
}

std::string_view range_label(LengthUnit units, int32_t ss_range) {
    const auto index = static_cast<size_t>(std::clamp(ss_range, 0, 8));
    return units == LengthUnit::Feet ? kRangeFeet[index] : kRangeMetres[index];
}

std::string_view grid_division_label(LengthUnit units, int32_t ss_range, bool grid_on) {
    if (!grid_on) return "Grid Off";
    const auto index = static_cast<size_t>(std::clamp(ss_range, 0, 8));
    return units == LengthUnit::Feet ? kDivisionFeet[index] : kDivisionMetres[index];
}

}  // namespace kelvanor
